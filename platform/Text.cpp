#include "platform/Text.h"

#include <algorithm>

namespace tamrisk {

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpperChar(c);
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLowerChar(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpperChar(a[i]) != AsciiUpperChar(b[i])) return false;
  }
  return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(AsciiUpperChar(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiUpperChar(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& entry) { return EqualsNoCase(entry, name); });
}

std::vector<std::string_view> PathSteps(std::string_view path) {
  std::vector<std::string_view> steps;
  for (std::size_t start = 0; start < path.size();) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    steps.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindNoCase(std::string_view text, std::string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > text.size()) return std::string_view::npos;
  const char first = AsciiUpperChar(needle.front());
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
    if (AsciiUpperChar(text[i]) == first && EqualsNoCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::string FillArguments(std::string_view pattern, std::span<const std::string_view> arguments) {
  std::string text;
  text.reserve(pattern.size());
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    const char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
    if (pattern[at] == '%' && next == '%') {
      text += '%';
      ++at;
    } else if (pattern[at] == '%' && next >= '1' && next <= '9') {
      const auto index = static_cast<std::size_t>(next - '1');
      if (index < arguments.size()) text += arguments[index];
      ++at;
    } else {
      text += pattern[at];
    }
  }
  return text;
}

}  // namespace tamrisk

namespace tamrisk {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

// One code point from UTF-8 at text[i], advancing i. Surrogate code points (from a lone surrogate
// carried through) are accepted; overlong forms and code points above U+10FFFF are not.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t c = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    c = lead & 0x07;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[extra] || c > 0x10FFFF) return kReplacement;
  return c;
}

// UTF-8 of count UTF-16 units read through unitAt, up to the first NUL when stopAtNul. ASCII, by far
// the most common text in the registry, is copied without decoding.
template <typename UnitAt>
std::string Utf8OfUnits(std::size_t count, UnitAt unitAt, bool stopAtNul) {
  std::string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t c = unitAt(i);
    if (c < 0x80) {
      if (c == 0 && stopAtNul) break;
      out += static_cast<char>(c);
      continue;
    }
    const char32_t next = i + 1 < count ? unitAt(i + 1) : 0;
    if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, c);  // a lone surrogate keeps its own code point
    }
  }
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) AppendUtf16(out, NextCodePoint(utf8, i));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  return Utf8OfUnits(
      utf16.size(), [utf16](std::size_t i) { return utf16[i]; }, false);
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) units += NextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
  return units;
}

std::string TextFromUtf16Bytes(const std::vector<std::uint8_t>& data) {
  const std::uint8_t* bytes = data.data();
  return Utf8OfUnits(
      data.size() / 2, [bytes](std::size_t i) { return static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8); },
      true);
}

std::vector<std::uint8_t> Utf16BytesOf(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(units.size() * 2 + 2);
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

}  // namespace tamrisk
