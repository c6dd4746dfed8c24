// The operating-system services other than the registry: files, drives, environment, shell folders,
// shortcuts, ini files, processes and the shell. Each has a Win32 backend and an in-memory one. Every
// path and text is UTF-8; the Win32 backends call the wide functions.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryBackend.h"

namespace tamrisk {

namespace fileattr {
constexpr std::uint32_t ReadOnly = 0x1;
constexpr std::uint32_t Hidden = 0x2;
constexpr std::uint32_t System = 0x4;
constexpr std::uint32_t Directory = 0x10;
constexpr std::uint32_t Archive = 0x20;
constexpr std::uint32_t Normal = 0x80;
constexpr std::uint32_t ReparsePoint = 0x400;
}  // namespace fileattr

// GetDriveTypeW results.
namespace drivetype {
constexpr unsigned Unknown = 0;
constexpr unsigned NoRootDir = 1;
constexpr unsigned Removable = 2;
constexpr unsigned Fixed = 3;
constexpr unsigned Remote = 4;
constexpr unsigned CdRom = 5;
constexpr unsigned RamDisk = 6;
}  // namespace drivetype

// Shell folders the program asks for (CSIDL values).
namespace csidl {
constexpr int Programs = 2;
constexpr int Recent = 8;
constexpr int StartMenu = 11;
constexpr int Desktop = 16;
constexpr int Fonts = 20;
constexpr int CommonStartMenu = 22;
constexpr int CommonPrograms = 23;
constexpr int CommonDesktop = 25;
constexpr int AppData = 26;
constexpr int LocalAppData = 28;
}  // namespace csidl

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

struct FileEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  LocalDateTime lastWrite;  // local time
};

// What a path names, as one attribute query tells it.
enum class PathKind {
  Nothing,  // the file, or a folder on its way, is not found: nothing below it exists either
  File,
  Folder,
  Unknown,  // any other failure: access denied, a bad name, a drive that is not ready
};

// A file held open for appending, so that a run of appends costs one open.
class AppendStream {
 public:
  virtual ~AppendStream() = default;
  // Each call's data reaches the system before it returns; false (with error) when it cannot, and then
  // nothing of this call stays in the file (the default stream, appending through AppendFile, may keep part).
  virtual bool Append(std::string_view contents, std::string* error = nullptr) = 0;
  // What was appended reaches the disk (FlushFileBuffers) before this returns: a crash or power
  // loss afterwards keeps it. False (with error) when it cannot be made sure.
  virtual bool Flush(std::string* error = nullptr) = 0;
};

// A file kept from being written, renamed or deleted for the holder's lifetime; others may still read it.
class FileHold {
 public:
  virtual ~FileHold() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // FindFirstFileW finds an entry that is not a folder; with wildcards the first match decides.
  virtual bool PathIsFile(const std::string& path) = 0;
  // GetFileAttributesW succeeds with the directory attribute.
  virtual bool PathIsFolder(const std::string& path) = 0;
  virtual std::optional<std::uint32_t> Attributes(const std::string& path) = 0;
  // Creates one folder whose parent exists (CreateDirectoryW).
  virtual bool MakeFolder(const std::string& path) = 0;
  // FindFirstFileW/FindNextFileW over a mask ("C:\dir\*"), attribute filter 0x3F; "." and ".." left out.
  virtual std::vector<FileEntry> ListFolder(const std::string& mask) = 0;
  // GetDriveTypeW of letter + ":\".
  virtual unsigned DriveType(char letter) = 0;
  // SHFileOperationW FO_DELETE with FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI (| FOF_ALLOWUNDO); true
  // when it returns 0.
  virtual bool ShellDelete(const std::string& path, bool toRecycleBin) = 0;
  // Target path of a ".lnk" file through the shell-link COM object (flag 2). Throws std::runtime_error
  // when the object or its file interface cannot be created; a failed load or read gives "", and so
  // does a target that can only be read with characters lost (never a wrong path).
  virtual std::string ShortcutTarget(const std::string& shortcutPath) = 0;

  // Whole-file access for backups, reports and tests. On failure, error (when given) gets the
  // system's message for it. A read that fails part-way fails as a whole, and a WriteFile that fails
  // part-way leaves no file behind.
  virtual bool ReadFile(const std::string& path, std::string& contents, std::string* error = nullptr) = 0;
  virtual bool WriteFile(const std::string& path, std::string_view contents, std::string* error = nullptr) = 0;
  virtual bool AppendFile(const std::string& path, std::string_view contents, std::string* error = nullptr) = 0;
  // Opens (or creates) a file for a run of appends; null (with error) when it cannot. The default
  // appends through AppendFile each time.
  virtual std::unique_ptr<AppendStream> OpenForAppend(const std::string& path, std::string* error = nullptr);
  // Reads the whole file and holds it (opened for reading, sharing only reading), so that a program
  // started meanwhile reads what was read here; null (with error) when it cannot. The default reads
  // through ReadFile and holds nothing.
  virtual std::unique_ptr<FileHold> ReadAndHold(const std::string& path, std::string& contents,
                                                std::string* error = nullptr);
  // GetFileAttributesA, with "not found" told apart from the other failures. The default asks
  // Attributes, which cannot tell them apart, and so never answers Nothing.
  virtual PathKind KindOf(const std::string& path);
  // Whether this process may make files in an existing folder: a file made there and deleted at once.
  // The default only asks whether the folder exists.
  virtual bool FolderIsWritable(const std::string& folder);
};

// Passes every call on to another file system; a decorator overrides what it changes.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

  bool PathIsFile(const std::string& path) override { return inner_.PathIsFile(path); }
  bool PathIsFolder(const std::string& path) override { return inner_.PathIsFolder(path); }
  std::optional<std::uint32_t> Attributes(const std::string& path) override { return inner_.Attributes(path); }
  bool MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
  std::vector<FileEntry> ListFolder(const std::string& mask) override { return inner_.ListFolder(mask); }
  unsigned DriveType(char letter) override { return inner_.DriveType(letter); }
  bool ShellDelete(const std::string& path, bool toRecycleBin) override {
    return inner_.ShellDelete(path, toRecycleBin);
  }
  std::string ShortcutTarget(const std::string& shortcutPath) override { return inner_.ShortcutTarget(shortcutPath); }
  bool ReadFile(const std::string& path, std::string& contents, std::string* error = nullptr) override {
    return inner_.ReadFile(path, contents, error);
  }
  bool WriteFile(const std::string& path, std::string_view contents, std::string* error = nullptr) override {
    return inner_.WriteFile(path, contents, error);
  }
  bool AppendFile(const std::string& path, std::string_view contents, std::string* error = nullptr) override {
    return inner_.AppendFile(path, contents, error);
  }
  std::unique_ptr<AppendStream> OpenForAppend(const std::string& path, std::string* error = nullptr) override {
    return inner_.OpenForAppend(path, error);
  }
  std::unique_ptr<FileHold> ReadAndHold(const std::string& path, std::string& contents,
                                        std::string* error = nullptr) override {
    return inner_.ReadAndHold(path, contents, error);
  }
  PathKind KindOf(const std::string& path) override { return inner_.KindOf(path); }
  bool FolderIsWritable(const std::string& folder) override { return inner_.FolderIsWritable(folder); }

 protected:
  FileSystem& Inner() const { return inner_; }

 private:
  FileSystem& inner_;
};

struct VersionInfo {
  std::uint32_t platformId = 0;  // 1 Windows 9x, 2 NT
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // ExpandEnvironmentStringsW into a buffer of bufferSize characters (UTF-16 units); nullopt when it
  // fails or the result and its NUL do not fit.
  virtual std::optional<std::string> ExpandEnvironment(const std::string& text, std::size_t bufferSize) = 0;
  // SHGetSpecialFolderLocation + SHGetPathFromIDListW; "" when it fails.
  virtual std::string SpecialFolder(int csidl) = 0;
  // GetVersionExW; all zero when it fails.
  virtual VersionInfo Version() = 0;
  // String SID of the process's user ("S-1-5-21-..."), "" when unknown.
  virtual std::string CurrentUserSid() = 0;
  // Folder of the running executable, with its trailing "\".
  virtual std::string ExecutableFolder() = 0;
  virtual LocalDateTime Now() = 0;
  // GetWindowsDirectoryW, with its trailing "\"; "" when it fails. The system's own programs are
  // started from there by full path: a bare name is looked for in the program's own folder and the
  // current folder first, where anyone may have put a program of that name.
  virtual std::string WindowsFolder() = 0;
  // GetComputerNameW: the computer's NetBIOS name; "" when unknown (the default).
  virtual std::string ComputerName();
  // Whether the process runs with an administrator's full token (UAC's TokenElevation); false when
  // unknown (the default).
  virtual bool ProcessIsElevated();
};

// GetPrivateProfileStringW / WritePrivateProfileStringW: each write reaches the file at once. A file
// stays ANSI while everything written to it fits the code page; the first write that does not turns
// it into UTF-16LE with a byte-order mark, which holds any text.
class IniFile {
 public:
  virtual ~IniFile() = default;
  // At most maxChars characters (UTF-16 units) are returned; the default when the key (or file) is missing.
  virtual std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& fallback, std::size_t maxChars = 2047) = 0;
  virtual bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& value) = 0;
};

struct ProcessInfo {
  std::uintptr_t process = 0;
  std::uintptr_t thread = 0;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
};

// Who holds the repair lock that this process could not take.
enum class RepairHolder {
  UnattendedRun,   // a -cleanonce run, started by hand or by the Task Scheduler
  AnotherProgram,  // another Tamrisk (the window of another session), or one that cannot be told
  // The lock cannot be made or opened, so whether a repair is under way cannot be told:
  LockDenied,     // it was made with rights that keep this account out
  LockNameTaken,  // an object of another kind has its name
};

// The repair lock's name in the system's global namespace, which the window and the log name when it
// cannot be taken.
inline constexpr char kRepairLockName[] = "Global\\Tamrisk repair";

// This process's hold on the repair lock: one repair or restore at a time on the machine, across
// processes and sessions. Released when destroyed, on the thread that took it.
class RepairTurn {
 public:
  virtual ~RepairTurn() = default;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Takes the repair lock without waiting; unattendedRun marks the hold as an unattended run's, so
  // others can say who is working. Null when another process holds it, with holder saying who.
  virtual std::unique_ptr<RepairTurn> TakeRepairTurn(bool unattendedRun, RepairHolder& holder) = 0;
  // ShellExecuteW(owner, "Open", file, parameters, directory, show); true when it reports success.
  virtual bool Open(std::uintptr_t owner, const std::string& file, const std::string& parameters,
                    const std::string& directory, int show) = 0;
  // CreateProcessW hidden, no standard handles, handles inherited, normal priority.
  virtual bool StartHidden(const std::string& commandLine, ProcessInfo& info) = 0;
  // WaitForSingleObject with a time-out of 0 gives WAIT_OBJECT_0.
  virtual bool HasEnded(const ProcessInfo& info) = 0;
  virtual void Terminate(const ProcessInfo& info) = 0;
  // Closes both handles and clears info.
  virtual void Release(ProcessInfo& info) = 0;
  // SHBrowseForFolderW limited to file-system folders; nullopt when cancelled.
  virtual std::optional<std::string> PickFolder(std::uintptr_t owner, const std::string& title,
                                                const std::string& startPath) = 0;
};

// Releases a started process's handles through its shell when the scope ends, on every way out; the
// record stays the caller's, so others may look at it meanwhile.
class ProcessHandlesGuard {
 public:
  ProcessHandlesGuard(Shell& shell, ProcessInfo& info) : shell_(shell), info_(info) {}
  ~ProcessHandlesGuard() { shell_.Release(info_); }
  ProcessHandlesGuard(const ProcessHandlesGuard&) = delete;
  ProcessHandlesGuard& operator=(const ProcessHandlesGuard&) = delete;

 private:
  Shell& shell_;
  ProcessInfo& info_;
};

// The services one program run uses; the engine receives it by reference.
struct Platform {
  RegistryBackend& registry;
  FileSystem& files;
  SystemInfo& system;
  IniFile& ini;
  Shell& shell;
};

// Creates each missing level of a folder path from the top down. A path shorter than 3 characters,
// once a trailing "\" is dropped, counts as existing.
bool MakeFolderPath(FileSystem& files, const std::string& path);

// The Windows version as the scanners tell versions apart: 1 Windows 95, 3 Windows 98, 8 Windows Me,
// 5 NT 3, 6 NT 4, 7 Windows 2000, 9 XP, 10 everything else.
int WindowsVersionCode(const Platform& platform);

}  // namespace tamrisk
