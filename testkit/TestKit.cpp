#include "testkit/TestKit.h"

#include <stdexcept>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"

namespace tamrisk::test {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> TextBytes(std::string_view text) { return Utf16BytesOf(text); }

std::string Utf16File(std::string_view utf8) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : Utf8ToUtf16(utf8)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::u16string Cp1252(std::string_view ansi) {
  std::u16string units;
  for (const char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    units += byte == 0x80 ? u'\u20AC' : static_cast<char16_t>(byte);
  }
  return units;
}

std::string Utf8OfUtf16File(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return Utf16ToUtf8(units) + (bytes.size() % 2 != 0 ? "<odd byte>" : "");
}

std::pair<RootKey, std::string> SplitKeyLocation(const std::string& location) {
  const std::size_t slash = location.find('\\');
  const std::string rootName = AsciiUpper(location.substr(0, slash));
  const std::string path = slash == std::string::npos ? std::string() : location.substr(slash + 1);
  static const std::pair<const char*, RootKey> kShort[] = {
      {"HKLM", RootKey::LocalMachine}, {"HKCU", RootKey::CurrentUser},   {"HKCR", RootKey::ClassesRoot},
      {"HKU", RootKey::Users},         {"HKCC", RootKey::CurrentConfig},
  };
  for (const auto& [name, root] : kShort) {
    if (rootName == name) return {root, path};
  }
  if (auto root = RootFromName(rootName)) return {*root, path};
  throw std::invalid_argument("unknown registry root in " + location);
}

RegRow Key(std::string key) { return RegRow{std::move(key), std::nullopt, regtype::None, {}}; }

RegRow Str(std::string key, std::string name, std::string_view text) {
  return RegRow{std::move(key), std::move(name), regtype::String, TextBytes(text)};
}

RegRow ExpandStr(std::string key, std::string name, std::string_view text) {
  return RegRow{std::move(key), std::move(name), regtype::ExpandString, TextBytes(text)};
}

RegRow Dword(std::string key, std::string name, std::uint32_t value) {
  return RegRow{std::move(key),
                std::move(name),
                regtype::Dword,
                {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

RegRow Raw(std::string key, std::string name, std::uint32_t type, std::vector<std::uint8_t> data) {
  return RegRow{std::move(key), std::move(name), type, std::move(data)};
}

void Seed(MemoryRegistry& registry, const std::vector<RegRow>& rows) {
  for (const auto& row : rows) {
    const auto [root, path] = SplitKeyLocation(row.key);
    if (row.name) {
      registry.SetValue(root, path, *row.name, row.type, row.data);
    } else {
      registry.CreateKey(root, path);
    }
  }
}

void SeedFiles(MemoryFileSystem& files, const std::vector<std::string>& paths) {
  for (const auto& path : paths) {
    if (!path.empty() && path.back() == '\\') {
      files.AddFolder(path);
    } else {
      files.AddFile(path);
    }
  }
}

}  // namespace tamrisk::test
