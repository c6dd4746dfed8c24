#include "platform/RegistryAccess.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

namespace tamrisk {
namespace {

[[noreturn]] void FailGet(const std::string& name) { throw RegistryError("Failed to get data for '" + name + "'"); }
[[noreturn]] void FailSet(const std::string& name) { throw RegistryError("Failed to set data for '" + name + "'"); }
[[noreturn]] void FailType(const std::string& name) { throw RegistryError("Invalid data type for '" + name + "'"); }

DataKind KindOfType(std::uint32_t type) {
  switch (type) {
    case regtype::String: return DataKind::String;
    case regtype::ExpandString: return DataKind::ExpandString;
    case regtype::Dword: return DataKind::Integer;
    case regtype::Binary: return DataKind::Binary;
    default: return DataKind::Unknown;
  }
}

bool IsTextKind(DataKind kind) { return kind == DataKind::String || kind == DataKind::ExpandString; }
bool IsNumberKind(DataKind kind) { return kind == DataKind::Integer; }

// UTF-16 units of string data before its first NUL, counted no further than limit + 1, so that a
// text too long to use is known without walking all of it.
std::size_t TextUnits(const std::vector<std::uint8_t>& data, std::size_t limit) {
  const std::size_t units = std::min(data.size() / 2, limit + 1);
  for (std::size_t i = 0; i < units; ++i) {
    if (data[2 * i] == 0 && data[2 * i + 1] == 0) return i;
  }
  return units;
}

// String data the scanners can use as text (see ReadTextValue); data is cut to the text's bytes.
std::optional<std::string> UsableText(std::vector<std::uint8_t>& data) {
  const std::size_t units = TextUnits(data, kMaxUsableTextUnits);
  if (units > kMaxUsableTextUnits) return std::nullopt;
  data.resize(units * 2);
  return TextFromUtf16Bytes(data);
}

struct RootNameEntry {
  RootKey root;
  const char* name;
};
constexpr RootNameEntry kRootNames[] = {
    {RootKey::ClassesRoot, "HKEY_CLASSES_ROOT"},
    {RootKey::CurrentUser, "HKEY_CURRENT_USER"},
    {RootKey::LocalMachine, "HKEY_LOCAL_MACHINE"},
    {RootKey::Users, "HKEY_USERS"},
    {RootKey::PerformanceData, "HKEY_PERFORMANCE_DATA"},
    {RootKey::CurrentConfig, "HKEY_CURRENT_CONFIG"},
    {RootKey::DynData, "HKEY_DYN_DATA"},
};

// Names up to count, or up to the first that cannot be listed.
std::vector<std::string> ListNames(RegistryBackend& backend, KeyHandle key, bool subkeys, std::uint32_t count) {
  std::vector<std::string> names;
  names.reserve(count);
  std::string name;
  for (std::uint32_t i = 0; i < count; ++i) {
    const long rc = subkeys ? backend.EnumKey(key, i, name) : backend.EnumValue(key, i, name);
    if (rc != status::Success) break;
    names.push_back(name);
  }
  return names;
}

std::vector<std::string> ListNames(RegistryBackend& backend, KeyHandle key, bool subkeys) {
  KeyInfo info;
  if (backend.QueryInfoKey(key, info) != status::Success) return {};
  return ListNames(backend, key, subkeys, subkeys ? info.subkeyCount : info.valueCount);
}

}  // namespace

std::optional<RootKey> RootFromName(const std::string& name) {
  const std::string upper = AsciiUpper(name);
  for (const auto& entry : kRootNames) {
    if (entry.root == RootKey::PerformanceData || entry.root == RootKey::DynData) continue;
    if (upper == entry.name) return entry.root;
  }
  return std::nullopt;
}

std::string RootName(RootKey root) {
  for (const auto& entry : kRootNames) {
    if (entry.root == root) return entry.name;
  }
  return {};
}

RegistryAccess::RegistryAccess(RegistryBackend& backend, RootKey root) : backend_(backend), root_(root) {}

RegistryAccess::~RegistryAccess() { ClosePath(); }

void RegistryAccess::SelectRoot(RootKey root) {
  if (root == root_) return;
  ClosePath();
  root_ = root;
}

RegistryAccess::Target RegistryAccess::Resolve(const std::string& path) const {
  if (!path.empty() && path.front() == '\\') {
    std::string sub = path.substr(1);
    return {RootHandle(root_), sub, sub};
  }
  std::string full = current_ != 0 && !currentPath_.empty() ? currentPath_ + "\\" + path : path;
  return {CurrentOrRoot(), path, full};
}

bool RegistryAccess::OpenPath(const std::string& path, bool create) {
  const Target target = Resolve(path);
  KeyHandle opened = 0;
  const long rc = create ? backend_.CreateKey(target.parent, target.subkey, access_, opened)
                         : backend_.OpenKey(target.parent, target.subkey, access_, opened);
  if (rc != status::Success) return false;
  ClosePath();
  current_ = opened;
  currentPath_ = target.fullPath;
  return true;
}

bool RegistryAccess::OpenSubkeyOf(const RegistryAccess& parent, const std::string& name) {
  KeyHandle opened = 0;
  if (backend_.OpenKey(parent.CurrentOrRoot(), name, access_, opened) != status::Success) return false;
  ClosePath();
  current_ = opened;
  currentPath_ = parent.currentPath_.empty() ? name : parent.currentPath_ + "\\" + name;
  return true;
}

void RegistryAccess::ClosePath() {
  if (current_ != 0) backend_.CloseKey(current_);
  current_ = 0;
  currentPath_.clear();
}

bool RegistryAccess::IsLink(const std::string& path) { return backend_.IsLink(RootHandle(root_), path); }

std::vector<std::string> RegistryAccess::ListSubkeys() { return ListNames(backend_, CurrentOrRoot(), true); }

std::vector<std::string> RegistryAccess::ListSubkeys(const KeyInfo& info) {
  return ListNames(backend_, CurrentOrRoot(), true, info.subkeyCount);
}

std::vector<std::string> RegistryAccess::ListValues() { return ListNames(backend_, CurrentOrRoot(), false); }

DataKind RegistryAccess::ValueKind(const std::string& name) {
  std::uint32_t type = 0, size = 0;
  if (backend_.QueryValueInfo(CurrentOrRoot(), name, type, size) != status::Success) return DataKind::Unknown;
  return KindOfType(type);
}

long long RegistryAccess::ValueSize(const std::string& name) {
  std::uint32_t type = 0, size = 0;
  if (backend_.QueryValueInfo(CurrentOrRoot(), name, type, size) != status::Success) return -1;
  return size;
}

std::string RegistryAccess::ReadText(const std::string& name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const long rc = backend_.QueryValue(CurrentOrRoot(), name, type, data);
  if (rc == status::FileNotFound) return {};
  if (rc != status::Success) FailGet(name);
  if (data.empty()) return {};
  if (!IsTextKind(KindOfType(type))) FailType(name);
  return TextFromUtf16Bytes(data);
}

std::int32_t RegistryAccess::ReadNumber(const std::string& name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (backend_.QueryValue(CurrentOrRoot(), name, type, data) != status::Success) FailGet(name);
  if (KindOfType(type) != DataKind::Integer) FailType(name);
  if (data.size() != 4) FailGet(name);
  std::uint32_t value = 0;
  std::memcpy(&value, data.data(), 4);
  return static_cast<std::int32_t>(value);
}

// One query gives type and data together. Only when it fails is the kind asked on its own, so that a
// value of a wanted kind that cannot be read raises its read error and any other is passed over.
bool RegistryAccess::ReadOfKind(const std::string& name, bool (*wanted)(DataKind), std::vector<std::uint8_t>& data) {
  std::uint32_t type = 0;
  const long rc = backend_.QueryValue(CurrentOrRoot(), name, type, data);
  if (rc == status::FileNotFound) return false;
  if (rc != status::Success) {
    if (!wanted(ValueKind(name))) return false;
    FailGet(name);
  }
  return wanted(KindOfType(type));
}

std::optional<std::string> RegistryAccess::ReadTextValue(const std::string& name) {
  std::vector<std::uint8_t> data;
  return ReadTextValue(name, data);
}

std::optional<std::string> RegistryAccess::ReadTextValue(const std::string& name, std::vector<std::uint8_t>& data) {
  if (!ReadOfKind(name, IsTextKind, data)) return std::nullopt;
  return UsableText(data);
}

bool RegistryAccess::ReadTextValueAt(std::uint32_t index, std::string& name, std::optional<std::string>& text,
                                     std::vector<std::uint8_t>& data) {
  std::uint32_t type = 0;
  const long rc = backend_.EnumValueData(CurrentOrRoot(), index, name, type, data);
  if (rc == status::Success) {
    text = IsTextKind(KindOfType(type)) ? UsableText(data) : std::nullopt;
    return true;
  }
  if (rc == status::NoMoreItems || backend_.EnumValue(CurrentOrRoot(), index, name) != status::Success) return false;
  text = ReadTextValue(name, data);
  return true;
}

std::optional<std::int32_t> RegistryAccess::ReadNumberValue(const std::string& name) {
  std::vector<std::uint8_t> data;
  if (!ReadOfKind(name, IsNumberKind, data) || data.size() != 4) return std::nullopt;
  std::uint32_t value = 0;
  std::memcpy(&value, data.data(), 4);
  return static_cast<std::int32_t>(value);
}

std::size_t RegistryAccess::ReadBytes(const std::string& name, std::uint8_t* buffer, std::size_t capacity) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const long rc = backend_.QueryValue(CurrentOrRoot(), name, type, data);
  if (rc == status::FileNotFound) return 0;
  if (rc != status::Success) FailGet(name);
  const DataKind kind = KindOfType(type);
  if (kind != DataKind::Binary && kind != DataKind::Unknown) FailType(name);
  if (data.size() > capacity) FailGet(name);
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return data.size();
}

bool RegistryAccess::ReadRaw(const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& data) {
  return backend_.QueryValue(CurrentOrRoot(), name, type, data) == status::Success;
}

bool RegistryAccess::HasValue(const std::string& name) {
  std::uint32_t type = 0, size = 0;
  return backend_.QueryValueInfo(CurrentOrRoot(), name, type, size) == status::Success;
}

bool RegistryAccess::HasSubkey(const std::string& path) {
  const Target target = Resolve(path);
  KeyHandle opened = 0;
  if (backend_.OpenKey(target.parent, target.subkey, rights::QueryEnumerate, opened) != status::Success) {
    return false;
  }
  backend_.CloseKey(opened);
  return true;
}

bool RegistryAccess::RemoveTree(KeyHandle parent, const std::string& subkey) {
  KeyHandle opened = 0;
  if (backend_.OpenKey(parent, subkey, access_, opened) == status::Success) {
    const BackendKey key(backend_, opened);
    const std::vector<std::string> children = ListNames(backend_, key.get(), true);
    for (auto it = children.rbegin(); it != children.rend(); ++it) RemoveTree(key.get(), *it);
  }
  return backend_.DeleteKey(parent, subkey) == status::Success;
}

bool RegistryAccess::RemoveSubkey(const std::string& path) {
  const Target target = Resolve(path);
  if (target.subkey.empty()) return false;  // never the root or the current key itself
  return RemoveTree(target.parent, target.subkey);
}

bool RegistryAccess::RemoveValue(const std::string& name) {
  return backend_.DeleteValue(CurrentOrRoot(), name) == status::Success;
}

void RegistryAccess::WriteText(const std::string& name, const std::string& text) {
  if (backend_.SetValue(CurrentOrRoot(), name, regtype::String, Utf16BytesOf(text)) != status::Success) {
    FailSet(name);
  }
}

void RegistryAccess::WriteRaw(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (backend_.SetValue(CurrentOrRoot(), name, type, data) != status::Success) FailSet(name);
}

KeyInfo RegistryAccess::QueryKeyInfo() {
  KeyInfo info;
  if (backend_.QueryInfoKey(CurrentOrRoot(), info) != status::Success) return KeyInfo{};
  return info;
}

}  // namespace tamrisk
