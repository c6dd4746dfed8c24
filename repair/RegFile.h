// The registry editor's file format, written and read in one place. The repair's backups are
// written as "Windows Registry Editor Version 5.00" files (UTF-16LE behind a byte-order mark, CR LF)
// so that "regedit /s" of one puts every entry back with the same names, type and bytes; the text is
// built as UTF-8 and encoded once per write. Reading takes those and older REGEDIT4 files back into
// keys and values, so that the restore can keep a backup until the import has really put everything
// back.
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

// The text as the file holds it: UTF-16LE, after a byte-order mark when asked.
std::string RegFileBytes(std::string_view text, bool byteOrderMark);
// Sections as written into a backup file; a new file starts with the byte-order mark and the header
// line.
std::string RegSectionBytes(std::string_view sections, bool newFile);

// Opens the section of a key: a blank line and "[HKEY_...\path]". False, with nothing appended, when
// no key line names exactly that key: a line break or NUL in it, or an empty level the import would
// skip over. An empty path is the root itself.
bool AppendRegKeyLine(RootKey root, const std::string& path, std::string& out);

// The "name=data" line of one value, with its CR LF, as UTF-8 text. A REG_SZ that a quoted string
// carries unchanged is quoted; every other value is written as hex(N) of its bytes (string types hold
// UTF-16LE) so that an import restores it byte for byte. Empty when that cannot be done: a name that
// cannot stand on one line (CR or LF in it) or holds a NUL, or string-type data the registry editor
// would change.
std::string RegValueLine(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data);

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
