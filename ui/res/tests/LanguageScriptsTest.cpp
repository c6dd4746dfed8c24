// Each language's resource script against the English one. A text id missing from a language shows
// English there, an extra one is a typo of an id, and a translation that drops or repeats an
// argument (%1, %2, ...) says something other than the English.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

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
  for (int code = TNodeChecks::First; code <= TNodeChecks::Last; ++code) {
    const std::string name = TScanTaskThread::CategoryName(code);
    if (name == "Category " + std::to_string(code)) continue;  // a group
    texts["IDS_CATEGORY_FIRST+" + std::to_string(code)] = name;
    const std::string caption = TScanTaskThread::CategoryCaption(code);
    if (!caption.empty()) texts["IDS_CAPTION_FIRST+" + std::to_string(code)] = caption;
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

}  // namespace
}  // namespace tamrisk::test
