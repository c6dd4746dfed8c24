#include "repair/RegBackup.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "platform/Text.h"
#include "repair/RegFile.h"
#include "repair/Repair.h"

namespace tamrisk {
namespace {

std::string ChildPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// Whether a key may still be there. Only a "not found" proves it gone; a key the user may not even
// look at counts as present, so its row is not dropped as if it had been repaired.
bool KeyMayExist(const Platform& platform, RootKey root, const std::string& path) {
  const BackendKey key(platform.registry, RootHandle(root), path, rights::QueryEnumerate);
  return key.Status() != status::FileNotFound;
}

bool ValueMayExist(const Platform& platform, RootKey root, const std::string& path, const std::string& name) {
  const BackendKey key(platform.registry, RootHandle(root), path, rights::Read);
  if (key.Status() == status::FileNotFound) return false;
  if (key.Status() != status::Success) return KeyMayExist(platform, root, path);
  std::uint32_t type = 0, size = 0;
  return platform.registry.QueryValueInfo(key.get(), name, type, size) != status::FileNotFound;
}

// An entry that could not be backed up or deleted because this process may not change its key is
// told apart, so the user knows that an administrator can remove it.
RemoveOutcome KeptFor(const Platform& platform, RootKey root, const std::string& path, RemoveOutcome otherwise) {
  const BackendKey key(platform.registry, RootHandle(root), path, rights::AllAccess);
  return key.Status() == status::AccessDenied ? RemoveOutcome::NeedsAdministrator : otherwise;
}

// The value lines of an open key, read by index, and its subkeys' names; false when the key cannot
// be read whole or a line cannot carry what was read. count is how many the key said it had just
// before: no call is made to learn that there are no more. A value or subkey made since changes the
// key's last-write time and counts, so the check before the deletion keeps the key.
bool AppendValuesAt(RegistryBackend& registry, KeyHandle key, std::uint32_t count, std::string& out,
                    std::vector<std::uint8_t>& data) {
  std::string name;
  std::uint32_t type = 0;
  for (std::uint32_t index = 0; index < count; ++index) {
    const long rc = registry.EnumValueData(key, index, name, type, data);
    if (rc == status::NoMoreItems) return true;
    if (rc != status::Success) return false;
    const std::string line = RegValueLine(name, type, data);
    if (line.empty()) return false;
    out += line;
  }
  return true;
}

bool ListSubkeysAt(RegistryBackend& registry, KeyHandle key, std::uint32_t count, std::vector<std::string>& names) {
  std::string name;
  for (std::uint32_t index = 0; index < count; ++index) {
    const long rc = registry.EnumKey(key, index, name);
    if (rc == status::NoMoreItems) return true;
    if (rc != status::Success) return false;
    names.push_back(name);
  }
  return true;
}

}  // namespace

// A key as the backup read it: the names of its subkeys, each with its own. Its deletion takes these
// and no more: a subkey made since then keeps its parent, and the row says so.
struct BackedUpKey {
  std::string name;
  std::vector<BackedUpKey> subkeys;
  KeyInfo info;  // as it was before its values and subkeys were read
};

namespace {

bool SameShape(const KeyInfo& a, const KeyInfo& b) {
  return a.lastWriteTime == b.lastWriteTime && a.valueCount == b.valueCount && a.subkeyCount == b.subkeyCount;
}

// Whether an open key and the subkeys read below it are as the backup read them.
bool UnchangedSinceRead(RegistryBackend& registry, KeyHandle key, const KeyInfo& read,
                        const std::vector<BackedUpKey>& subkeys) {
  KeyInfo now;
  if (registry.QueryInfoKey(key, now) != status::Success || !SameShape(now, read)) return false;
  for (const BackedUpKey& subkey : subkeys) {
    const BackendKey opened(registry, key, subkey.name, rights::Read);
    if (opened.Status() != status::Success || !UnchangedSinceRead(registry, opened.get(), subkey.info, subkey.subkeys))
      return false;
  }
  return true;
}

// The section of an open key (info: its counts, just read) and then those of its subkeys, depth
// first, each subkey opened through its parent; tree gets what was read.
bool AppendKeySections(RegistryBackend& registry, KeyHandle key, const KeyInfo& info, RootKey root,
                       const std::string& path, std::string& out, std::vector<BackedUpKey>& tree,
                       std::vector<std::uint8_t>& data) {
  if (!AppendRegKeyLine(root, path, out)) return false;
  std::vector<std::string> names;
  // HKEY_CLASSES_ROOT lists the subkeys of the user's and the machine's class key together, which its
  // count need not match: there they are listed to the end.
  const std::uint32_t subkeys = root == RootKey::ClassesRoot ? UINT32_MAX : info.subkeyCount;
  if (!AppendValuesAt(registry, key, info.valueCount, out, data) || !ListSubkeysAt(registry, key, subkeys, names)) {
    return false;
  }
  for (const std::string& name : names) {
    const BackendKey subkey(registry, key, name, rights::AllAccess);
    if (subkey.Status() != status::Success) return false;
    tree.push_back({name, {}, {}});
    BackedUpKey& read = tree.back();
    if (registry.QueryInfoKey(subkey.get(), read.info) != status::Success) return false;
    if (!AppendKeySections(registry, subkey.get(), read.info, root, ChildPath(path, name), out, read.subkeys, data)) {
      return false;
    }
  }
  return true;
}

// Deletes the subkeys the backup read, deepest first, through their parents.
void DeleteSubkeys(RegistryBackend& registry, KeyHandle key, const std::vector<BackedUpKey>& subkeys) {
  for (auto it = subkeys.rbegin(); it != subkeys.rend(); ++it) {
    if (!it->subkeys.empty()) {
      const BackendKey subkey(registry, key, it->name, rights::AllAccess);
      if (subkey.Status() == status::Success) DeleteSubkeys(registry, subkey.get(), it->subkeys);
    }
    registry.DeleteKey(key, it->name);
  }
}

}  // namespace

bool IsRemovableKeyPath(const std::string& path) {
  const std::string key = WithoutTrailingBackslash(path);
  if (key.empty() || key.find('\\') == std::string::npos) return false;
  return key.front() != '\\' && key.back() != '\\' && key.find("\\\\") == std::string::npos;
}

struct RegBackup::Entry {
  RootKey root = RootKey::CurrentUser;
  std::string path;  // without a trailing "\"
  std::string valueName;
  bool wholeKey = false;
  enum class Stage { Queued, BackedUp, Done } stage = Stage::Queued;
  RemoveOutcome outcome = RemoveOutcome::NotFound;
  std::shared_ptr<BackendKey> key;   // held from the read to the deletion
  std::vector<BackedUpKey> subkeys;  // a key's subtree as read
  KeyInfo info;                      // a key's own, as read
  std::uint32_t type = 0;            // a value's, as read
  std::vector<std::uint8_t> data;    // a value's, as read
  std::string section;               // what the backup holds of it
};

namespace {

// A key with several of the rows' values has them read by index in one pass when that takes fewer
// calls than asking for each by name.
constexpr std::size_t kValuesPerListing = 8;

// The keys one BackUp opens, each once, shared by the entries in it.
class OpenKeys {
 public:
  struct Opened {
    std::shared_ptr<BackendKey> key;
    std::size_t wanted = 0;  // value entries in it
    bool listed = false;     // its values were read by index into values
    std::map<std::string, std::pair<std::uint32_t, std::vector<std::uint8_t>>> values;  // by upper-case name
  };

  explicit OpenKeys(RegistryBackend& registry) : registry_(registry) {}

  Opened& Open(RootKey root, const std::string& path) {
    Opened& opened = keys_[{root, AsciiUpper(path)}];
    if (!opened.key) opened.key = std::make_shared<BackendKey>(registry_, RootHandle(root), path, rights::AllAccess);
    return opened;
  }

  // A value of an open key: from the key's listing when its values are better read by index, else
  // by name. A name the listing does not hold is still asked by name, as the registry's comparison
  // of names goes beyond ASCII.
  long ReadValue(Opened& opened, const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& data) {
    if (opened.wanted > 1 && !opened.listed) List(opened);
    if (opened.listed) {
      const auto found = opened.values.find(AsciiUpper(name));
      if (found != opened.values.end()) {
        type = found->second.first;
        data = found->second.second;
        return status::Success;
      }
    }
    return registry_.QueryValue(opened.key->get(), name, type, data);
  }

 private:
  void List(Opened& opened) {
    opened.listed = true;
    KeyInfo info;
    if (registry_.QueryInfoKey(opened.key->get(), info) != status::Success) return;
    if (opened.wanted * kValuesPerListing < info.valueCount) return;
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t index = 0;
         registry_.EnumValueData(opened.key->get(), index, name, type, data) == status::Success; ++index) {
      opened.values[AsciiUpper(name)] = {type, data};
    }
  }

  RegistryBackend& registry_;
  std::map<std::pair<RootKey, std::string>, Opened> keys_;  // by root and upper-case path
};

using Entry = RegBackup::Entry;
using Stage = Entry::Stage;

void Decide(Entry& entry, RemoveOutcome outcome) {
  entry.stage = Stage::Done;
  entry.outcome = outcome;
  entry.key.reset();
  entry.subkeys.clear();
  entry.data.clear();
  entry.section.clear();
}

bool EntryMayExist(const Platform& platform, const Entry& entry) {
  return entry.wholeKey ? KeyMayExist(platform, entry.root, entry.path)
                        : ValueMayExist(platform, entry.root, entry.path, entry.valueName);
}

// Why an entry whose key did not open stays, or that it is gone.
RemoveOutcome Unopened(const Platform& platform, const Entry& entry, long rc) {
  if (rc == status::FileNotFound || !EntryMayExist(platform, entry)) return RemoveOutcome::NotFound;
  return rc == status::AccessDenied ? RemoveOutcome::NeedsAdministrator : RemoveOutcome::NotBackedUp;
}

// The entry's section, read through its key (opened once for all the entries in it), which the
// entry then holds for its deletion; or, when it cannot be backed up, its outcome.
void ReadEntry(const Platform& platform, OpenKeys& keys, Entry& entry, std::vector<std::uint8_t>& data) {
  OpenKeys::Opened& opened = keys.Open(entry.root, entry.path);
  if (opened.key->Status() != status::Success) return Decide(entry, Unopened(platform, entry, opened.key->Status()));
  if (entry.wholeKey) {
    if (platform.registry.QueryInfoKey(opened.key->get(), entry.info) != status::Success ||
        !AppendKeySections(platform.registry, opened.key->get(), entry.info, entry.root, entry.path, entry.section,
                           entry.subkeys, data)) {
      return Decide(entry, EntryMayExist(platform, entry) ? RemoveOutcome::NotBackedUp : RemoveOutcome::NotFound);
    }
  } else {
    const long rc = keys.ReadValue(opened, entry.valueName, entry.type, entry.data);
    if (rc == status::FileNotFound) return Decide(entry, RemoveOutcome::NotFound);
    const std::string line =
        rc == status::Success ? RegValueLine(entry.valueName, entry.type, entry.data) : std::string();
    if (line.empty() || !AppendRegKeyLine(entry.root, entry.path, entry.section)) {
      return Decide(entry, RemoveOutcome::NotBackedUp);
    }
    entry.section += line;
  }
  entry.key = opened.key;
}

// The upper-case paths of a key and of each key above it, up to the one below the root.
std::vector<std::string> PathAndAncestors(const std::string& path) {
  std::vector<std::string> paths;
  std::string upper = AsciiUpper(path);
  for (;;) {
    paths.push_back(upper);
    const std::size_t slash = upper.rfind('\\');
    if (slash == std::string::npos) return paths;
    upper.resize(slash);
  }
}

// The backup text of the entries just read: a section of each, except where a key read in the same
// backup holds the entry already (a value in it, a key below it, the same key on two rows).
std::string BackupText(std::vector<Entry>& entries, std::size_t first) {
  std::map<std::pair<RootKey, std::string>, std::size_t> keys;  // first key entry of each path
  for (std::size_t i = first; i < entries.size(); ++i) {
    if (entries[i].stage == Stage::Queued && entries[i].wholeKey) {
      keys.try_emplace({entries[i].root, AsciiUpper(entries[i].path)}, i);
    }
  }
  std::string text;
  for (std::size_t i = first; i < entries.size(); ++i) {
    if (entries[i].stage != Stage::Queued) continue;
    bool held = false;
    for (const std::string& path : PathAndAncestors(entries[i].path)) {
      const auto found = keys.find({entries[i].root, path});
      held = held || (found != keys.end() && found->second != i);
    }
    if (!held) text += entries[i].section;
  }
  return text;
}

// Whether the entry is still what the backup holds: the key at its path with the shape read, all the
// way down; the value with the same type and data. The deletion goes by path, so the key is looked at
// there: one deleted and made anew since, or changed, has another last-write time than the one read.
bool StillAsBackedUp(RegistryBackend& registry, const Entry& entry) {
  if (!entry.wholeKey) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const long rc = registry.QueryValue(entry.key->get(), entry.valueName, type, data);
    return rc != status::Success || (type == entry.type && data == entry.data);
  }
  const BackendKey atPath(registry, RootHandle(entry.root), entry.path, rights::Read);
  return atPath.Status() == status::Success && UnchangedSinceRead(registry, atPath.get(), entry.info, entry.subkeys);
}

// Deletes what the backup read of the entry and no more: a key's subkeys from the deepest up, then
// the key; a value through its key.
RemoveOutcome DeleteEntry(const Platform& platform, const Entry& entry) {
  RegistryBackend& registry = platform.registry;
  if (entry.wholeKey) {
    DeleteSubkeys(registry, entry.key->get(), entry.subkeys);
    if (registry.DeleteKey(RootHandle(entry.root), entry.path) == status::Success) return RemoveOutcome::Removed;
    if (!KeyMayExist(platform, entry.root, entry.path)) return RemoveOutcome::Removed;
    return KeptFor(platform, entry.root, entry.path, RemoveOutcome::NotDeleted);
  }
  if (registry.DeleteValue(entry.key->get(), entry.valueName) == status::Success) return RemoveOutcome::Removed;
  std::uint32_t type = 0, size = 0;
  const long rc = registry.QueryValueInfo(entry.key->get(), entry.valueName, type, size);
  if (rc == status::FileNotFound || rc == status::KeyDeleted) return RemoveOutcome::Removed;
  return KeptFor(platform, entry.root, entry.path, RemoveOutcome::NotDeleted);
}

}  // namespace

RegBackup::RegBackup(const Platform& platform, std::string fileName)
    : platform_(platform), fileName_(std::move(fileName)) {}

RegBackup::~RegBackup() = default;

std::size_t RegBackup::Queue(Entry entry) {
  entries_.push_back(std::move(entry));
  return entries_.size() - 1;
}

std::size_t RegBackup::AddKey(const std::string& rootName, const std::string& path) {
  Entry entry;
  entry.wholeKey = true;
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) {
    Decide(entry, RemoveOutcome::NotFound);
  } else if (!IsRemovableKeyPath(path)) {
    Decide(entry, RemoveOutcome::Refused);
  } else {
    entry.root = *root;
    entry.path = WithoutTrailingBackslash(path);
  }
  return Queue(std::move(entry));
}

std::size_t RegBackup::AddValue(const std::string& rootName, const std::string& path, const std::string& valueName) {
  Entry entry;
  entry.valueName = valueName;
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) {
    Decide(entry, RemoveOutcome::NotFound);
  } else {
    entry.root = *root;
    entry.path = WithoutTrailingBackslash(path);
  }
  return Queue(std::move(entry));
}

void RegBackup::BackUp() {
  const std::size_t first = unread_;
  unread_ = entries_.size();
  OpenKeys keys(platform_.registry);
  for (std::size_t i = first; i < entries_.size(); ++i) {
    if (entries_[i].stage == Stage::Queued && !entries_[i].wholeKey)
      ++keys.Open(entries_[i].root, entries_[i].path).wanted;
  }
  std::vector<std::uint8_t> data;
  for (std::size_t i = first; i < entries_.size(); ++i) {
    if (entries_[i].stage == Stage::Queued) ReadEntry(platform_, keys, entries_[i], data);
  }
  const std::string text = BackupText(entries_, first);
  try {
    if (!text.empty()) Write(text);
  } catch (...) {
    for (std::size_t i = first; i < entries_.size(); ++i) {
      if (entries_[i].stage == Stage::Queued) Decide(entries_[i], RemoveOutcome::NotBackedUp);
    }
    throw;
  }
  for (std::size_t i = first; i < entries_.size(); ++i) {
    Entry& entry = entries_[i];
    if (entry.stage == Stage::Queued) entry.stage = Stage::BackedUp;
    entry.section.clear();
  }
}

void RegBackup::DeleteBackedUp() {
  // All are checked before the first goes: the deletions of one entry change the keys of another.
  for (Entry& entry : entries_) {
    if (entry.stage == Stage::BackedUp && !StillAsBackedUp(platform_.registry, entry)) {
      Decide(entry, RemoveOutcome::ChangedSinceBackup);
    }
  }
  for (Entry& entry : entries_) {
    if (entry.stage == Stage::BackedUp) Decide(entry, DeleteEntry(platform_, entry));
  }
}

RemoveOutcome RegBackup::Outcome(std::size_t entry) const { return entries_.at(entry).outcome; }

RemoveOutcome RegBackup::RemoveKeyWithBackup(const std::string& rootName, const std::string& path) {
  const std::size_t entry = AddKey(rootName, path);
  BackUp();
  DeleteBackedUp();
  return Outcome(entry);
}

RemoveOutcome RegBackup::RemoveValueWithBackup(const std::string& rootName, const std::string& path,
                                               const std::string& valueName) {
  const std::size_t entry = AddValue(rootName, path, valueName);
  BackUp();
  DeleteBackedUp();
  return Outcome(entry);
}

bool RegBackup::AppendToBackup(RootKey root, const std::string& path, const std::string& valueName, bool wholeKey) {
  Entry entry;
  entry.root = root;
  entry.path = WithoutTrailingBackslash(path);
  entry.valueName = valueName;
  entry.wholeKey = wholeKey;
  OpenKeys keys(platform_.registry);
  std::vector<std::uint8_t> data;
  ReadEntry(platform_, keys, entry, data);
  if (entry.stage == Stage::Done) return false;
  Write(entry.section);
  return true;
}

void RegBackup::TakeOverExisting() {
  std::string bytes, error;
  if (platform_.files.ReadFile(fileName_, bytes, &error) && IsRecordedBackup(platform_.registry, bytes)) {
    hash_.Update(bytes);
    return;
  }
  if (error.empty()) error = "a file of this name is there that Tamrisk has no record of writing";
  throw RepairError({TextId::BackupNotWrittenBecause, {fileName_, error}});
}

void RegBackup::Write(const std::string& text) {
  // A later write would follow what a failed one left, and neither the hash nor the restore would know
  // those bytes: what it backs up could not be put back.
  if (cutShort_) throw RepairError({TextId::BackupNotWritten, {fileName_}});
  // A file of the same name from a repair earlier in the same second already has its header.
  const bool made = !written_ && !platform_.files.PathIsFile(fileName_);
  if (!made && !written_) TakeOverExisting();
  const std::string bytes = RegSectionBytes(text, made);
  std::string error;
  if (!stream_) stream_ = platform_.files.OpenForAppend(fileName_, &error);
  if (stream_ && stream_->Append(bytes, &error) && stream_->Flush(&error)) {
    written_ = true;
    hash_.Update(bytes);
    // Without the record the backup still restores, after the window's warning.
    RecordBackup(platform_.registry, hash_.HexDigest(), fileName_.substr(fileName_.rfind('\\') + 1));
    return;
  }
  stream_.reset();
  // A file cut short must not stay behind looking like a backup.
  if (made && platform_.files.PathIsFile(fileName_)) platform_.files.ShellDelete(fileName_, false);
  cutShort_ = platform_.files.PathIsFile(fileName_);
  if (error.empty()) throw RepairError({TextId::BackupNotWritten, {fileName_}});
  throw RepairError({TextId::BackupNotWrittenBecause, {fileName_, error}});
}

}  // namespace tamrisk
