// Text helpers shared by every layer. Comparisons that ignore case fold only ASCII "a" to "z", as
// Windows registry and file names are compared by this program.
#pragma once

#include <string>
#include <string_view>

namespace tamrisk {

constexpr char AsciiUpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char AsciiLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// Position of the first occurrence of needle in text ignoring case, or npos. An empty needle is at 0.
std::size_t FindNoCase(std::string_view text, std::string_view needle);

}  // namespace tamrisk
