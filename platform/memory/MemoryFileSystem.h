// An in-memory file system with drive letters, answering FileSystem calls the way kernel32 and
// shell32 do: names compare ignoring ASCII case, listings come sorted as NTFS gives them, paths are
// normalised as Win32 does ("/" as "\", "." and ".." folded, trailing dots and spaces dropped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"

namespace tamrisk {

// How often each kind of call was made (fixture set-up is not counted).
struct FileSystemCalls {
  std::size_t existence = 0;  // PathIsFile, PathIsFolder, Attributes, KindOf
  std::size_t listings = 0;   // ListFolder
  std::size_t driveTypes = 0;
  std::size_t shortcuts = 0;  // ShortcutTarget
  std::size_t changes = 0;    // MakeFolder, ShellDelete, WriteFile, AppendFile, appends to a stream
  std::size_t reads = 0;      // ReadFile
  std::size_t flushes = 0;    // AppendStream::Flush
  std::size_t Total() const { return existence + listings + driveTypes + shortcuts + changes + reads + flushes; }
};

class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;
  MemoryFileSystem(const MemoryFileSystem&) = delete;
  MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

  bool PathIsFile(const std::string& path) override;
  bool PathIsFolder(const std::string& path) override;
  std::optional<std::uint32_t> Attributes(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;
  std::vector<FileEntry> ListFolder(const std::string& mask) override;
  unsigned DriveType(char letter) override;
  bool ShellDelete(const std::string& path, bool toRecycleBin) override;
  std::string ShortcutTarget(const std::string& shortcutPath) override;
  bool ReadFile(const std::string& path, std::string& contents, std::string* error = nullptr) override;
  bool WriteFile(const std::string& path, std::string_view contents, std::string* error = nullptr) override;
  bool AppendFile(const std::string& path, std::string_view contents, std::string* error = nullptr) override;
  // A stream whose appends and flushes are counted and journalled.
  std::unique_ptr<AppendStream> OpenForAppend(const std::string& path, std::string* error = nullptr) override;
  // While held, writing and deleting the file fail as a sharing violation.
  std::unique_ptr<FileHold> ReadAndHold(const std::string& path, std::string& contents,
                                        std::string* error = nullptr) override;
  PathKind KindOf(const std::string& path) override;
  bool FolderIsWritable(const std::string& folder) override;

  // Fixture set-up. A drive comes into being (as a fixed drive) with the first file or folder put on
  // it; SetDriveType(letter, drivetype::NoRootDir) removes it with its content. Missing parent
  // folders are made. Paths are absolute or count from the current folder.
  void SetDriveType(char letter, unsigned type);
  void AddFolder(const std::string& path, std::uint32_t attributes = fileattr::Directory);
  void AddFile(const std::string& path, std::string contents = {}, std::uint32_t attributes = fileattr::Archive);
  // A folder reparse point (attributes 0x410) through which paths continue at target, which may
  // be one of its own ancestors.
  void AddLink(const std::string& path, const std::string& target);
  // Makes the file if missing and registers it as a shell link whose target is target.
  void AddShortcut(const std::string& shortcutPath, const std::string& target);
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  void SetLastWrite(const std::string& path, const LocalDateTime& when);
  // Size a listing reports for the file, whatever its contents.
  void SetSize(const std::string& path, std::uint64_t size);
  // Deleting the file or folder fails, as when it is locked or its permissions forbid it.
  void SetUndeletable(const std::string& path, bool undeletable = true);
  // The n-th piece read from now (1: the next) fails with a device error. ReadFile reads a file in
  // pieces of 64 KiB and then once more to find its end, so a file of 100 KiB read with n = 2 fails
  // part-way. 0 lets every read succeed again.
  void FailRead(std::size_t n);
  // Nothing in the folder can be looked at, as a standard user cannot look into another user's
  // profile: finding, listing or asking the attributes of anything below it fails with access denied.
  void SetUnreadable(const std::string& folder, bool unreadable = true);
  // No file or folder can be made directly in the folder, as when its permissions forbid it (a
  // program's folder in Program Files for a standard user); what is there can still be written.
  void SetWriteProtected(const std::string& folder, bool writeProtected = true);
  // From now on writes to the drive may add at most this many bytes in all, as on a disk that fills
  // up: a write that does not fit stores what fits and fails with the system's "not enough space"
  // (a WriteFile leaves no file behind). nullopt: no limit.
  void SetFreeSpace(char letter, std::optional<std::size_t> bytes);
  // Changes made from now on (writes, appends, flushes, deletions) are added to journal as lines such
  // as "append C:\b.reg", "flush C:\b.reg", so a test can check their order against the registry's
  // (MemoryRegistry::JournalChanges). Null stops it. For tests on one thread.
  void JournalChanges(std::vector<std::string>* journal);
  // The shell-link object cannot be created: ShortcutTarget throws.
  void FailShortcutObject(bool fail = true);
  // Relative paths count from this folder ("C:\" at first).
  void SetCurrentFolder(const std::string& path);
  // Last-write time given to files and folders made through the FileSystem calls.
  void SetClock(const LocalDateTime& now);

  // Inspection for tests; neither counted nor following wildcards.
  bool Exists(const std::string& path) const;
  std::optional<std::string> Contents(const std::string& path) const;
  // Paths given to ShellDelete with toRecycleBin set, in call order.
  std::vector<std::string> RecycledPaths() const;

  FileSystemCalls Calls() const;
  void ResetCalls();

 private:
  struct Impl;
  class Hold;
  std::unique_ptr<Impl> impl_;
};

// FindFirstFile-style match of a name against a mask of "*" and "?", ignoring ASCII case. A mask
// ending in ".*" also matches names without that dot ("*.*" matches every name).
bool WildcardMatch(std::string_view mask, std::string_view name);

}  // namespace tamrisk
