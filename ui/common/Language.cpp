#include "ui/common/Language.h"

#include <array>

#include "platform/Text.h"
#include "platform/win32/Wide.h"

namespace tamrisk {
namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

constexpr std::array<UiLanguageInfo, 6> kLanguages = {{
    {kEnglish, "en", "English"},
    {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "de", "Deutsch"},
    {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), "fr",
     "Fran\xC3\xA7"
     "ais"},
    {MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN), "es", "Espa\xC3\xB1ol"},
    {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), "ja", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
    {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), "zh", "\xE4\xB8\xAD\xE6\x96\x87(\xE7\xAE\x80\xE4\xBD\x93)"},
}};

LANGID chosen = kEnglish;

// Windows' language matched by its primary language; Chinese only in its simplified script, which is
// the one the resources hold.
LANGID SupportedFor(LANGID windowsLanguage) {
  if (PRIMARYLANGID(windowsLanguage) == LANG_CHINESE) {
    const WORD sub = SUBLANGID(windowsLanguage);
    return sub == SUBLANG_CHINESE_SIMPLIFIED || sub == SUBLANG_CHINESE_SINGAPORE ? kLanguages[5].id : kEnglish;
  }
  for (const UiLanguageInfo& language : kLanguages) {
    if (PRIMARYLANGID(language.id) == PRIMARYLANGID(windowsLanguage)) return language.id;
  }
  return kEnglish;
}

// Resource types by number: the RT_ names are narrow strings unless the build is UNICODE.
enum ResourceType : WORD { kMenu = 4, kDialog = 5, kStringBlock = 6 };

// A resource's bytes; none when it is missing.
std::span<const std::byte> FindIn(ResourceType type, LPCWSTR name, LANGID language) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceExW(module, MAKEINTRESOURCEW(type), name, language);
  HGLOBAL data = found ? ::LoadResource(module, found) : nullptr;
  const void* bytes = data ? ::LockResource(data) : nullptr;
  if (!bytes) return {};
  return {static_cast<const std::byte*>(bytes), ::SizeofResource(module, found)};
}

// The resource in the window's language, else the English one.
std::span<const std::byte> UiResource(ResourceType type, LPCWSTR name) {
  const std::span<const std::byte> bytes = FindIn(type, name, chosen);
  return bytes.empty() && chosen != kEnglish ? FindIn(type, name, kEnglish) : bytes;
}

// A string table block holds 16 strings, each a length and that many UTF-16 units.
// The id's string in its block of sixteen counted strings; empty when the block is too short for it.
std::wstring_view StringOfBlock(std::span<const std::byte> bytes, UINT id) {
  const auto* at = reinterpret_cast<const wchar_t*>(bytes.data());
  const auto* end = at + bytes.size() / sizeof(wchar_t);
  for (UINT index = 0;; ++index) {
    if (at >= end) return {};
    const std::size_t length = static_cast<WORD>(*at);
    if (length > static_cast<std::size_t>(end - at - 1)) return {};
    if (index == id % 16) return {at + 1, length};
    at += 1 + length;
  }
}

std::wstring_view StringIn(LANGID language, UINT id) {
  return StringOfBlock(FindIn(kStringBlock, MAKEINTRESOURCEW(id / 16 + 1), language), id);
}

}  // namespace

std::span<const UiLanguageInfo> UiLanguages() { return kLanguages; }

LANGID ChooseUiLanguage(std::string_view code, LANGID windowsLanguage) {
  for (const UiLanguageInfo& language : kLanguages) {
    if (code == language.code) return language.id;
  }
  return SupportedFor(windowsLanguage);
}

LANGID UiLanguage() { return chosen; }

void SetUiLanguage(LANGID language) { chosen = language; }

LANGID EnglishLanguage() { return kEnglish; }

std::string TextIn(LANGID language, UINT id) {
  std::wstring_view text = StringIn(language, id);
  if (text.empty() && language != kEnglish) text = StringIn(kEnglish, id);
  return win32::Utf8(text);
}

std::string UiText(UINT id) { return TextIn(chosen, id); }

std::string ShownEngineText(UINT id, const std::string& english) {
  if (chosen == kEnglish) return english;
  const std::wstring_view text = StringIn(chosen, id);
  return text.empty() ? english : win32::Utf8(text);
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
  return FillArguments(pattern, {arguments.begin(), arguments.size()});
}

std::string UiFormat(UINT id, std::initializer_list<std::string_view> arguments) {
  return FormatText(UiText(id), arguments);
}

HMENU LoadUiMenu(UINT id) {
  const std::span<const std::byte> menu = UiResource(kMenu, MAKEINTRESOURCEW(id));
  return menu.empty() ? nullptr : ::LoadMenuIndirectW(menu.data());
}

std::span<const std::byte> UiDialogResource(UINT id) { return UiResource(kDialog, MAKEINTRESOURCEW(id)); }

}  // namespace tamrisk
