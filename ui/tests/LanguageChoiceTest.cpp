// Which language the window speaks, and that its texts, menus and the Options choice follow it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Wide.h"
#include "ui/common/Language.h"
#include "ui/common/UiHandles.h"
#include "ui/common/ShownTexts.h"
#include "ui/res/options_ids.h"
#include "ui/res/resource.h"
#include "ui/res/strings_ids.h"
#include "ui/tests/OptionsDialogScript.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST(LanguageChoice, StoredChoiceOverridesWindowsLanguageWhichFallsBackToEnglish) {
  struct Case {
    const char* stored;
    LANGID windows;
    LANGID expected;
  };
  const std::vector<Case> cases = {
      {"", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), kGerman},
      {"", MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH_CANADIAN), MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)},
      {"", MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MEXICAN), MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN)},
      {"", MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)},
      {"", MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SINGAPORE), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)},
      // Traditional Chinese readers are not given the simplified script.
      {"", MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), kEnglish},
      {"", MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN), kEnglish},
      {"de", MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), kGerman},
      {"en", kGerman, kEnglish},
      {"xx", kGerman, kGerman},  // a hand-edited value that names no language
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseUiLanguage(c.stored, c.windows), c.expected) << "'" << c.stored << "' " << c.windows;
  }
}

TEST(LanguageChoice, TextsAndMenusComeFromTheChosenLanguage) {
  const Speaking german(kGerman);
  EXPECT_EQ(UiText(IDS_TASKS), "Aufgaben");
  EXPECT_EQ(TextIn(kEnglish, IDS_TASKS), "Tasks");
  EXPECT_EQ(UiFormat(IDS_PROBLEMS_FOUND, {"7"}), "Gefundene Probleme: 7");
  // The engine's English where a translation is missing, and always under English.
  EXPECT_EQ(ShownEngineText(IDS_CATEGORY_FIRST + 10, "Startup Programs"), "Autostartprogramme");
  EXPECT_EQ(ShownEngineText(IDS_CATEGORY_FIRST + 99, "No such"), "No such");
  // A row's problem and reason as the list and the pane show them, phrases within phrases worded too.
  EXPECT_EQ(ShownProblem(ProblemId::InvalidFileOrFolder), "Ung\xC3\xBCltige Datei/Ordner");
  EXPECT_EQ(ShownPhrase(Phrase{TextId::FileNotFound, {std::string("C:\\Gone\\a.exe")}}),
            "Datei nicht gefunden: C:\\Gone\\a.exe");
  EXPECT_EQ(ShownPhrase(Phrase{TextId::Kept, {Phrase{TextId::KeptNeedsAdministrator, {}}}}),
            "behalten: erfordert Administratorrechte");
  EXPECT_EQ(ShownPhrase(Verbatim("kept: no such why; count is 0")), "kept: no such why; count is 0");
  {
    const Speaking english(kEnglish);
    EXPECT_EQ(ShownEngineText(IDS_CATEGORY_FIRST + 10, "Startup Programs"), "Startup Programs");
  }
  const UniqueMenu menu(LoadUiMenu(IDR_MAINMENU));
  ASSERT_TRUE(menu);
  wchar_t title[64] = {};
  ::GetMenuStringW(menu.get(), 0, title, static_cast<int>(std::size(title)), MF_BYPOSITION);
  EXPECT_EQ(win32::Utf8(title), "&Datei");
}

// The engine's error for an options.ini that cannot be written, in the window's language.
TEST(LanguageChoice, ASettingsFileThatCannotBeWrittenIsReportedInTheWindowsLanguage) {
  const Speaking german(kGerman);
  MemoryPlatform memory;
  const std::string settings = memory.platform.system.ExecutableFolder() + "options.ini";
  ScriptedPrompt prompt;
  auto form = MakeMainWindow(memory.platform, prompt);
  memory.files.AddFolder(settings);  // where the file would be written
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text, "Schreiben in " + settings + " nicht m\xC3\xB6glich");
}

TEST_F(OptionsDialog, LanguageChoiceIsStoredByItsCodeAndShownAgain) {
  const auto choose = [](int index) {
    return [index](HWND dialog) {
      ::SendMessageW(::GetDlgItem(dialog, IDC_OPT_LANGUAGE), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    };
  };
  // Entry 0 follows Windows; the languages follow in their order, Japanese fifth.
  DialogScript pickJapanese;
  pickJapanese.Then(kOptionsCaption, choose(5));
  ASSERT_EQ(Open(pickJapanese), IDOK);
  EXPECT_EQ(options.Language, "ja");

  int shown = -1;
  DialogScript look;
  look.Then(kOptionsCaption, [&](HWND dialog) {
    shown = static_cast<int>(::SendMessageW(::GetDlgItem(dialog, IDC_OPT_LANGUAGE), CB_GETCURSEL, 0, 0));
    choose(0)(dialog);
  });
  ASSERT_EQ(Open(look), IDOK);
  EXPECT_EQ(shown, 5);
  EXPECT_EQ(options.Language, "") << "back to the language of Windows";
}

}  // namespace
}  // namespace tamrisk::test
