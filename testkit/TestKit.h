// Small helpers the test suites share: compact registry and file fixtures for the memory backends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/RegistryBackend.h"
#include "platform/memory/MemoryFileSystem.h"
#include "platform/memory/MemoryRegistry.h"

namespace tamrisk::test {

// The bytes of a text as written, and a text as string data (UTF-16LE with its terminating NUL).
std::vector<std::uint8_t> Bytes(std::string_view text);
std::vector<std::uint8_t> TextBytes(std::string_view text);

// The first line of a registry editor file as Utf8OfUtf16File gives it back, byte-order mark included.
inline constexpr const char* kRegFileHeader = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n";

// A registry editor 5.00 file's bytes: UTF-16LE behind its byte-order mark.
std::string Utf16File(std::string_view utf8);
// Code page 1252 as the registry editor reads a REGEDIT4 file with it: Latin-1 but for the euro sign.
std::u16string Cp1252(std::string_view ansi);

// A UTF-16LE file's bytes (registry editor files, exports) as UTF-8 text, a byte-order mark as
// "\xEF\xBB\xBF"; an odd last byte shows as "<odd byte>".
std::string Utf8OfUtf16File(std::string_view bytes);

// "HKLM\Software\App" (or "HKEY_LOCAL_MACHINE\Software\App") as root and path; throws
// std::invalid_argument for an unknown root. HKLM, HKCU, HKCR, HKU and HKCC are accepted.
std::pair<RootKey, std::string> SplitKeyLocation(const std::string& location);

// One row of a registry fixture: a key, or a value in it (an empty name is the default value).
struct RegRow {
  std::string key;
  std::optional<std::string> name;
  std::uint32_t type = regtype::String;
  std::vector<std::uint8_t> data;
};

RegRow Key(std::string key);
RegRow Str(std::string key, std::string name, std::string_view text);
RegRow ExpandStr(std::string key, std::string name, std::string_view text);
RegRow Dword(std::string key, std::string name, std::uint32_t value);
RegRow Raw(std::string key, std::string name, std::uint32_t type, std::vector<std::uint8_t> data);

// Builds the rows in order:
//   Seed(reg, {Str("HKLM\\Software\\App", "Path", "C:\\App\\app.exe"), Key("HKCU\\Software\\Empty")});
void Seed(MemoryRegistry& registry, const std::vector<RegRow>& rows);

// Paths ending in "\" become folders, the others empty files:
//   SeedFiles(files, {"C:\\Windows\\", "C:\\App\\app.exe"});
void SeedFiles(MemoryFileSystem& files, const std::vector<std::string>& paths);

// Passes every call on to another registry; a test's decorator overrides what it changes.
class ForwardingRegistry : public RegistryBackend {
 public:
  explicit ForwardingRegistry(RegistryBackend& inner) : inner_(inner) {}
  long OpenKey(KeyHandle p, const std::string& s, std::uint32_t r, KeyHandle& k) override {
    return inner_.OpenKey(p, s, r, k);
  }
  long CreateKey(KeyHandle p, const std::string& s, std::uint32_t r, KeyHandle& k) override {
    return inner_.CreateKey(p, s, r, k);
  }
  long CloseKey(KeyHandle k) override { return inner_.CloseKey(k); }
  long EnumKey(KeyHandle k, std::uint32_t i, std::string& n) override { return inner_.EnumKey(k, i, n); }
  long EnumValue(KeyHandle k, std::uint32_t i, std::string& n) override { return inner_.EnumValue(k, i, n); }
  long EnumValueData(KeyHandle k, std::uint32_t i, std::string& n, std::uint32_t& t,
                     std::vector<std::uint8_t>& d) override {
    return inner_.EnumValueData(k, i, n, t, d);
  }
  long QueryValueInfo(KeyHandle k, const std::string& n, std::uint32_t& t, std::uint32_t& s) override {
    return inner_.QueryValueInfo(k, n, t, s);
  }
  long QueryValue(KeyHandle k, const std::string& n, std::uint32_t& t, std::vector<std::uint8_t>& d) override {
    return inner_.QueryValue(k, n, t, d);
  }
  long QueryInfoKey(KeyHandle k, KeyInfo& i) override { return inner_.QueryInfoKey(k, i); }
  long SetValue(KeyHandle k, const std::string& n, std::uint32_t t, const std::vector<std::uint8_t>& d) override {
    return inner_.SetValue(k, n, t, d);
  }
  long DeleteKey(KeyHandle p, const std::string& s) override { return inner_.DeleteKey(p, s); }
  long DeleteValue(KeyHandle k, const std::string& n) override { return inner_.DeleteValue(k, n); }
  bool IsLink(KeyHandle p, const std::string& s) override { return inner_.IsLink(p, s); }

 private:
  RegistryBackend& inner_;
};

}  // namespace tamrisk::test
