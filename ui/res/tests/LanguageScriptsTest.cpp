// Each language's resource script against the English one. A text id missing from a language shows
// English there, an extra one is a typo of an id, and a translation that drops or repeats an
// argument (%1, %2, ...) says something other than the English. Each translated text was made from
// the English of today, as its language's record (LANG.made-from.txt) says. Every menu item has an
// access key of its own in its menu, in every language.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "scan/Phrase.h"
#include "scan/ProblemNames.h"
#include "scan/ScanTask.h"
#include "settings/RegGlobal.h"

namespace tamrisk::test {
namespace {

namespace fs = std::filesystem;

// Its string table entries and T_ texts, by id.
std::map<std::string, std::string> TextsOf(const fs::path& script) {
  static const std::regex entry(R"re(^  (IDS_\S+) "(.*)"$|^#define (T_\w+) "(.*)"$)re");
  std::map<std::string, std::string> texts;
  std::ifstream in(script);
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (!std::regex_match(line, match, entry)) continue;
    const bool isString = match[1].matched;
    texts[isString ? match[1].str() : match[3].str()] = isString ? match[2].str() : match[4].str();
  }
  return texts;
}

std::multiset<std::string> ArgumentsOf(const std::string& text) {
  static const std::regex argument("%[1-9]");
  std::multiset<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), argument); it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

// The engine's English texts the other languages translate, by id: category names, scan captions,
// problem names, reasons, what the repair says and an options.ini that cannot be written.
std::map<std::string, std::string> EngineTexts() {
  std::map<std::string, std::string> texts;
  for (const CategoryRow& row : CategoryTable()) {
    if (IsGroup(row.code)) continue;
    const std::string code = std::to_string(NumberOf(row.code));
    texts["IDS_CATEGORY_FIRST+" + code] = row.name;
    if (row.caption != nullptr) texts["IDS_CAPTION_FIRST+" + code] = row.caption;
  }
  for (std::size_t number = 0; number < kProblemNames.size(); ++number) {
    texts["IDS_PROBLEM_FIRST+" + std::to_string(number)] = kProblemNames[number];
  }
  for (const TextPattern& pattern : TextPatterns()) {
    const TextPlace place = PlaceOf(pattern.id);
    const std::string index = std::to_string(place.index);
    if (place.family == TextFamily::Reason) texts["IDS_REASON_FIRST+" + index] = pattern.english;
    if (place.family == TextFamily::Repair) texts["IDS_REPAIR_TEXT_FIRST+" + index] = pattern.english;
    if (place.family == TextFamily::Program) texts["IDS_PROGRAM_TEXT_FIRST+" + index] = pattern.english;
    // The window says an unreadable options.ini in its own English, which en.rc holds.
    if (pattern.id == TextId::SettingsNotWritten) texts["IDS_SETTINGS_NOT_WRITTEN"] = pattern.english;
  }
  return texts;
}

// A text as it stands between the quotes of a resource script, where a translator compares it.
std::string ScriptLiteralOf(const std::string& text) {
  static const std::map<char, std::string> escapes = {
      {'"', "\"\""}, {'\\', "\\\\"}, {'\r', "\\r"}, {'\n', "\\n"}, {'\t', "\\t"}};
  std::string literal;
  for (const char c : text) {
    const auto escape = escapes.find(c);
    literal += escape == escapes.end() ? std::string(1, c) : escape->second;
  }
  return literal;
}

// Every English text another language translates, by id, as a resource script writes it.
std::map<std::string, std::string> EnglishTexts() {
  std::map<std::string, std::string> english = TextsOf(fs::path(TAMRISK_LANGUAGE_DIR) / "en.rc");
  for (const auto& [id, text] : EngineTexts()) english.emplace(id, ScriptLiteralOf(text));
  return english;
}

const std::set<std::string> kTranslations = {"de", "es", "fr", "ja", "zh"};

TEST(LanguageScripts, EveryLanguageHasEveryTextOfTheEnglishWithItsArguments) {
  const fs::path folder = TAMRISK_LANGUAGE_DIR;
  const std::map<std::string, std::string> english = EnglishTexts();
  ASSERT_GT(english.size(), 100u) << "the English script was not read";
  std::set<std::string> languages;
  for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
    if (file.path().extension() != ".rc" || file.path().stem() == "en") continue;
    const std::string language = file.path().stem().string();
    languages.insert(language);
    std::map<std::string, std::string> texts = TextsOf(file.path());
    for (const auto& [id, text] : english) {
      const auto found = texts.find(id);
      if (found == texts.end()) {
        ADD_FAILURE() << language << " lacks " << id;
        continue;
      }
      EXPECT_EQ(ArgumentsOf(found->second), ArgumentsOf(text)) << language << " " << id << ": " << found->second;
      texts.erase(found);
    }
    for (const auto& [id, text] : texts) ADD_FAILURE() << language << " has " << id << ", which English lacks";
  }
  EXPECT_EQ(languages, kTranslations);
}

// A language's record of the English its texts were made from: lines of an id, a tab and the
// English in quotes; "#" starts a comment.
std::map<std::string, std::string> MadeFromOf(const fs::path& record) {
  static const std::regex entry("^(\\S+)\t\"(.*)\"$");
  std::map<std::string, std::string> madeFrom;
  std::ifstream in(record);
  std::string line;
  std::smatch match;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line.front() == '#') continue;
    if (std::regex_match(line, match, entry)) {
      madeFrom[match[1].str()] = match[2].str();
    } else {
      ADD_FAILURE() << record.filename().string() << " line " << number << " is no id, tab and \"English\": " << line;
    }
  }
  return madeFrom;
}

// scripts/translations-made-from takes the current English from here: the engine's texts exist only
// in the program.
void WriteEnglishWhenAsked(const std::map<std::string, std::string>& english) {
  const char* path = std::getenv("TAMRISK_WRITE_ENGLISH_TO");
  if (path == nullptr) return;
  std::ofstream out(path, std::ios::binary);
  for (const auto& [id, text] : english) out << id << "\t\"" << text << "\"\n";
  ASSERT_TRUE(out.flush()) << "cannot write " << path;
}

// A changed English text fails here until its translations have been looked at again.
TEST(LanguageScripts, EveryTranslationWasMadeFromTheCurrentEnglish) {
  const fs::path folder = TAMRISK_LANGUAGE_DIR;
  const std::map<std::string, std::string> english = EnglishTexts();
  WriteEnglishWhenAsked(english);
  for (const std::string& language : kTranslations) {
    const std::string record = language + ".made-from.txt";
    const std::string update = "\nthen record it: scripts/translations-made-from " + language + " ";
    if (!fs::exists(folder / record)) {
      ADD_FAILURE() << language << " has no " << record << ": check its translations against the English," << update;
      continue;
    }
    std::map<std::string, std::string> madeFrom = MadeFromOf(folder / record);
    for (const auto& [id, translation] : TextsOf(folder / (language + ".rc"))) {
      const auto current = english.find(id);
      if (current == english.end()) continue;  // a text English lacks fails above
      const auto recorded = madeFrom.find(id);
      if (recorded == madeFrom.end()) {
        ADD_FAILURE() << language << " " << id << " has no record of the English it was made from in " << record
                      << ".\nCheck \"" << translation << "\" against the English \"" << current->second << "\","
                      << update << id;
        continue;
      }
      if (recorded->second != current->second) {
        ADD_FAILURE() << language << " " << id << ": the English changed since it was translated.\n  made from: \""
                      << recorded->second << "\"\n  now:       \"" << current->second << "\"\nLook at \"" << translation
                      << "\" in " << language << ".rc and mend it if the meaning changed," << update << id;
      }
      madeFrom.erase(recorded);
    }
    for (const auto& [id, text] : madeFrom) {
      ADD_FAILURE() << record << " records " << id << ", which " << language << ".rc does not translate: delete it.";
    }
  }
}

// The menus of a resource script, each as the T_ names of its items in order: the menu bar of a
// MENU resource, then each of its pop-ups.
std::vector<std::vector<std::string>> MenusOf(const fs::path& script) {
  static const std::regex item(R"re(^\s*(POPUP|MENUITEM) (T_\w+).*$)re");
  std::vector<std::vector<std::string>> menus;
  std::vector<std::size_t> open;  // the menus whose BEGIN has not yet met its END
  std::string pendingPopup;
  std::ifstream in(script);
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    const std::string trimmed = std::regex_replace(line, std::regex(R"(^\s+|\s+$)"), "");
    if (std::regex_match(line, std::regex(R"(^\w+ MENU$)"))) pendingPopup = "bar";
    if (trimmed == "BEGIN" && !pendingPopup.empty()) {
      open.push_back(menus.size());
      menus.emplace_back();
      pendingPopup.clear();
    } else if (trimmed == "END" && !open.empty()) {
      open.pop_back();
    } else if (std::regex_match(line, match, item) && !open.empty()) {
      menus[open.back()].push_back(match[2].str());
      if (match[1] == "POPUP") pendingPopup = match[2].str();
    } else if (trimmed.rfind("POPUP \"\"", 0) == 0) {
      pendingPopup = "pop-up";
    }
  }
  return menus;
}

// The access key of a menu text, upper-cased: the character after its one "&" (a "&&" is a
// plain "&"); 0 when it has none. Japanese and Chinese texts end in "(&X)".
char AccessKeyOf(const std::string& text) {
  char key = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    key = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
  }
  return key;
}

TEST(LanguageScripts, EveryMenuItemHasAnAccessKeyOfItsOwnInItsMenu) {
  const fs::path folder = TAMRISK_LANGUAGE_DIR;
  const std::vector<std::vector<std::string>> menus = MenusOf(folder.parent_path() / "Main.rc");
  ASSERT_GE(menus.size(), 6u) << "the menu bar, its four pop-ups and the list's pop-up";
  ASSERT_EQ(menus.front().size(), 4u) << "the menu bar";
  for (const char* language : {"en", "de", "fr", "es", "ja", "zh"}) {
    const std::map<std::string, std::string> texts = TextsOf(folder / (std::string(language) + ".rc"));
    for (const std::vector<std::string>& menu : menus) {
      std::map<char, std::string> taken;
      for (const std::string& id : menu) {
        const std::string& text = texts.at(id);
        const char key = AccessKeyOf(text);
        // Letters and digits only: a multibyte character after "&" is no key a keyboard gives.
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(key))) << language << " " << id << ": " << text;
        if (key == 0) continue;
        const auto [other, fresh] = taken.emplace(key, text);
        EXPECT_TRUE(fresh) << language << ": \"" << text << "\" and \"" << other->second << "\" share " << key;
      }
    }
  }
}

}  // namespace
}  // namespace tamrisk::test
