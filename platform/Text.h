// Text helpers shared by every layer. Text inside the program is UTF-8. Comparisons that ignore case
// fold only ASCII "a" to "z"; every other character compares exactly. Folding byte by byte never
// breaks a multi-byte UTF-8 character: its lead and continuation bytes are all 0x80 or above.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamrisk {

constexpr char AsciiUpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char AsciiLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Below zero, zero or above zero as a orders before, with or after b ignoring case: by upper-case
// bytes, the order NTFS keeps names in.
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// Whether the list holds name, ignoring case.
bool ContainsNoCase(const std::vector<std::string>& names, std::string_view name);
// The steps of a registry or file path between its backslashes ("a\b\" gives "a" and "b"); views
// into path.
std::vector<std::string_view> PathSteps(std::string_view path);
// Position of the first occurrence of needle in text ignoring case, or npos. An empty needle is at 0.
std::size_t FindNoCase(std::string_view text, std::string_view needle);
// The pattern with "%1" to "%9" replaced by the arguments in order; "%%" stays a single "%". An
// argument is never read as a pattern itself.
std::string FillArguments(std::string_view pattern, std::span<const std::string_view> arguments);

// UTF-16 (the system's text: registry names and data, file names) and the program's UTF-8. A lone
// surrogate, which registry names and data may hold, is carried as its own three-byte sequence
// (as WTF-8 does), so names and data round-trip exactly. Bytes that are not UTF-8 become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Length in UTF-16 units, the characters Windows counts in its limits (255 for a key name).
std::size_t Utf16Length(std::string_view utf8);

// String data of a registry value as the wide registry functions hold it: UTF-16LE code units.
// Text stops at the first NUL; an odd last byte is dropped.
std::string TextFromUtf16Bytes(const std::vector<std::uint8_t>& data);
// The text as UTF-16LE bytes with one terminating NUL (two zero bytes).
std::vector<std::uint8_t> Utf16BytesOf(std::string_view utf8);

}  // namespace tamrisk
