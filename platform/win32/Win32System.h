#pragma once

#include <string>
#include <string_view>

#include "platform/System.h"
#include "platform/win32/Win32Registry.h"

namespace tamrisk::win32 {

class Win32FileSystem final : public FileSystem {
 public:
  bool PathIsFile(const std::string& path) override;
  bool PathIsFolder(const std::string& path) override;
  std::optional<std::uint32_t> Attributes(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;
  std::vector<FileEntry> ListFolder(const std::string& mask) override;
  unsigned DriveType(char letter) override;
  bool ShellDelete(const std::string& path, bool toRecycleBin) override;
  std::string ShortcutTarget(const std::string& shortcutPath) override;
  bool ReadFile(const std::string& path, std::string& contents, std::string* error) override;
  bool WriteFile(const std::string& path, std::string_view contents, std::string* error) override;
  bool AppendFile(const std::string& path, std::string_view contents, std::string* error) override;
  std::unique_ptr<AppendStream> OpenForAppend(const std::string& path, std::string* error) override;
  std::unique_ptr<FileHold> ReadAndHold(const std::string& path, std::string& contents, std::string* error) override;
  PathKind KindOf(const std::string& path) override;
  bool FolderIsWritable(const std::string& folder) override;
};

class Win32SystemInfo final : public SystemInfo {
 public:
  std::optional<std::string> ExpandEnvironment(const std::string& text, std::size_t bufferSize) override;
  std::string SpecialFolder(int csidl) override;
  VersionInfo Version() override;
  std::string CurrentUserSid() override;
  std::string ExecutableFolder() override;
  std::string WindowsFolder() override;
  LocalDateTime Now() override;
  std::string ComputerName() override;
  bool ProcessIsElevated() override;
};

class Win32IniFile final : public IniFile {
 public:
  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback, std::size_t maxChars) override;
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;
};

class Win32Shell final : public Shell {
 public:
  std::unique_ptr<RepairTurn> TakeRepairTurn(bool unattendedRun, RepairHolder& holder) override;
  bool Open(std::uintptr_t owner, const std::string& file, const std::string& parameters, const std::string& directory,
            int show) override;
  bool StartHidden(const std::string& commandLine, ProcessInfo& info) override;
  bool HasEnded(const ProcessInfo& info) override;
  void Terminate(const ProcessInfo& info) override;
  void Release(ProcessInfo& info) override;
  std::optional<std::string> PickFolder(std::uintptr_t owner, const std::string& title,
                                        const std::string& startPath) override;
};

// Whether an unattended run holds the repair lock (Win32Shell::TakeRepairTurn) in any session.
bool UnattendedRepairRunning();

// The real system, one of each service.
struct Win32Platform {
  Win32Registry registry;
  Win32FileSystem files;
  Win32SystemInfo system;
  Win32IniFile ini;
  Win32Shell shell;
  Platform platform{registry, files, system, ini, shell};
};

// FormatMessageW's text for a code, from the system (source FORMAT_MESSAGE_FROM_SYSTEM) or a module's
// message table (FORMAT_MESSAGE_FROM_HMODULE), without the trailing line break; "" when it has none.
std::string FormattedMessage(unsigned long source, void* module, unsigned long code);

// The system's message text for a Win32 error code, without the trailing line break.
std::string SystemMessage(unsigned long code);

// The full path of a file in the system folder ("C:\Windows\system32\name"); "" when the folder
// cannot be told. Libraries and programs of the system are loaded by it, never by a bare name.
std::wstring SystemFolderFile(std::wstring_view name);

}  // namespace tamrisk::win32
