// The registry as the engine sees it: a thin, Win32-shaped interface so that the advapi32 backend is a
// one-to-one mapping and the in-memory backend can be checked against it by the contract tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tamrisk {

// Same meaning as HKEY: the predefined roots carry their Win32 values, other handles are opaque.
using KeyHandle = std::uintptr_t;

enum class RootKey : std::uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
  Users = 0x80000003u,
  PerformanceData = 0x80000004u,
  CurrentConfig = 0x80000005u,
  DynData = 0x80000006u,
};

constexpr KeyHandle RootHandle(RootKey root) { return static_cast<KeyHandle>(root); }

// Win32 status codes (the LONG results of advapi32).
namespace status {
constexpr long Success = 0;
constexpr long FileNotFound = 2;
constexpr long AccessDenied = 5;
constexpr long InvalidHandle = 6;
constexpr long InvalidParameter = 87;
constexpr long MoreData = 234;
constexpr long NoMoreItems = 259;
constexpr long KeyDeleted = 1018;
}  // namespace status

// Access rights asked for when a key is opened.
namespace rights {
constexpr std::uint32_t AllAccess = 0xF003F;       // KEY_ALL_ACCESS
constexpr std::uint32_t Read = 0x20019;            // KEY_READ
constexpr std::uint32_t QueryEnumerate = 0x20009;  // KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | READ_CONTROL
}  // namespace rights

// Registry value types (REG_*).
namespace regtype {
constexpr std::uint32_t None = 0;
constexpr std::uint32_t String = 1;
constexpr std::uint32_t ExpandString = 2;
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t Dword = 4;
constexpr std::uint32_t DwordBigEndian = 5;
constexpr std::uint32_t Link = 6;
constexpr std::uint32_t MultiString = 7;
constexpr std::uint32_t ResourceList = 8;
constexpr std::uint32_t Qword = 11;
}  // namespace regtype

struct KeyInfo {
  std::uint32_t subkeyCount = 0;
  std::uint32_t maxSubkeyNameLength = 0;
  std::uint32_t valueCount = 0;  // a set default value included
  std::uint32_t maxValueNameLength = 0;
  std::uint32_t maxValueDataLength = 0;
  std::uint64_t lastWriteTime = 0;  // FILETIME as one number
};

// Every call returns a Win32 status code. Names are UTF-8; value data is the bytes the registry holds,
// string types as UTF-16LE code units (RegistryAccess::ReadText and WriteText convert them).
class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;

  virtual long OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) = 0;
  virtual long CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) = 0;
  virtual long CloseKey(KeyHandle key) = 0;
  virtual long EnumKey(KeyHandle key, std::uint32_t index, std::string& name) = 0;
  virtual long EnumValue(KeyHandle key, std::uint32_t index, std::string& name) = 0;
  // The value at index with its type and data, in one call where the backend can (RegEnumValueW with
  // a data buffer). data is lent by the caller and reused: it grows to fit and is resized to the
  // value's bytes. On failure name, type and data say nothing. This fallback, for backends that wrap
  // another, asks the name and then the data.
  virtual long EnumValueData(KeyHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                             std::vector<std::uint8_t>& data) {
    const long rc = EnumValue(key, index, name);
    return rc == status::Success ? QueryValue(key, name, type, data) : rc;
  }
  // Type and size in bytes of a value, without its data.
  virtual long QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) = 0;
  // Type and all bytes of a value.
  virtual long QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                          std::vector<std::uint8_t>& data) = 0;
  virtual long QueryInfoKey(KeyHandle key, KeyInfo& info) = 0;
  virtual long SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) = 0;
  // Removes a key that has no subkeys.
  virtual long DeleteKey(KeyHandle parent, const std::string& subkey) = 0;
  virtual long DeleteValue(KeyHandle key, const std::string& name) = 0;
  // Whether the subkey is a symbolic link to another key (as 64-bit Windows and Wine make the keys
  // that both registry views share). False when it is not, or cannot be opened; a backend without
  // links has none.
  virtual bool IsLink(KeyHandle /*parent*/, const std::string& /*subkey*/) { return false; }
};

// Owns a key opened directly on a backend, closing it on every way out. The open's status is kept
// for callers that must tell "not found" from other failures.
class BackendKey {
 public:
  BackendKey(RegistryBackend& backend, KeyHandle parent, const std::string& subkey, std::uint32_t rights)
      : backend_(backend), status_(backend.OpenKey(parent, subkey, rights, key_)) {
    if (status_ != status::Success) key_ = 0;
  }
  // Takes over a key that is already open.
  BackendKey(RegistryBackend& backend, KeyHandle opened) : backend_(backend), key_(opened), status_(status::Success) {}
  ~BackendKey() {
    if (key_ != 0) backend_.CloseKey(key_);
  }
  BackendKey(const BackendKey&) = delete;
  BackendKey& operator=(const BackendKey&) = delete;

  long Status() const { return status_; }
  KeyHandle get() const { return key_; }
  // Hands the key over unclosed.
  KeyHandle release() {
    const KeyHandle key = key_;
    key_ = 0;
    return key;
  }

 private:
  RegistryBackend& backend_;
  KeyHandle key_ = 0;
  long status_;
};

}  // namespace tamrisk
