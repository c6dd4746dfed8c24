// The one crossing between the program's UTF-8 text and the wide (UTF-16) Win32 functions.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Text.h"

namespace tamrisk::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide Win32 functions take UTF-16");

inline std::wstring Wide(std::string_view utf8) {
  // Most names and paths are ASCII: widened byte by byte, without decoding.
  std::wstring wide(utf8.size(), L'\0');
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte >= 0x80) {
      const std::u16string units = Utf8ToUtf16(utf8);
      return std::wstring(units.begin(), units.end());
    }
    wide[i] = byte;
  }
  return wide;
}

inline std::string Utf8(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// A NUL-terminated wide buffer filled by the system.
inline std::string Utf8(const wchar_t* wide) { return wide ? Utf8(std::wstring_view(wide)) : std::string(); }

}  // namespace tamrisk::win32
