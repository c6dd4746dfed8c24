// The backup of a repair, a "Windows Registry Editor Version 5.00" file (UTF-16LE with a byte-order
// mark, CR LF): each key or value is written to it before it is deleted, so that "regedit /s" of the
// file puts it back with the same names, type and bytes. The text is built as UTF-8 and encoded once
// per entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/System.h"

namespace tamrisk {

// The text as the file holds it: UTF-16LE, after a byte-order mark when asked.
std::string RegFileBytes(std::string_view text, bool byteOrderMark);

// Every "\" becomes two.
std::string DoubleBackslashes(std::string_view text);
// Every double quote gets a "\" in front of it (run after DoubleBackslashes).
std::string EscapeQuotes(std::string_view text);

// The "name=data" line of one value, with its CR LF, as UTF-8 text. A REG_SZ that a quoted string
// carries unchanged is quoted; every other value is written as hex(N) of its bytes (string types hold
// UTF-16LE) so that an import restores it byte for byte. Empty when that cannot be done: a name that
// cannot stand on one line (CR or LF in it) or holds a NUL, or string-type data the registry editor
// would change.
std::string RegValueLine(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data);

// One section (an empty line, the key line, its value lines) for path under the access object's root;
// with wholeKey every value and then every subkey as a section of its own, depth first. Adds nothing
// to out and gives false when something cannot be read or written faithfully: such an entry must
// not be deleted.
bool WriteRegSection(RegistryAccess& access, const std::string& path, const std::string& valueName, bool wholeKey,
                     std::string& out);

// What became of one entry of a repair.
enum class RemoveOutcome {
  Removed,   // backed up and deleted
  NotFound,  // nothing there to back up or delete (or no such root)
  // Still there:
  Refused,             // deleting it would take more than the entry (a key too near its root)
  NotBackedUp,         // it could not be read or written to the backup faithfully
  NotDeleted,          // backed up, but the deletion failed
  NeedsAdministrator,  // this process may not change its key (the machine's keys for a standard user)
};

// Whether the entry is still there after the outcome.
inline bool IsKept(RemoveOutcome outcome) {
  return outcome != RemoveOutcome::Removed && outcome != RemoveOutcome::NotFound;
}

// The backup file of one repair, and the removals that write to it. Every entry is appended (one
// write per entry) before it is deleted, so the file always holds whatever has gone.
class RegBackup {
 public:
  RegBackup(const Platform& platform, std::string fileName);

  // Appends one key section (wholeKey) or one value section; the file gets its byte-order mark and
  // header line when this creates it. False, with nothing written, when the entry cannot be backed up
  // faithfully. Throws RepairError when the file cannot be written.
  bool AppendToBackup(RootKey root, const std::string& path, const std::string& valueName, bool wholeKey);

  // Backs up a key with its subtree, then deletes it. Keys at most one level below the root are
  // refused, and so are paths with an empty level.
  RemoveOutcome RemoveKeyWithBackup(const std::string& rootName, const std::string& path);

  // Backs up one value (empty name: the default value), then deletes it.
  RemoveOutcome RemoveValueWithBackup(const std::string& rootName, const std::string& path,
                                      const std::string& valueName);

  const std::string& FileName() const { return fileName_; }
  // Whether anything has been written to the file.
  bool Written() const { return written_; }

 private:
  void Append(const std::string& text);

  const Platform& platform_;
  std::string fileName_;
  bool written_ = false;  // this object has written the file, so it exists
  // Held for the whole repair: one open instead of one per entry. Each entry still reaches the
  // file, in one write, before its deletion.
  std::unique_ptr<AppendStream> stream_;
};

// Whether a key path is deep enough to delete: after one trailing "\" is dropped, two levels or
// more and none of them empty.
bool IsRemovableKeyPath(const std::string& path);

}  // namespace tamrisk
