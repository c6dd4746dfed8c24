#include "platform/memory/MemoryRegistry.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/Text.h"

namespace tamrisk {
namespace {

constexpr long kBadPathname = 161;  // ERROR_BAD_PATHNAME
// Limits in characters (UTF-16 units), as Windows counts them.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

// A UTF-8 name is never shorter in bytes than in UTF-16 units, so only long names are counted.
bool LongerThan(std::string_view name, std::size_t units) { return name.size() > units && Utf16Length(name) > units; }

std::uint32_t NameLength(std::string_view name) { return static_cast<std::uint32_t>(Utf16Length(name)); }

// Specific key rights (winnt.h).
constexpr std::uint32_t kQueryValue = 0x1;
constexpr std::uint32_t kSetValue = 0x2;
constexpr std::uint32_t kCreateSubKey = 0x4;
constexpr std::uint32_t kEnumerateSubKeys = 0x8;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWow64Flags = 0x300;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericExecute = 0x20000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;

std::uint32_t MapRights(std::uint32_t asked) {
  std::uint32_t mapped = asked & ~(kWow64Flags | 0xF0000000u);
  if (asked & (kGenericRead | kGenericExecute)) mapped |= rights::Read;
  if (asked & kGenericWrite) mapped |= kKeyWrite;
  if (asked & kGenericAll) mapped |= rights::AllAccess;
  return mapped;
}

// Subkeys enumerate sorted the way Wine keeps them: ASCII letters folded to lower case, then the
// bytes compared unsigned, which is how std::string orders the folded names. Names are UTF-8; other
// characters compare exactly (Windows and Wine fold them too, which the engine never relies on), and
// they sort by code point, which is UTF-16 order below U+E000.
std::string FoldedName(std::string_view name) { return AsciiLower(name); }

struct Value {
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct Node {
  std::string name;
  Node* parent = nullptr;
  std::map<std::string, std::shared_ptr<Node>> subkeys;  // by FoldedName, so in enumeration order
  std::vector<Node*> byIndex;                            // subkeys by index, rebuilt after changes
  bool byIndexStale = false;
  std::vector<Value> values;  // in creation order, as Windows lists them
  std::uint64_t lastWrite = 0;
  std::uint32_t denied = 0;
  std::vector<std::pair<std::string, long>> failingReads;
  bool deleted = false;
  bool hiveRoot = false;  // cannot be deleted
  bool link = false;      // a link of the shared registry views (MarkLink)
};

bool Alive(const std::shared_ptr<Node>& node) { return node && !node->deleted; }

std::shared_ptr<Node> FindChild(const Node& parent, std::string_view name) {
  auto it = parent.subkeys.find(FoldedName(name));
  return it == parent.subkeys.end() ? nullptr : it->second;
}

const std::vector<Node*>& SubkeysByIndex(Node& node) {
  if (node.byIndexStale) {
    node.byIndex.clear();
    for (auto& [folded, child] : node.subkeys) node.byIndex.push_back(child.get());
    node.byIndexStale = false;
  }
  return node.byIndex;
}

void Attach(Node& parent, const std::shared_ptr<Node>& child) {
  parent.subkeys[FoldedName(child->name)] = child;
  parent.byIndexStale = true;
  child->parent = &parent;
}

Value* FindValue(Node& node, std::string_view name) {
  for (auto& value : node.values) {
    if (EqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

// The status a read of the named value fails with, as FailReads set it.
long ReadFailure(const Node& node, std::string_view name) {
  for (const auto& [failing, failure] : node.failingReads) {
    if (EqualsNoCase(failing, name)) return failure;
  }
  return status::Success;
}

void MarkDeleted(Node& node) {
  node.deleted = true;
  node.parent = nullptr;
  for (auto& [folded, child] : node.subkeys) MarkDeleted(*child);
  node.subkeys.clear();
  node.byIndex.clear();
  node.values.clear();
}

void Detach(Node& node) {
  if (node.parent == nullptr) return;
  node.parent->subkeys.erase(FoldedName(node.name));
  node.parent->byIndexStale = true;
  node.parent = nullptr;
}

// Splits a subkey path at "\", skipping empty levels as advapi32 does ("a\\b\" is "a\b").
std::vector<std::string_view> SplitLevels(std::string_view path) {
  std::vector<std::string_view> levels;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) levels.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return levels;
}

bool IsPredefined(KeyHandle key) {
  return key >= RootHandle(RootKey::ClassesRoot) && key <= RootHandle(RootKey::DynData);
}

// A key as a handle sees it. Below HKEY_CLASSES_ROOT it is a view of up to two keys: the one under
// HKLM\Software\Classes (key) and the one under HKCU\Software\Classes (userKey), the user's winning.
struct KeyRef {
  std::shared_ptr<Node> key;
  std::shared_ptr<Node> userKey;
  bool classesView = false;
  std::uint32_t rights = rights::AllAccess;

  bool Exists() const { return Alive(key) || Alive(userKey); }
  bool Merged() const { return classesView && Alive(key) && Alive(userKey); }
  // The key that holds the values and takes value writes.
  Node* Effective() const {
    if (Alive(userKey)) return userKey.get();
    return Alive(key) ? key.get() : nullptr;
  }
  std::uint32_t Denied() const { return (Alive(key) ? key->denied : 0) | (Alive(userKey) ? userKey->denied : 0); }
};

KeyRef ChildOf(const KeyRef& ref, std::string_view name) {
  KeyRef child;
  child.classesView = ref.classesView;
  if (Alive(ref.key)) child.key = FindChild(*ref.key, name);
  if (Alive(ref.userKey)) child.userKey = FindChild(*ref.userKey, name);
  return child;
}

struct MergeCache {
  std::uint64_t generation = ~std::uint64_t{0};
  std::vector<std::string> names;
};

}  // namespace

struct MemoryRegistry::Impl {
  struct Handle {
    KeyRef ref;
    MergeCache merged;
  };

  mutable std::mutex mutex;
  std::vector<std::string>* journal = nullptr;  // deletions in order, when a test asks
  std::uint64_t generation = 0;                 // bumped on every change of a subkey list
  std::uint64_t clock = 133485408000000000ULL;  // FILETIME of 2024-01-01, one second per change
  std::shared_ptr<Node> machine = MakeHive("HKEY_LOCAL_MACHINE");
  std::shared_ptr<Node> users = MakeHive("HKEY_USERS");
  std::shared_ptr<Node> currentUser = MakeHive("HKEY_CURRENT_USER");
  std::shared_ptr<Node> currentConfig = MakeHive("HKEY_CURRENT_CONFIG");
  std::shared_ptr<Node> performanceData = MakeHive("HKEY_PERFORMANCE_DATA");
  std::shared_ptr<Node> dynData = MakeHive("HKEY_DYN_DATA");
  MergeCache classesRootMerged;
  std::unordered_map<KeyHandle, Handle> handles;
  KeyHandle nextHandle = 0x1000;
  RegistryCalls calls;

  std::shared_ptr<Node> MakeHive(const char* name) {
    auto node = std::make_shared<Node>();
    node->name = name;
    node->hiveRoot = true;
    node->lastWrite = clock;
    return node;
  }

  void Touch(Node& node) { node.lastWrite = (clock += 10'000'000); }

  std::shared_ptr<Node> AddChild(Node& parent, std::string_view name) {
    auto node = std::make_shared<Node>();
    node->name = std::string(name);
    Touch(*node);
    Attach(parent, node);
    Touch(parent);
    ++generation;
    return node;
  }

  // A new key below HKEY_CLASSES_ROOT goes to the machine side unless its parent exists only for the user.
  KeyRef MakeChild(const KeyRef& ref, std::string_view name) {
    Node* host = Alive(ref.key) ? ref.key.get() : ref.userKey.get();
    AddChild(*host, name);
    return ChildOf(ref, name);
  }

  // HKLM\Software\Classes, made on first use of HKEY_CLASSES_ROOT so that fixtures which never
  // touch it may spell those keys as they like.
  std::shared_ptr<Node> MachineClasses() {
    KeyRef ref{machine, nullptr, false, rights::AllAccess};
    for (const char* level : {"Software", "Classes"}) {
      KeyRef child = ChildOf(ref, level);
      ref = child.Exists() ? child : MakeChild(ref, level);
    }
    ref.key->hiveRoot = true;
    return ref.key;
  }

  std::shared_ptr<Node> UserClasses() const {
    auto software = FindChild(*currentUser, "Software");
    return Alive(software) ? FindChild(*software, "Classes") : nullptr;
  }

  KeyRef RootRef(RootKey root) {
    KeyRef ref;
    switch (root) {
      case RootKey::ClassesRoot:
        ref.key = MachineClasses();
        ref.userKey = UserClasses();
        ref.classesView = true;
        break;
      case RootKey::CurrentUser: ref.key = currentUser; break;
      case RootKey::LocalMachine: ref.key = machine; break;
      case RootKey::Users: ref.key = users; break;
      case RootKey::PerformanceData: ref.key = performanceData; break;
      case RootKey::CurrentConfig: ref.key = currentConfig; break;
      case RootKey::DynData: ref.key = dynData; break;
    }
    return ref;
  }

  long Lookup(KeyHandle key, KeyRef& ref, MergeCache** cache = nullptr) {
    if (IsPredefined(key)) {
      ref = RootRef(static_cast<RootKey>(key));
      if (cache) *cache = &classesRootMerged;
      return status::Success;
    }
    auto it = handles.find(key);
    if (it == handles.end()) return status::InvalidHandle;
    if (!it->second.ref.Exists()) return status::KeyDeleted;
    ref = it->second.ref;
    if (cache) *cache = &it->second.merged;
    return status::Success;
  }

  static long ParseSubkey(KeyHandle parent, std::string_view subkey, std::vector<std::string_view>& levels) {
    if (!subkey.empty() && subkey.front() == '\\') {
      // Only HKEY_CLASSES_ROOT itself accepts a leading backslash.
      if (parent != RootHandle(RootKey::ClassesRoot)) return kBadPathname;
      subkey.remove_prefix(1);
    }
    levels = SplitLevels(subkey);
    for (auto level : levels) {
      if (LongerThan(level, kMaxKeyNameLength)) return status::InvalidParameter;
    }
    return status::Success;
  }

  static KeyRef Walk(KeyRef ref, const std::vector<std::string_view>& levels) {
    for (auto level : levels) {
      if (!ref.Exists()) break;
      ref = ChildOf(ref, level);
    }
    return ref;
  }

  KeyRef WalkOrCreate(RootKey root, std::string_view path) {
    KeyRef ref = RootRef(root);
    for (auto level : SplitLevels(path)) {
      KeyRef child = ChildOf(ref, level);
      ref = child.Exists() ? child : MakeChild(ref, level);
    }
    return ref;
  }

  KeyHandle NewHandle(const KeyRef& ref) {
    const KeyHandle handle = nextHandle;
    nextHandle += 4;
    handles.emplace(handle, Handle{ref, {}});
    return handle;
  }

  // Subkey names of a key as enumerated; a merged classes key lists the union, the user's spelling first.
  const std::vector<std::string>* MergedNames(const KeyRef& ref, MergeCache& cache) {
    if (cache.generation != generation) {
      cache.names.clear();
      auto a = ref.userKey->subkeys.begin();
      const auto aEnd = ref.userKey->subkeys.end();
      auto b = ref.key->subkeys.begin();
      const auto bEnd = ref.key->subkeys.end();
      while (a != aEnd || b != bEnd) {
        const int order = a == aEnd ? 1 : b == bEnd ? -1 : a->first.compare(b->first);
        if (order <= 0) {
          cache.names.push_back(a->second->name);
          if (order == 0) ++b;
          ++a;
        } else {
          cache.names.push_back(b->second->name);
          ++b;
        }
      }
      cache.generation = generation;
    }
    return &cache.names;
  }

  std::vector<std::string> SubkeyNames(const KeyRef& ref, MergeCache* cache) {
    if (ref.Merged()) {
      MergeCache local;
      return *MergedNames(ref, cache ? *cache : local);
    }
    std::vector<std::string> names;
    if (Node* node = ref.Effective()) {
      for (const auto& [folded, child] : node->subkeys) names.push_back(child->name);
    }
    return names;
  }

  // The key holding the value at index of an open key, as enumerating its values finds it.
  long KeyWithValueAt(KeyHandle key, std::uint32_t index, const Node*& node) {
    KeyRef ref;
    if (long rc = Lookup(key, ref); rc != status::Success) return rc;
    if (!(ref.rights & kQueryValue)) return status::AccessDenied;
    node = ref.Effective();
    return index < node->values.size() ? status::Success : status::NoMoreItems;
  }

  void SetValueOn(Node& node, std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data) {
    if (Value* existing = FindValue(node, name)) {
      existing->type = type;
      existing->data = std::move(data);
    } else {
      node.values.push_back(Value{std::string(name), type, std::move(data)});
    }
    Touch(node);
  }
};

MemoryRegistry::MemoryRegistry() : impl_(std::make_unique<Impl>()) {}
MemoryRegistry::~MemoryRegistry() = default;

long MemoryRegistry::OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.opens;
  result = 0;
  KeyRef ref;
  if (long rc = impl_->Lookup(parent, ref); rc != status::Success) return rc;
  std::vector<std::string_view> levels;
  if (long rc = Impl::ParseSubkey(parent, subkey, levels); rc != status::Success) return rc;
  if (levels.empty() && IsPredefined(parent)) {
    result = parent;  // a predefined key opened with no subkey comes back as itself
    return status::Success;
  }
  ref = impl_->Walk(ref, levels);
  if (!ref.Exists()) return status::FileNotFound;
  const std::uint32_t wanted = MapRights(rights);
  if (wanted & ref.Denied()) return status::AccessDenied;
  ref.rights = wanted;
  result = impl_->NewHandle(ref);
  return status::Success;
}

long MemoryRegistry::CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.creates;
  result = 0;
  KeyRef ref;
  if (long rc = impl_->Lookup(parent, ref); rc != status::Success) return rc;
  std::vector<std::string_view> levels;
  if (long rc = Impl::ParseSubkey(parent, subkey, levels); rc != status::Success) return rc;
  if (levels.empty() && IsPredefined(parent)) {
    result = parent;
    return status::Success;
  }
  bool atHandle = true;
  for (auto level : levels) {
    KeyRef child = ChildOf(ref, level);
    if (!child.Exists()) {
      // Making a key needs KEY_CREATE_SUB_KEY on its parent: the handle's rights at the first
      // level, the key's own permissions below.
      const bool allowed = atHandle ? (ref.rights & kCreateSubKey) != 0 : (ref.Denied() & kCreateSubKey) == 0;
      if (!allowed) return status::AccessDenied;
      child = impl_->MakeChild(ref, level);
    }
    ref = child;
    atHandle = false;
  }
  const std::uint32_t wanted = MapRights(rights);
  if (wanted & ref.Denied()) return status::AccessDenied;
  ref.rights = wanted;
  result = impl_->NewHandle(ref);
  return status::Success;
}

long MemoryRegistry::CloseKey(KeyHandle key) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.closes;
  if (IsPredefined(key)) return status::Success;
  return impl_->handles.erase(key) == 1 ? status::Success : status::InvalidHandle;
}

long MemoryRegistry::EnumKey(KeyHandle key, std::uint32_t index, std::string& name) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.enumKeys;
  KeyRef ref;
  MergeCache* cache = nullptr;
  if (long rc = impl_->Lookup(key, ref, &cache); rc != status::Success) return rc;
  if (!(ref.rights & kEnumerateSubKeys)) return status::AccessDenied;
  if (ref.Merged()) {
    const auto& names = *impl_->MergedNames(ref, *cache);
    if (index >= names.size()) return status::NoMoreItems;
    name = names[index];
    return status::Success;
  }
  const auto& subkeys = SubkeysByIndex(*ref.Effective());
  if (index >= subkeys.size()) return status::NoMoreItems;
  name = subkeys[index]->name;
  return status::Success;
}

long MemoryRegistry::EnumValue(KeyHandle key, std::uint32_t index, std::string& name) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.enumValues;
  const Node* node = nullptr;
  if (long rc = impl_->KeyWithValueAt(key, index, node); rc != status::Success) return rc;
  name = node->values[index].name;
  return status::Success;
}

long MemoryRegistry::EnumValueData(KeyHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                                   std::vector<std::uint8_t>& data) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.enumValues;
  const Node* node = nullptr;
  if (long rc = impl_->KeyWithValueAt(key, index, node); rc != status::Success) return rc;
  const Value& value = node->values[index];
  if (const long failure = ReadFailure(*node, value.name); failure != status::Success) return failure;
  name = value.name;
  type = value.type;
  data.assign(value.data.begin(), value.data.end());
  return status::Success;
}

long MemoryRegistry::QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.valueQueries;
  KeyRef ref;
  if (long rc = impl_->Lookup(key, ref); rc != status::Success) return rc;
  if (!(ref.rights & kQueryValue)) return status::AccessDenied;
  const Value* value = FindValue(*ref.Effective(), name);
  if (value == nullptr) return status::FileNotFound;
  type = value->type;
  size = static_cast<std::uint32_t>(value->data.size());
  return status::Success;
}

long MemoryRegistry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                                std::vector<std::uint8_t>& data) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.valueQueries;
  KeyRef ref;
  if (long rc = impl_->Lookup(key, ref); rc != status::Success) return rc;
  if (!(ref.rights & kQueryValue)) return status::AccessDenied;
  Node* node = ref.Effective();
  const Value* value = FindValue(*node, name);
  if (value == nullptr) return status::FileNotFound;
  if (const long failure = ReadFailure(*node, name); failure != status::Success) return failure;
  type = value->type;
  data = value->data;
  return status::Success;
}

long MemoryRegistry::QueryInfoKey(KeyHandle key, KeyInfo& info) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.infoQueries;
  KeyRef ref;
  MergeCache* cache = nullptr;
  if (long rc = impl_->Lookup(key, ref, &cache); rc != status::Success) return rc;
  if (!(ref.rights & kQueryValue)) return status::AccessDenied;
  info = KeyInfo{};
  const Node* node = ref.Effective();
  if (ref.Merged()) {
    const auto& names = *impl_->MergedNames(ref, *cache);
    info.subkeyCount = static_cast<std::uint32_t>(names.size());
    for (const auto& name : names) info.maxSubkeyNameLength = std::max(info.maxSubkeyNameLength, NameLength(name));
  } else {
    info.subkeyCount = static_cast<std::uint32_t>(node->subkeys.size());
    for (const auto& [folded, child] : node->subkeys) {
      info.maxSubkeyNameLength = std::max(info.maxSubkeyNameLength, NameLength(child->name));
    }
  }
  info.valueCount = static_cast<std::uint32_t>(node->values.size());
  for (const auto& value : node->values) {
    info.maxValueNameLength = std::max(info.maxValueNameLength, NameLength(value.name));
    info.maxValueDataLength = std::max(info.maxValueDataLength, static_cast<std::uint32_t>(value.data.size()));
  }
  info.lastWriteTime = node->lastWrite;
  return status::Success;
}

long MemoryRegistry::SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                              const std::vector<std::uint8_t>& data) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.writes;
  KeyRef ref;
  if (long rc = impl_->Lookup(key, ref); rc != status::Success) return rc;
  if (!(ref.rights & kSetValue)) return status::AccessDenied;
  if (LongerThan(name, kMaxValueNameLength)) return status::InvalidParameter;
  impl_->SetValueOn(*ref.Effective(), name, type, data);
  return status::Success;
}

long MemoryRegistry::DeleteKey(KeyHandle parent, const std::string& subkey) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.deletes;
  KeyRef ref;
  if (long rc = impl_->Lookup(parent, ref); rc != status::Success) return rc;
  std::vector<std::string_view> levels;
  if (long rc = Impl::ParseSubkey(parent, subkey, levels); rc != status::Success) return rc;
  if (levels.empty() && IsPredefined(parent)) return status::AccessDenied;
  ref = impl_->Walk(ref, levels);
  if (!ref.Exists()) return status::FileNotFound;
  // Through HKEY_CLASSES_ROOT the user's copy goes first, as it is the one the view shows.
  Node* victim = ref.Effective();
  if (victim->hiveRoot || (victim->denied & kDelete) || !victim->subkeys.empty()) return status::AccessDenied;
  if (impl_->journal) impl_->journal->push_back("delete key " + subkey);
  Node* parentNode = victim->parent;
  Detach(*victim);
  MarkDeleted(*victim);
  if (parentNode) impl_->Touch(*parentNode);
  ++impl_->generation;
  return status::Success;
}

long MemoryRegistry::DeleteValue(KeyHandle key, const std::string& name) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->calls.deletes;
  KeyRef ref;
  if (long rc = impl_->Lookup(key, ref); rc != status::Success) return rc;
  if (!(ref.rights & kSetValue)) return status::AccessDenied;
  Node* node = ref.Effective();
  auto it = std::find_if(node->values.begin(), node->values.end(),
                         [&](const Value& v) { return EqualsNoCase(v.name, name); });
  if (it == node->values.end()) return status::FileNotFound;
  if (impl_->journal) impl_->journal->push_back("delete value " + name);
  node->values.erase(it);
  impl_->Touch(*node);
  return status::Success;
}

void MemoryRegistry::CreateKey(RootKey root, const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  impl_->WalkOrCreate(root, path);
}

void MemoryRegistry::SetValue(RootKey root, const std::string& path, const std::string& name, std::uint32_t type,
                              std::vector<std::uint8_t> data) {
  std::lock_guard lock(impl_->mutex);
  impl_->SetValueOn(*impl_->WalkOrCreate(root, path).Effective(), name, type, std::move(data));
}

void MemoryRegistry::SetString(RootKey root, const std::string& path, const std::string& name,
                               const std::string& text) {
  SetValue(root, path, name, regtype::String, Utf16BytesOf(text));
}

void MemoryRegistry::SetExpandString(RootKey root, const std::string& path, const std::string& name,
                                     const std::string& text) {
  SetValue(root, path, name, regtype::ExpandString, Utf16BytesOf(text));
}

void MemoryRegistry::SetDword(RootKey root, const std::string& path, const std::string& name, std::uint32_t value) {
  SetValue(root, path, name, regtype::Dword,
           {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void MemoryRegistry::SetMultiString(RootKey root, const std::string& path, const std::string& name,
                                    const std::vector<std::string>& items) {
  std::vector<std::uint8_t> data;
  for (const auto& item : items) {
    const std::vector<std::uint8_t> bytes = Utf16BytesOf(item);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  data.insert(data.end(), {0, 0});
  SetValue(root, path, name, regtype::MultiString, std::move(data));
}

bool MemoryRegistry::KeyExists(RootKey root, const std::string& path) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->Walk(impl_->RootRef(root), SplitLevels(path)).Exists();
}

std::optional<RegValue> MemoryRegistry::GetValue(RootKey root, const std::string& path, const std::string& name) const {
  std::lock_guard lock(impl_->mutex);
  const KeyRef ref = impl_->Walk(impl_->RootRef(root), SplitLevels(path));
  if (!ref.Exists()) return std::nullopt;
  const Value* value = FindValue(*ref.Effective(), name);
  if (value == nullptr) return std::nullopt;
  return RegValue{value->type, value->data};
}

std::vector<std::string> MemoryRegistry::SubkeyNames(RootKey root, const std::string& path) const {
  std::lock_guard lock(impl_->mutex);
  const KeyRef ref = impl_->Walk(impl_->RootRef(root), SplitLevels(path));
  if (!ref.Exists()) return {};
  return impl_->SubkeyNames(ref, nullptr);
}

std::vector<std::string> MemoryRegistry::ValueNames(RootKey root, const std::string& path) const {
  std::lock_guard lock(impl_->mutex);
  const KeyRef ref = impl_->Walk(impl_->RootRef(root), SplitLevels(path));
  std::vector<std::string> names;
  if (!ref.Exists()) return names;
  for (const auto& value : ref.Effective()->values) names.push_back(value.name);
  return names;
}

void MemoryRegistry::DenyRights(RootKey root, const std::string& path, std::uint32_t rightsMask) {
  std::lock_guard lock(impl_->mutex);
  impl_->WalkOrCreate(root, path).Effective()->denied = MapRights(rightsMask);
}

void MemoryRegistry::MarkLink(RootKey root, const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  impl_->WalkOrCreate(root, path).Effective()->link = true;
}

bool MemoryRegistry::IsLink(KeyHandle parent, const std::string& subkey) {
  std::lock_guard lock(impl_->mutex);
  KeyRef ref;
  std::vector<std::string_view> levels;
  if (impl_->Lookup(parent, ref) != status::Success) return false;
  if (Impl::ParseSubkey(parent, subkey, levels) != status::Success) return false;
  ref = impl_->Walk(ref, levels);
  return ref.Exists() && ref.Effective()->link;
}

void MemoryRegistry::FailReads(RootKey root, const std::string& path, const std::string& valueName, long failure) {
  std::lock_guard lock(impl_->mutex);
  impl_->WalkOrCreate(root, path).Effective()->failingReads.emplace_back(valueName, failure);
}

void MemoryRegistry::SetCurrentUserSid(const std::string& sid) {
  std::lock_guard lock(impl_->mutex);
  Node& user = *impl_->currentUser;
  Detach(user);
  if (!sid.empty()) {
    if (auto previous = FindChild(*impl_->users, sid)) {
      Detach(*previous);
      MarkDeleted(*previous);
    }
    user.name = sid;
    Attach(*impl_->users, impl_->currentUser);
  } else {
    user.name = "HKEY_CURRENT_USER";
  }
  ++impl_->generation;
}

void MemoryRegistry::JournalChanges(std::vector<std::string>* journal) {
  std::lock_guard lock(impl_->mutex);
  impl_->journal = journal;
}

RegistryCalls MemoryRegistry::Calls() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->calls;
}

void MemoryRegistry::ResetCalls() {
  std::lock_guard lock(impl_->mutex);
  impl_->calls = RegistryCalls{};
}

std::size_t MemoryRegistry::OpenHandleCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->handles.size();
}

}  // namespace tamrisk
