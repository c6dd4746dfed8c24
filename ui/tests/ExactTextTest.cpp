// Text in any language through the program's own crossings to the system that the other window tests
// do not pass: a real message box, and the command line split into arguments.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/main/CommandLine.h"
#include "ui/common/Prompt.h"
#include "ui/common/WindowText.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// The texts of a window's children, in their order.
std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<std::string>*>(data)->push_back(TextOf(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

TEST(ExactText, MessageBoxShowsTextAndCaptionInAnyLanguage) {
  InitControls();
  HiddenOwner owner;
  const std::string caption = "Varkon Tamrisk — 日本語";
  const std::string text = "C:\\Δata\\גיבוי\\Кириллица 😀.reg,The backup directory does not exist.";
  std::string shownCaption;
  std::vector<std::string> shown;
  bool seen = false;
  ThreadTicker look([&] {
    HWND box = FindThreadWindowWhere([&](HWND window) { return ::GetWindow(window, GW_OWNER) == owner.get(); });
    if (!box || seen) return;
    seen = true;
    shownCaption = TextOf(box);
    shown = ChildTexts(box);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  Win32Prompt prompt;
  EXPECT_EQ(prompt.Message(owner.get(), text, caption, MB_OK | MB_ICONERROR), IDOK);
  ASSERT_TRUE(seen) << "no message box came up";
  EXPECT_EQ(shownCaption, caption);
  EXPECT_NE(std::find(shown.begin(), shown.end(), text), shown.end()) << "the box shows no such text";
}

TEST(ExactText, CommandLineArgumentsArriveAsUtf8) {
  struct Case {
    const wchar_t* commandLine;
    std::vector<std::string> arguments;
  };
  const std::vector<Case> cases = {
      {L"Tamrisk.exe -REPORT \"C:\\Δata\\отчёт 報告 😀.csv\"", {"-REPORT", "C:\\Δata\\отчёт 報告 😀.csv"}},
      {L"\"C:\\Program Files\\Tamrisk\\Tamrisk.exe\" -cleanonce /quiet", {"-cleanonce", "/quiet"}},
      {L"Tamrisk.exe", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ArgumentsOf(c.commandLine), c.arguments) << c.arguments.size();
}

}  // namespace
}  // namespace tamrisk::test
