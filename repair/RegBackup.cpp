#include "repair/RegBackup.h"

#include <cstdio>
#include <utility>

#include "platform/Text.h"
#include "repair/RegFile.h"
#include "repair/Repair.h"

namespace tamrisk {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n";
// After the comma that follows every 25th byte (from position 25 on) a binary value continues on
// the next line.
constexpr std::size_t kBytesPerLine = 25;

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A name a .reg file cannot carry: a line break ends its line, and the registry editor ends a name at
// a NUL (as does every by-name call, which would read another value).
bool NameCarries(std::string_view name) { return !HasLineBreak(name) && name.find('\0') == std::string_view::npos; }

std::string QuotedText(std::string_view text) {
  std::string quoted = "\"";
  quoted += EscapeQuotes(DoubleBackslashes(text));
  quoted += '"';
  return quoted;
}

std::u16string Utf16Units(const std::vector<std::uint8_t>& data) {
  std::u16string units(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  return units;
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

std::string KeyLine(RootKey root, const std::string& path) {
  std::string line = "[";
  line += RootName(root);
  line += '\\';
  line += path;
  line += ']';
  return line;
}

std::string ChildPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// Values listed and counted by the key agree: the listing did not stop early.
bool ListedAll(RegistryAccess& access, std::size_t values, std::size_t subkeys) {
  const KeyInfo info = access.QueryKeyInfo();
  return info.valueCount == values && info.subkeyCount == subkeys;
}

// Whether a key may still be there. Only a "not found" proves it gone; a key the user may not even
// look at counts as present, so its row is not dropped as if it had been repaired.
bool KeyMayExist(const Platform& platform, RootKey root, const std::string& path) {
  const BackendKey key(platform.registry, RootHandle(root), path, rights::QueryEnumerate);
  return key.Status() != status::FileNotFound;
}

bool ValueMayExist(const Platform& platform, RootKey root, const std::string& path, const std::string& name) {
  const BackendKey key(platform.registry, RootHandle(root), path, rights::Read);
  if (key.Status() == status::FileNotFound) return false;
  if (key.Status() != status::Success) return KeyMayExist(platform, root, path);
  std::uint32_t type = 0, size = 0;
  return platform.registry.QueryValueInfo(key.get(), name, type, size) != status::FileNotFound;
}

// An entry that could not be backed up or deleted because this process may not change its key is
// told apart, so the user knows that an administrator can remove it.
RemoveOutcome KeptFor(const Platform& platform, RootKey root, const std::string& path, RemoveOutcome otherwise) {
  const BackendKey key(platform.registry, RootHandle(root), path, rights::AllAccess);
  return key.Status() == status::AccessDenied ? RemoveOutcome::NeedsAdministrator : otherwise;
}

bool AppendValueLine(RegistryAccess& access, const std::string& name, std::string& out) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (!access.ReadRaw(name, type, data)) return false;
  const std::string line = RegValueLine(name, type, data);
  if (line.empty()) return false;
  out += line;
  return true;
}

// A key line must name exactly the key that was read: no line break, and no empty level that the
// open would skip over.
bool KeyLineCarries(const std::string& path) {
  if (!NameCarries(path)) return false;
  if (path.empty()) return true;  // the root itself
  return path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string::npos;
}

// The key line of path and one value line, read from the access object's current key.
bool AppendValueSection(RegistryAccess& access, const std::string& path, const std::string& valueName,
                        std::string& out) {
  if (!KeyLineCarries(path)) return false;
  out += kLineEnd;
  out += KeyLine(access.Root(), path);
  out += kLineEnd;
  return AppendValueLine(access, valueName, out);
}

bool AppendSection(RegistryAccess& access, const std::string& path, const std::string& valueName, bool wholeKey,
                   std::string& out) {
  if (!KeyLineCarries(path)) return false;
  access.ClosePath();
  if (!access.OpenPath("\\" + path, false)) return false;
  if (!wholeKey) return AppendValueSection(access, path, valueName, out);

  out += kLineEnd;
  out += KeyLine(access.Root(), path);
  out += kLineEnd;
  const std::vector<std::string> values = access.ListValues();
  const std::vector<std::string> subkeys = access.ListSubkeys();
  if (!ListedAll(access, values.size(), subkeys.size())) return false;
  for (const std::string& name : values) {
    if (!AppendValueLine(access, name, out)) return false;
  }
  access.ClosePath();
  for (const std::string& name : subkeys) {
    if (!AppendSection(access, ChildPath(path, name), valueName, true, out)) return false;
  }
  return true;
}

}  // namespace

std::string RegFileBytes(std::string_view text, bool byteOrderMark) {
  const std::vector<std::uint8_t> units = Utf16BytesOf(text);  // with a NUL unit the file does not take
  return (byteOrderMark ? "\xFF\xFE" : "") + std::string(units.begin(), units.end() - 2);
}

std::string DoubleBackslashes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    result += c;
    if (c == '\\') result += '\\';
  }
  return result;
}

std::string EscapeQuotes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c == '"') result += '\\';
    result += c;
  }
  return result;
}

std::string RegValueLine(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (!NameCarries(name)) return {};
  if (IsStringType(type) && !EditorRestoresString(data)) return {};
  std::string line = name.empty() ? std::string("@") : QuotedText(name);
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

bool WriteRegSection(RegistryAccess& access, const std::string& path, const std::string& valueName, bool wholeKey,
                     std::string& out) {
  std::string section;
  const bool complete = AppendSection(access, path, valueName, wholeKey, section);
  access.ClosePath();
  if (!complete) return false;
  out += section;
  return true;
}

bool IsRemovableKeyPath(const std::string& path) {
  const std::string key = WithoutTrailingBackslash(path);
  if (key.empty() || key.find('\\') == std::string::npos) return false;
  return key.front() != '\\' && key.back() != '\\' && key.find("\\\\") == std::string::npos;
}

RegBackup::RegBackup(const Platform& platform, std::string fileName)
    : platform_(platform), fileName_(std::move(fileName)) {}

void RegBackup::Append(const std::string& text) {
  // A file of the same name from a repair earlier in the same second already has its header.
  const bool header = !written_ && !platform_.files.PathIsFile(fileName_);
  const std::string bytes = RegFileBytes(header ? kHeader + text : text, header);
  std::string error;
  if (!stream_) stream_ = platform_.files.OpenForAppend(fileName_, &error);
  if (!stream_ || !stream_->Append(bytes, &error)) {
    stream_.reset();
    throw RepairError(error.empty() ? "Cannot write " + fileName_ : error);
  }
  written_ = true;
}

bool RegBackup::AppendToBackup(RootKey root, const std::string& path, const std::string& valueName, bool wholeKey) {
  std::string text;
  {
    RegistryAccess access(platform_.registry, root);
    if (!WriteRegSection(access, WithoutTrailingBackslash(path), valueName, wholeKey, text)) return false;
  }
  Append(std::move(text));
  return true;
}

RemoveOutcome RegBackup::RemoveKeyWithBackup(const std::string& rootName, const std::string& path) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return RemoveOutcome::NotFound;
  if (!IsRemovableKeyPath(path)) return RemoveOutcome::Refused;
  const std::string key = WithoutTrailingBackslash(path);

  RegistryAccess access(platform_.registry, *root);
  std::string section;
  if (!WriteRegSection(access, key, "", true, section)) {
    if (!KeyMayExist(platform_, *root, key)) return RemoveOutcome::NotFound;
    return KeptFor(platform_, *root, key, RemoveOutcome::NotBackedUp);
  }
  Append(std::move(section));
  if (access.RemoveSubkey(key)) return RemoveOutcome::Removed;
  if (!KeyMayExist(platform_, *root, key)) return RemoveOutcome::Removed;
  return KeptFor(platform_, *root, key, RemoveOutcome::NotDeleted);
}

RemoveOutcome RegBackup::RemoveValueWithBackup(const std::string& rootName, const std::string& path,
                                               const std::string& valueName) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return RemoveOutcome::NotFound;
  const auto absent = [&] {
    if (!ValueMayExist(platform_, *root, path, valueName)) return RemoveOutcome::NotFound;
    return KeptFor(platform_, *root, path, RemoveOutcome::NotBackedUp);
  };
  RegistryAccess access(platform_.registry, *root);
  if (!access.OpenPath(path, false)) return absent();
  std::string section;
  if (!AppendValueSection(access, WithoutTrailingBackslash(path), valueName, section)) return absent();
  Append(std::move(section));
  if (access.RemoveValue(valueName)) return RemoveOutcome::Removed;
  if (!ValueMayExist(platform_, *root, path, valueName)) return RemoveOutcome::Removed;
  return KeptFor(platform_, *root, path, RemoveOutcome::NotDeleted);
}

}  // namespace tamrisk
