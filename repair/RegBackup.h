// The backup of a repair: every key or value is read from the registry and written to a registry
// file (RegFile.h holds its format) before anything is deleted, so that "regedit /s" of the file puts
// it back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/System.h"
#include "repair/BackupRecord.h"

namespace tamrisk {

// What became of one entry of a repair.
enum class RemoveOutcome {
  Removed,   // backed up and deleted
  NotFound,  // nothing there to back up or delete (or no such root)
  // Still there:
  Refused,             // deleting it would take more than the entry (a key too near its root)
  NotBackedUp,         // it could not be read or written to the backup faithfully
  NotDeleted,          // backed up, but the deletion failed
  NeedsAdministrator,  // this process may not change its key (the machine's keys for a standard user)
  // Changed between the backup's read and the deletion (a value written, a subkey made, the key made
  // anew): the backup does not hold what is there now, so it is not deleted.
  ChangedSinceBackup,
};

// Whether the entry is still there after the outcome.
inline bool IsKept(RemoveOutcome outcome) {
  return outcome != RemoveOutcome::Removed && outcome != RemoveOutcome::NotFound;
}

// The backup file of one repair, and the deletions it guards. Entries are queued, then BackUp
// reads them all (each key opened once and held open for its deletion), writes their sections to the
// file in one write and flushes it to the disk; only then does DeleteBackedUp remove them. Whatever
// a deletion takes is thus in a file on the disk, also when the process is killed part-way, and
// importing that file over entries not yet deleted changes nothing.
class RegBackup {
 public:
  RegBackup(const Platform& platform, std::string fileName);
  ~RegBackup();
  RegBackup(const RegBackup&) = delete;
  RegBackup& operator=(const RegBackup&) = delete;

  struct Entry;  // one queued entry, from its queueing to its deletion

  // Queues a key with its subtree; keys at most one level below the root are refused, and so are
  // paths with an empty level. Gives the entry's number for Outcome.
  std::size_t AddKey(const std::string& rootName, const std::string& path);
  // Queues one value (empty name: the default value).
  std::size_t AddValue(const std::string& rootName, const std::string& path, const std::string& valueName);

  // Reads every entry queued since the last call into the backup and writes it, whole and flushed, and
  // puts the file's hash on record (BackupRecord.h): after each write, the whole file is on record.
  // An entry that is gone, or cannot be backed up faithfully, is not written and will not be
  // deleted. The file gets its byte-order mark and header line when this creates it. Throws
  // RepairError when the file cannot take all of it; then nothing is deleted (and a file this call
  // made is removed again).
  void BackUp();
  // Deletes, in the order queued, every entry the last BackUp wrote, through the keys it opened. An
  // entry that changed since it was read (a value's type or data; a key's or subkey's last-write time,
  // value or subkey count; a key made anew at its path) is kept as ChangedSinceBackup.
  void DeleteBackedUp();
  // What became of an entry: its outcome once deleted or passed over.
  RemoveOutcome Outcome(std::size_t entry) const;

  // One entry alone: queued, backed up and deleted.
  RemoveOutcome RemoveKeyWithBackup(const std::string& rootName, const std::string& path);
  RemoveOutcome RemoveValueWithBackup(const std::string& rootName, const std::string& path,
                                      const std::string& valueName);
  // Writes one key section (wholeKey, with its subtree) or one value section at once, deleting
  // nothing. False, with nothing written, when the entry cannot be backed up faithfully. Throws
  // RepairError when the file cannot be written.
  bool AppendToBackup(RootKey root, const std::string& path, const std::string& valueName, bool wholeKey);

  const std::string& FileName() const { return fileName_; }
  // Whether anything has been written to the file.
  bool Written() const { return written_; }

 private:
  std::size_t Queue(Entry entry);
  void Write(const std::string& text);
  // Before the first write into a file that is already there (a repair earlier in the same second):
  // its bytes go into the hash when they are on record; else the file is someone else's, and throws.
  void TakeOverExisting();

  const Platform& platform_;
  std::string fileName_;
  bool written_ = false;   // this object has written the file, so it exists
  bool cutShort_ = false;  // a write failed and the file stayed: its end is not known
  std::vector<Entry> entries_;
  std::size_t unread_ = 0;  // entries_ from here on are queued and not yet read
  // Held for the whole repair: one open of the file however often it is written.
  std::unique_ptr<AppendStream> stream_;
  // Of every byte in the file so far: put on record after each write, so the restore knows the file.
  Sha256 hash_;
};

// Whether a key path is deep enough to delete: after one trailing "\" is dropped, two levels or
// more and none of them empty.
bool IsRemovableKeyPath(const std::string& path);

}  // namespace tamrisk
