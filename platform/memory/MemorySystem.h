// In-memory environment, ini files and shell for tests: each answers as its Win32 counterpart does
// and lets a test set or inspect what the program saw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/memory/MemoryFileSystem.h"

namespace tamrisk {

class MemorySystemInfo final : public SystemInfo {
 public:
  // ExpandEnvironmentStringsW: names ignore ASCII case, an unknown "%NAME%" stays as written, and a
  // result that needs more than bufferSize characters with its NUL counts as failed.
  std::optional<std::string> ExpandEnvironment(const std::string& text, std::size_t bufferSize) override;
  std::string SpecialFolder(int csidl) override;
  VersionInfo Version() override;
  std::string CurrentUserSid() override;
  std::string ExecutableFolder() override;
  std::string WindowsFolder() override { return "C:\\Windows\\"; }
  LocalDateTime Now() override;
  std::string ComputerName() override;
  bool ProcessIsElevated() override;

  void SetVariable(const std::string& name, const std::string& value);
  void RemoveVariable(const std::string& name);
  void SetSpecialFolder(int csidl, const std::string& path);
  void SetVersion(const VersionInfo& version);
  void SetCurrentUserSid(const std::string& sid);
  void SetExecutableFolder(const std::string& folder);
  void SetNow(const LocalDateTime& now);
  void SetComputerName(const std::string& name);
  void SetElevated(bool elevated);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::pair<std::string, std::string>> variables_;  // upper-case name -> (name, value)
  std::map<int, std::string> specialFolders_;
  VersionInfo version_{2, 6, 1};  // what Wine reports: Windows 7
  std::string sid_;
  std::string executableFolder_ = "C:\\Program Files\\Tamrisk\\";
  LocalDateTime now_{2024, 5, 17, 10, 20, 30};
  std::string computerName_ = "TESTPC";
  bool elevated_ = false;
};

// GetPrivateProfileStringW / WritePrivateProfileStringW over files of a MemoryFileSystem, kept as
// UTF-8 text.
class MemoryIniFile final : public IniFile {
 public:
  explicit MemoryIniFile(MemoryFileSystem& files) : files_(files) {}

  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback, std::size_t maxChars = 2047) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  MemoryFileSystem& files_;
};

struct ShellOpenCall {
  std::uintptr_t owner = 0;
  std::string file;
  std::string parameters;
  std::string directory;
  int show = 0;
};

struct FakeProcess {
  std::string commandLine;
  ProcessInfo info;
  bool ended = false;
  bool terminated = false;  // ended through Terminate
  bool released = false;
};

struct FolderPickCall {
  std::uintptr_t owner = 0;
  std::string title;
  std::string startPath;
};

class MemoryShell final : public Shell {
 public:
  // A second turn while one is held counts as another process's: the lock is not taken twice.
  std::unique_ptr<RepairTurn> TakeRepairTurn(bool unattendedRun, RepairHolder& holder) override;
  bool Open(std::uintptr_t owner, const std::string& file, const std::string& parameters, const std::string& directory,
            int show) override;
  bool StartHidden(const std::string& commandLine, ProcessInfo& info) override;
  bool HasEnded(const ProcessInfo& info) override;
  void Terminate(const ProcessInfo& info) override;
  void Release(ProcessInfo& info) override;
  std::optional<std::string> PickFolder(std::uintptr_t owner, const std::string& title,
                                        const std::string& startPath) override;

  // Another process holds the repair lock from now (nullopt: nobody but this shell's own turns).
  void SetRepairLockHolder(std::optional<RepairHolder> holder);
  // Turns taken so far, and whether one is held now.
  std::size_t RepairTurnsTaken() const;
  bool RepairTurnHeld() const;

  void SetOpenResult(bool succeeds);
  void SetStartResult(bool succeeds);
  // Processes started from now on end as soon as they start.
  void SetProcessesEndAtOnce(bool atOnce);
  // Ends the process started index-th (from 0), as if it had finished its work.
  void EndProcess(std::size_t index);
  // The answers PickFolder gives, first to last; nullopt is a cancel. With none left it cancels.
  void QueueFolderAnswer(std::optional<std::string> answer);

  std::vector<ShellOpenCall> Opens() const;
  std::vector<FakeProcess> Processes() const;
  std::vector<FolderPickCall> FolderPicks() const;

 private:
  FakeProcess* Lookup(const ProcessInfo& info);

  mutable std::mutex mutex_;
  bool openResult_ = true;
  bool startResult_ = true;
  bool endAtOnce_ = false;
  std::uintptr_t nextHandle_ = 0x100;
  std::uint32_t nextId_ = 1000;
  std::vector<ShellOpenCall> opens_;
  std::vector<FakeProcess> processes_;
  std::vector<FolderPickCall> picks_;
  std::deque<std::optional<std::string>> folderAnswers_;
  std::optional<RepairHolder> otherHolder_;
  std::optional<RepairHolder> ownHolder_;  // the kind of this shell's turn while one is held
  std::size_t turnsTaken_ = 0;
};

}  // namespace tamrisk
