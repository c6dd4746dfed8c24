// An in-memory registry that answers every RegistryBackend call the way advapi32 does, for tests and
// benchmarks. Where Windows and Wine differ, it follows Wine when the engine cannot tell (subkey
// order) and Windows otherwise (value order, HKEY_CLASSES_ROOT merging, create rights).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryBackend.h"

namespace tamrisk {

struct RegValue {
  std::uint32_t type = regtype::None;
  std::vector<std::uint8_t> data;
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// How often each backend call was made (fixture builders are not counted).
struct RegistryCalls {
  std::size_t opens = 0;    // OpenKey
  std::size_t creates = 0;  // CreateKey
  std::size_t closes = 0;
  std::size_t enumKeys = 0;
  std::size_t enumValues = 0;    // EnumValue and EnumValueData
  std::size_t valueQueries = 0;  // QueryValue and QueryValueInfo
  std::size_t infoQueries = 0;   // QueryInfoKey
  std::size_t writes = 0;        // SetValue
  std::size_t deletes = 0;       // DeleteKey and DeleteValue
  std::size_t Total() const {
    return opens + creates + closes + enumKeys + enumValues + valueQueries + infoQueries + writes + deletes;
  }
};

class MemoryRegistry final : public RegistryBackend {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  long OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override;
  long CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override;
  long CloseKey(KeyHandle key) override;
  long EnumKey(KeyHandle key, std::uint32_t index, std::string& name) override;
  long EnumValue(KeyHandle key, std::uint32_t index, std::string& name) override;
  long EnumValueData(KeyHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                     std::vector<std::uint8_t>& data) override;
  long QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) override;
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                  std::vector<std::uint8_t>& data) override;
  long QueryInfoKey(KeyHandle key, KeyInfo& info) override;
  long SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;
  long DeleteKey(KeyHandle parent, const std::string& subkey) override;
  long DeleteValue(KeyHandle key, const std::string& name) override;
  bool IsLink(KeyHandle parent, const std::string& subkey) override;

  // Fixture builders. Paths count from the root ("Software\\Vendor"); missing keys are made. They
  // ignore DenyRights and are not counted. Text is stored as the registry holds it: UTF-16LE.
  void CreateKey(RootKey root, const std::string& path);
  void SetValue(RootKey root, const std::string& path, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);
  void SetString(RootKey root, const std::string& path, const std::string& name, const std::string& text);
  void SetExpandString(RootKey root, const std::string& path, const std::string& name, const std::string& text);
  void SetDword(RootKey root, const std::string& path, const std::string& name, std::uint32_t value);
  void SetMultiString(RootKey root, const std::string& path, const std::string& name,
                      const std::vector<std::string>& items);
  bool KeyExists(RootKey root, const std::string& path) const;
  std::optional<RegValue> GetValue(RootKey root, const std::string& path, const std::string& name) const;
  // Names in enumeration order; empty when the key is missing.
  std::vector<std::string> SubkeyNames(RootKey root, const std::string& path) const;
  std::vector<std::string> ValueNames(RootKey root, const std::string& path) const;

  // Opening root\path asking any right in rightsMask fails with AccessDenied, as an ACL would; so
  // does deleting it when the mask holds DELETE (0x10000). The key is made if missing.
  void DenyRights(RootKey root, const std::string& path, std::uint32_t rightsMask);
  // Marks root\path (made if missing) as a link of the shared registry views. The key keeps contents
  // of its own: a test seeds it as its target, and code that must not read a link twice checks IsLink.
  void MarkLink(RootKey root, const std::string& path);
  // QueryValue and EnumValueData of that value fail with the given status (its type and size still
  // read).
  void FailReads(RootKey root, const std::string& path, const std::string& valueName,
                 long failure = status::AccessDenied);
  // HKEY_CURRENT_USER becomes HKEY_USERS\<sid> (its content moves there, replacing any key of that
  // name), so the same data shows under both roots. An empty SID detaches it again.
  void SetCurrentUserSid(const std::string& sid);

  // Deletions made from now on are added to journal as "delete key <subkey>" and "delete value
  // <name>" (see MemoryFileSystem::JournalChanges). Null stops it. For tests on one thread.
  void JournalChanges(std::vector<std::string>* journal);

  RegistryCalls Calls() const;
  void ResetCalls();
  // Handles opened or created and not yet closed (predefined roots excluded).
  std::size_t OpenHandleCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tamrisk
