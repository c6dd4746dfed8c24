// RegistryAccess: the one way the program reads and changes the registry. Each user makes its own
// instance; it holds at most one open key (the current key) and closes it on every way out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/RegistryBackend.h"

namespace tamrisk {

// A read or write that failed; the message names the value ("Failed to get data for 'Path'").
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class DataKind { Unknown, String, ExpandString, Integer, Binary };

// The longest text, in UTF-16 units, that can name a file or a program: Windows' longest path (with
// the "\\?\" prefix) and the longest command line CreateProcess takes are both 32,767 characters.
// Longer string data names nothing, so the scanners pass it over instead of testing it.
inline constexpr std::size_t kMaxUsableTextUnits = 32767;

// "HKEY_LOCAL_MACHINE" and the other four scan roots, compared after ASCII upper-casing.
std::optional<RootKey> RootFromName(const std::string& name);
// Full upper-case name of any of the seven predefined roots, as the registry editor writes it.
std::string RootName(RootKey root);

class RegistryAccess {
 public:
  explicit RegistryAccess(RegistryBackend& backend, RootKey root = RootKey::CurrentUser);
  ~RegistryAccess();
  RegistryAccess(const RegistryAccess&) = delete;
  RegistryAccess& operator=(const RegistryAccess&) = delete;

  // Rights asked by the opens that follow: rights::AllAccess (the default) or rights::Read.
  void SetAccess(std::uint32_t accessRights) { access_ = accessRights; }
  RootKey Root() const { return root_; }
  void SelectRoot(RootKey root);

  // A path that begins with "\" counts from the root, others from the current key (or the root when
  // none is open). On failure the current key is unchanged.
  bool OpenPath(const std::string& path, bool create);
  // Opens the subkey name of parent's current key (or root), through parent's open key rather than
  // from the root; parent must use the same backend and root. The current path becomes the
  // parent's path and name. On failure the current key is unchanged.
  bool OpenSubkeyOf(const RegistryAccess& parent, const std::string& name);
  void ClosePath();
  // Whether path, counted from the root, is a link to another key (RegistryBackend::IsLink).
  bool IsLink(const std::string& path);
  bool HasCurrentKey() const { return current_ != 0; }
  // Path of the current key below the root, as it was opened ("" when none).
  const std::string& CurrentPath() const { return currentPath_; }

  std::vector<std::string> ListSubkeys();
  // The same with the count of a QueryKeyInfo just made, which saves asking for it again.
  std::vector<std::string> ListSubkeys(const KeyInfo& info);
  std::vector<std::string> ListValues();
  DataKind ValueKind(const std::string& name);
  // Bytes of the value's data, or -1 when it is missing.
  long long ValueSize(const std::string& name);
  // String data as UTF-8 text, up to the first NUL. Here and in WriteText alone is string data
  // converted; everything else sees the registry's bytes (UTF-16LE for the string types).
  std::string ReadText(const std::string& name);
  std::int32_t ReadNumber(const std::string& name);
  // The reads the scanners use, which tell a value they cannot use (nullopt) from one that cannot be
  // read (RegistryError). Text: REG_SZ or REG_EXPAND_SZ data up to its first NUL, also when the NUL
  // is missing or the last byte is odd; nullopt when the value is missing, of another type, or its
  // text is longer than kMaxUsableTextUnits. Number: a REG_DWORD of exactly four bytes.
  std::optional<std::string> ReadTextValue(const std::string& name);
  // The same with a buffer the caller lends, so a walk reads its values without an allocation each.
  std::optional<std::string> ReadTextValue(const std::string& name, std::vector<std::uint8_t>& buffer);
  // The value at index of the current key, its name and what ReadTextValue gives for it, from one
  // registry call when it reads (one that does not is asked again by name, to be passed over or
  // raise as ReadTextValue does); false past the last value. For walks that read every value.
  bool ReadTextValueAt(std::uint32_t index, std::string& name, std::optional<std::string>& text,
                       std::vector<std::uint8_t>& buffer);
  std::optional<std::int32_t> ReadNumberValue(const std::string& name);
  std::size_t ReadBytes(const std::string& name, std::uint8_t* buffer, std::size_t capacity);
  // Raw type and bytes, whatever the type; false when the value is missing or unreadable.
  bool ReadRaw(const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& data);
  bool HasValue(const std::string& name);
  // Existence test with query and enumerate rights only; the current key is unchanged.
  bool HasSubkey(const std::string& path);
  // Removes the key at path (as OpenPath counts it) with its whole subtree.
  bool RemoveSubkey(const std::string& path);
  bool RemoveValue(const std::string& name);
  void WriteText(const std::string& name, const std::string& text);
  // Stores raw data of any type (used by tests and fixtures).
  void WriteRaw(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data);
  KeyInfo QueryKeyInfo();

 private:
  struct Target {
    KeyHandle parent;
    std::string subkey;
    std::string fullPath;
  };
  Target Resolve(const std::string& path) const;
  KeyHandle CurrentOrRoot() const { return current_ != 0 ? current_ : RootHandle(root_); }
  bool RemoveTree(KeyHandle parent, const std::string& subkey);
  // The data of a value whose kind is wanted; false when it is missing or of another kind.
  bool ReadOfKind(const std::string& name, bool (*wanted)(DataKind), std::vector<std::uint8_t>& data);

  RegistryBackend& backend_;
  RootKey root_;
  std::uint32_t access_ = rights::AllAccess;
  KeyHandle current_ = 0;
  std::string currentPath_;
};

}  // namespace tamrisk
