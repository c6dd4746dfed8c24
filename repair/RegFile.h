// Reads a registry file (REGEDIT4 or "Windows Registry Editor Version 5.00") back into keys and
// values, and checks that what it holds is in the registry. The restore uses it to keep a backup
// until the import has really put everything back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryBackend.h"

namespace tamrisk {

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: the types whose data is UTF-16 text.
bool IsStringType(std::uint32_t type);

struct RegFileValue {
  std::string name;  // "" for the default value
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;  // as the wide registry functions hold it
};

struct RegFileKey {
  RootKey root = RootKey::CurrentUser;
  std::string path;  // below the root
  std::vector<RegFileValue> values;
};

struct RegFile {
  std::vector<RegFileKey> keys;  // in file order; keys the file deletes are left out
  bool deletes = false;          // it deletes a key or a value, which no backup of the repair does
};

// ANSI text of a REGEDIT4 file to UTF-16, as the registry editor converts it on import.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;

// nullopt when the bytes are not a registry file (no known header, or a line that cannot be read).
std::optional<RegFile> ParseRegFile(std::string_view bytes, const AnsiDecoder& ansiToUtf16);

// What importing the file would add or change, for a person to judge: each key's full name, and below
// it each value, a string type with its text, any other with its type and size. At most maxLines
// lines; then "... (+N)" for the N left out.
std::string DescribeRegFile(const RegFile& file, std::size_t maxLines);

struct RestoreCheck {
  std::size_t entries = 0;      // keys and values the file holds
  std::size_t missing = 0;      // keys and values not in the registry as the file has them
  std::string firstMissingKey;  // full name, "HKEY_...\path"
};

// Compares every key and value of the file with the registry: same type, same bytes.
RestoreCheck CheckRestored(RegistryBackend& registry, const RegFile& file);

}  // namespace tamrisk
