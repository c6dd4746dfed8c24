// Each language's resource script against the English one. A text id missing from a language shows
// English there, an extra one is a typo of an id, and a translation that drops or repeats an
// argument (%1, %2, ...) says something other than the English. Every menu item has an access key of
// its own in its menu, in every language.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "repair/RepairTexts.h"
#include "scan/ProblemNames.h"
#include "scan/Reasons.h"
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
  for (const reason::Pattern& pattern : reason::Patterns()) {
    texts["IDS_REASON_FIRST+" + std::to_string(pattern.id)] = pattern.english;
  }
  for (const RepairTextPattern& pattern : RepairTextPatterns()) {
    texts["IDS_REPAIR_TEXT_FIRST+" + std::to_string(static_cast<int>(pattern.id))] = pattern.english;
  }
  texts["IDS_SETTINGS_NOT_WRITTEN"] = std::string(SettingsWriteError::kPattern);
  return texts;
}

TEST(LanguageScripts, EveryLanguageHasEveryTextOfTheEnglishWithItsArguments) {
  const fs::path folder = TAMRISK_LANGUAGE_DIR;
  std::map<std::string, std::string> english = TextsOf(folder / "en.rc");
  ASSERT_GT(english.size(), 100u) << "the English script was not read";
  english.merge(EngineTexts());
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
  EXPECT_EQ(languages, (std::set<std::string>{"de", "es", "fr", "ja", "zh"}));
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
