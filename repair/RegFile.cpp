#include "repair/RegFile.h"

#include <cstdio>
#include <cstdlib>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"

namespace tamrisk {

bool IsStringType(std::uint32_t type) {
  return type == regtype::String || type == regtype::ExpandString || type == regtype::MultiString;
}

namespace {

constexpr std::string_view kRegedit4 = "REGEDIT4";
constexpr std::string_view kRegedit5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kByteOrderMark = "\xFF\xFE";  // of UTF-16LE, which a 5.00 file is in
constexpr const char* kLineEnd = "\r\n";
constexpr char kDefaultValueName = '@';
// After the comma that follows every 25th byte (from position 25 on) hex data continues on the next
// line.
constexpr std::size_t kBytesPerLine = 25;

std::u16string Utf16Units(const unsigned char* bytes, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return units;
}

std::u16string Utf16Units(const std::vector<std::uint8_t>& data) { return Utf16Units(data.data(), data.size()); }

// Writing.

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A name a .reg file cannot carry: a line break ends its line, and the registry editor ends a name at
// a NUL (as does every by-name call, which would read another value).
bool NameCarries(std::string_view name) { return !HasLineBreak(name) && name.find('\0') == std::string_view::npos; }

// A key line must name exactly the key that was read: no line break, and no empty level that the
// open would skip over.
bool KeyLineCarries(const std::string& path) {
  if (!NameCarries(path)) return false;
  if (path.empty()) return true;  // the root itself
  return path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string::npos;
}

// Every "\" and double quote gets a "\" in front of it: the escapes the registry editor undoes.
std::string QuotedText(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

// Whether "regedit /s" of a 5.00 file gives back these bytes of a string type, as measured under
// Wine 8: it ends hex data of types 1, 2 and 7 with a NUL character when its last whole UTF-16 unit
// is not one, and crashes on a single byte. Empty data and data ending in a NUL unit come back as
// they were.
bool EditorRestoresString(const std::vector<std::uint8_t>& data) {
  if (data.empty()) return true;
  const std::size_t end = data.size() / 2 * 2;
  return end >= 2 && data[end - 2] == 0 && data[end - 1] == 0;
}

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// A REG_SZ goes into quotes only when the quoted text gives back the same bytes: whole UTF-16 units,
// one NUL unit at the end, no line break (a quoted string cannot span lines) and no lone surrogate.
bool IsPlainString(const std::vector<std::uint8_t>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string units = Utf16Units(data);
  if (units.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit == 0 || unit == u'\r' || unit == u'\n') return false;
    if (IsSurrogate(unit)) {
      const bool pair = unit <= 0xDBFF && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
      if (!pair) return false;
      ++i;
    }
  }
  return true;
}

void AppendHexBytes(std::string& out, const std::vector<std::uint8_t>& data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.reserve(out.size() + data.size() * 3 + data.size() / kBytesPerLine * 3 + 2);
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0x0F];
    if (i + 1 == data.size()) break;
    out += ',';
    if (i >= kBytesPerLine && i % kBytesPerLine == 0) {
      out += '\\';
      out += kLineEnd;
    }
  }
  out += kLineEnd;
}

std::string HexPrefix(std::uint32_t type) {
  if (type == regtype::Binary) return "hex:";
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(type));
  return buffer;
}

std::string DwordData(const std::vector<std::uint8_t>& data) {
  const std::uint32_t value = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                              static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "dword:%08X", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

std::string RegFileBytes(std::string_view text, bool byteOrderMark) {
  const std::vector<std::uint8_t> units = Utf16BytesOf(text);  // with a NUL unit the file does not take
  return std::string(byteOrderMark ? kByteOrderMark : "") + std::string(units.begin(), units.end() - 2);
}

std::string RegSectionBytes(std::string_view sections, bool newFile) {
  if (!newFile) return RegFileBytes(sections, false);
  std::string text(kRegedit5);
  text += kLineEnd;
  text += sections;
  return RegFileBytes(text, true);
}

bool AppendRegKeyLine(RootKey root, const std::string& path, std::string& out) {
  if (!KeyLineCarries(path)) return false;
  out += kLineEnd;
  out += '[';
  out += RootName(root);
  out += '\\';
  out += path;
  out += ']';
  out += kLineEnd;
  return true;
}

std::string RegValueLine(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (!NameCarries(name)) return {};
  if (IsStringType(type) && !EditorRestoresString(data)) return {};
  std::string line = name.empty() ? std::string(1, kDefaultValueName) : QuotedText(name);
  line += '=';
  if (type == regtype::String && IsPlainString(data)) {
    line += QuotedText(TextFromUtf16Bytes(data));
    line += kLineEnd;
  } else if (type == regtype::Dword && data.size() == 4) {
    line += DwordData(data);
    line += kLineEnd;
  } else {
    line += HexPrefix(type);
    AppendHexBytes(line, data);
  }
  return line;
}

// Reading.

namespace {

std::string_view TrimEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

std::string_view TrimStart(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

// Lines as the registry editor ends them: at CR LF, at LF and at a lone CR. A value line that seems to
// go on past a lone CR ends there for the editor, and what follows is a line of its own: a key line
// that deletes, it may be.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) break;
    lines.push_back(TrimEnd(text.substr(start, end - start)));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  lines.push_back(TrimEnd(text.substr(start)));
  return lines;
}

// The file's text as UTF-8: a 5.00 file is UTF-16LE behind its byte-order mark, a REGEDIT4 file is
// in the system's ANSI code page.
std::string DecodeText(std::string_view bytes, const AnsiDecoder& ansiToUtf16, bool& unicode) {
  unicode = bytes.starts_with(kByteOrderMark);
  if (!unicode) return Utf16ToUtf8(ansiToUtf16(bytes));
  const std::string_view units = bytes.substr(kByteOrderMark.size());
  return Utf16ToUtf8(Utf16Units(reinterpret_cast<const unsigned char*>(units.data()), units.size()));
}

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& units) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// A quoted text at the start of rest, with "\\" and "\"" (and "\n", "\r", which the registry
// editor writes) unescaped; rest moves past the closing quote.
std::optional<std::string> TakeQuoted(std::string_view& rest) {
  if (rest.empty() || rest.front() != '"') return std::nullopt;
  std::string text;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') {
      rest.remove_prefix(i + 1);
      return text;
    }
    if (c == '\\' && i + 1 < rest.size()) {
      const char next = rest[++i];
      if (next == 'n') {
        text += '\n';
      } else if (next == 'r') {
        text += '\r';
      } else if (next == '\\' || next == '"') {
        text += next;
      } else {
        text += c;
        text += next;
      }
      continue;
    }
    text += c;
  }
  return std::nullopt;
}

bool TakeHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ',' || c == ' ' || c == '\t' || c == '\\') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    const std::string pair(text.substr(i, 2));
    char* end = nullptr;
    const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
    if (end != pair.c_str() + 2) return false;
    bytes.push_back(static_cast<std::uint8_t>(value));
    i += 2;
  }
  return true;
}

// The data after "=": quoted text, dword:, hex: or hex(N):, the hex lines already joined.
bool ParseData(std::string_view data, bool unicode, const AnsiDecoder& ansiToUtf16, RegFileValue& value) {
  if (data.front() == '"') {
    std::optional<std::string> text = TakeQuoted(data);
    if (!text || !TrimStart(data).empty()) return false;
    value.type = regtype::String;
    value.data = Utf16BytesOf(*text);
    return true;
  }
  if (data.substr(0, 6) == "dword:") {
    const std::string digits(data.substr(6));
    char* end = nullptr;
    const unsigned long number = std::strtoul(digits.c_str(), &end, 16);
    if (digits.empty() || digits.size() > 8 || *end != '\0') return false;
    value.type = regtype::Dword;
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<std::uint8_t>(number >> shift));
    return true;
  }
  std::size_t colon = data.find(':');
  if (colon == std::string_view::npos || data.substr(0, 3) != "hex") return false;
  const std::string_view prefix = data.substr(0, colon);
  if (prefix == "hex") {
    value.type = regtype::Binary;
  } else if (prefix.size() > 5 && prefix[3] == '(' && prefix.back() == ')') {
    const std::string digits(prefix.substr(4, prefix.size() - 5));
    char* end = nullptr;
    value.type = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), &end, 16));
    if (digits.empty() || *end != '\0') return false;
  } else {
    return false;
  }
  if (!TakeHexBytes(data.substr(colon + 1), value.data)) return false;
  if (!unicode && IsStringType(value.type)) {
    // A REGEDIT4 file holds string data in the ANSI code page; the import converts it.
    const std::string ansi(value.data.begin(), value.data.end());
    value.data = Utf16Bytes(ansiToUtf16(ansi));
  }
  return true;
}

// Joins a value line with the lines its trailing "\" continues onto.
std::string JoinContinued(const std::vector<std::string_view>& lines, std::size_t& index) {
  std::string joined(lines[index]);
  while (!joined.empty() && joined.back() == '\\' && index + 1 < lines.size() &&
         joined.find("=hex") != std::string::npos) {
    joined.pop_back();
    joined += TrimStart(lines[++index]);
  }
  return joined;
}

bool ParseValueLine(std::string_view line, bool unicode, const AnsiDecoder& ansiToUtf16, RegFileValue& value,
                    bool& removal) {
  std::string_view rest = line;
  if (rest.front() == kDefaultValueName) {
    rest.remove_prefix(1);
  } else {
    std::optional<std::string> name = TakeQuoted(rest);
    if (!name) return false;
    value.name = std::move(*name);
  }
  rest = TrimStart(rest);
  if (rest.empty() || rest.front() != '=') return false;
  rest = TrimStart(rest.substr(1));
  if (rest.empty()) return false;
  removal = rest == "-";
  return removal || ParseData(rest, unicode, ansiToUtf16, value);
}

// "[HKEY_...\path]"; a key the file deletes ("[-HKEY_...]") gives removal.
bool ParseKeyLine(std::string_view line, RegFileKey& key, bool& removal) {
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos) return false;
  std::string_view name = line.substr(1, close - 1);
  removal = !name.empty() && name.front() == '-';
  if (removal) return true;
  const std::size_t slash = name.find('\\');
  const std::optional<RootKey> root = RootFromName(std::string(name.substr(0, slash)));
  if (!root) return false;
  key.root = *root;
  key.path = slash == std::string_view::npos ? std::string() : std::string(name.substr(slash + 1));
  return true;
}

std::string FullName(const RegFileKey& key) {
  return key.path.empty() ? RootName(key.root) : RootName(key.root) + "\\" + key.path;
}

std::size_t MissingIn(RegistryBackend& registry, const RegFileKey& key) {
  const BackendKey opened(registry, RootHandle(key.root), key.path, rights::Read);
  if (opened.get() == 0) return 1 + key.values.size();
  std::size_t missing = 0;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (const RegFileValue& value : key.values) {
    const bool same = registry.QueryValue(opened.get(), value.name, type, data) == status::Success &&
                      type == value.type && data == value.data;
    if (!same) ++missing;
  }
  return missing;
}

}  // namespace

std::optional<RegFile> ParseRegFile(std::string_view bytes, const AnsiDecoder& ansiToUtf16) {
  bool unicode = false;
  const std::string text = DecodeText(bytes, ansiToUtf16, unicode);
  // The editor's reading of a NUL is its own (an end of the text, or of a line); the backups hold none.
  if (text.find('\0') != std::string::npos) return std::nullopt;
  const std::vector<std::string_view> lines = SplitLines(text);
  std::size_t index = 0;
  while (index < lines.size() && lines[index].empty()) ++index;
  if (index == lines.size() || lines[index] != (unicode ? kRegedit5 : kRegedit4)) return std::nullopt;

  RegFile file;
  RegFileKey* current = nullptr;
  bool skipping = false;  // inside a key the file deletes
  for (++index; index < lines.size(); ++index) {
    const std::string_view line = TrimStart(lines[index]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      RegFileKey key;
      if (!ParseKeyLine(line, key, skipping)) return std::nullopt;
      file.deletes = file.deletes || skipping;
      current = nullptr;
      if (!skipping) current = &file.keys.emplace_back(std::move(key));
      continue;
    }
    const std::string joined = JoinContinued(lines, index);
    RegFileValue value;
    bool removal = false;
    if (!ParseValueLine(TrimStart(joined), unicode, ansiToUtf16, value, removal)) return std::nullopt;
    file.deletes = file.deletes || removal;
    if (skipping || removal) continue;
    if (!current) return std::nullopt;
    current->values.push_back(std::move(value));
  }
  return file;
}

namespace {

std::string DescribeValue(const RegFileValue& value) {
  std::string line =
      "    " + (value.name.empty() ? std::string(1, kDefaultValueName) : "\"" + value.name + "\"") + " = ";
  if (IsStringType(value.type)) {
    std::u16string units = Utf16Units(value.data);
    for (char16_t& unit : units) {
      if (unit == u'\0') unit = u' ';  // the strings of a multi-string side by side
    }
    while (!units.empty() && units.back() == u' ') units.pop_back();
    return line + "\"" + Utf16ToUtf8(units) + "\"";
  }
  return line + "type " + std::to_string(value.type) + ", " + std::to_string(value.data.size()) + " bytes";
}

}  // namespace

std::string DescribeRegFile(const RegFile& file, std::size_t maxLines) {
  std::vector<std::string> lines;
  for (const RegFileKey& key : file.keys) {
    lines.push_back(FullName(key));
    for (const RegFileValue& value : key.values) lines.push_back(DescribeValue(value));
  }
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < maxLines; ++i) text += lines[i] + "\r\n";
  if (lines.size() > maxLines) text += "... (+" + std::to_string(lines.size() - maxLines) + ")\r\n";
  return text;
}

RestoreCheck CheckRestored(RegistryBackend& registry, const RegFile& file) {
  RestoreCheck check;
  for (const RegFileKey& key : file.keys) {
    check.entries += 1 + key.values.size();
    const std::size_t missing = MissingIn(registry, key);
    if (missing > 0 && check.missing == 0) check.firstMissingKey = FullName(key);
    check.missing += missing;
  }
  return check;
}

}  // namespace tamrisk
