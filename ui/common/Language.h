// The language the window speaks. Every text it shows comes from the resources of that language,
// looked up by language explicitly (the loader's own choice differs between systems), with English
// where a language lacks a resource. Reports, saved results and the log stay English: they are
// written by the engine, never from these resources.
#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tamrisk {

struct UiLanguageInfo {
  LANGID id;
  // The options.ini value that chooses it.
  const char* code;
  // Its own name for itself, as the Language list shows it.
  const char* name;
};

// The languages the resources hold, English first.
std::span<const UiLanguageInfo> UiLanguages();

// The language for a stored choice: the chosen code when it is one of UiLanguages(), else the
// language of the user's Windows, else English.
LANGID ChooseUiLanguage(std::string_view code, LANGID windowsLanguage);

// The language the window speaks; English until SetUiLanguage.
LANGID UiLanguage();
void SetUiLanguage(LANGID language);

LANGID EnglishLanguage();

// A string of the string table in the window's language, or in a language given (English where
// that language lacks it).
std::string UiText(UINT id);
std::string TextIn(LANGID language, UINT id);
// A text the engine writes in English (into rows, reports and the log) as the window shows it: its
// translation under id, or the English itself.
std::string ShownEngineText(UINT id, const std::string& english);
// UiText with %1 to %9 replaced by the arguments in order; "%%" stays a single "%".
std::string UiFormat(UINT id, std::initializer_list<std::string_view> arguments);
// The same for a text already loaded.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> arguments);

// A menu or dialog template of the window's language (the caller owns the menu); no bytes when
// there is no such template.
HMENU LoadUiMenu(UINT id);
std::span<const std::byte> UiDialogResource(UINT id);

}  // namespace tamrisk
