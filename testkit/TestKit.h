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

}  // namespace tamrisk::test
