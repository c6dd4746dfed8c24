// The commands on the results list: checking by type, the enabled state of the actions, the counts
// a click refreshes, and the key handed to the registry editor for every row kind.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Registry.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// Rows 0 and 2 belong to one program, row 3 to another of the same name and row 4 to none.
std::vector<ProblemRow> MixedRows() {
  return {
      OfProgram(
          {false, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\A\\Path", "C:\\a.exe", rkValueInPath},
          "Pintail Draw", ProgramState::FolderDeleted),
      OfProgram(
          {false, ProblemId::FontsIssue, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
           "x.ttf", rkValueInColumn},
          "Fontsmith", ProgramState::Installed),
      OfProgram(
          {false, ProblemId::InvalidFileOrFolder, "HKEY_CLASSES_ROOT\\TypeLib\\{1}\\1.0\\0\\win32", "C:\\b.tlb", rkKey},
          "Pintail Draw", ProgramState::FolderDeleted),
      OfProgram({false, ProblemId::MissingStartupPrograms, "HKEY_CURRENT_USER\\Software\\Lower\\Path", "C:\\c.exe",
                 rkValueInPath},
                "Pintail Draw", ProgramState::Uninstalled),
      {false, ProblemId::InvalidFileOrFolder, "C:\\Users\\Start Menu\\Old.lnk", "C:\\old.exe", rkShortcutFile},
  };
}

std::vector<bool> Checks(TfrmHivora& form) {
  std::vector<bool> checks;
  for (std::size_t i = 0; i < form.Results().RowCount(); ++i) checks.push_back(form.Results().IsChecked(i));
  return checks;
}

// The three columns as the control shows them, and as a row holds them.
std::vector<std::string> ShownTexts(HWND list, std::size_t row) {
  std::vector<std::string> texts;
  for (int column = 0; column < 3; ++column) texts.push_back(ListItemText(list, static_cast<int>(row), column));
  return texts;
}

std::vector<std::string> TextsOf(const ProblemRow& row) {
  return {ProblemName(row.problem), row.registryKey, row.value};
}

bool MenuEnabled(HWND window, int id) {
  return (::GetMenuState(::GetMenu(window), static_cast<UINT>(id), MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

class ResultsCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    form = MakeMainWindow(memory.platform, prompt);
    // Wide enough for every key whole.
    ::MoveWindow(form->Handle(), 0, 0, 1200, 520, TRUE);
    form->Results().AppendRows(MixedRows());
  }

  std::string Selected() const { return PanelText(form->StatusBar(), 1); }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

TEST_F(ResultsCommands, SelectionByTypeOrProgramTicksExactlyItsRows) {
  HWND window = form->Handle();
  struct Step {
    const char* what;
    int select;  // row to select first, -1 for none
    int command;
    std::vector<bool> expected;
    const char* selectedPanel;
  };
  const std::vector<Step> steps = {
      {"all of one type, across scanners and kinds",
       2,
       IDM_SELECTALLTYPE,
       {true, false, true, false, true},
       " 3 problems selected for repairing"},
      {"all", 1, IDM_SELECTALL, {true, true, true, true, true}, " 5 problems selected for repairing"},
      {"none of a type leaves other texts alone",
       0,
       IDM_SELECTNONETYPE,
       {false, true, false, true, false},
       " 2 problems selected for repairing"},
      {"by type needs a selected row",
       -1,
       IDM_SELECTALLTYPE,
       {false, true, false, true, false},
       " 2 problems selected for repairing"},
      {"none", -1, IDM_SELECTNONE, {false, false, false, false, false}, " 0 problems selected for repairing"},
      {"only one program's rows, by name and state",
       2,
       IDM_TICKPROGRAM,
       {true, false, true, false, false},
       " 2 problems selected for repairing"},
      {"only a program's rows unticks all others", 1, IDM_SELECTALL, {true, true, true, true, true}, nullptr},
      {"", 1, IDM_TICKPROGRAM, {false, true, false, false, false}, " 1 problems selected for repairing"},
      {"a row of no program ticks nothing by program",
       4,
       IDM_TICKPROGRAM,
       {false, true, false, false, false},
       " 1 problems selected for repairing"},
  };
  for (const Step& step : steps) {
    form->Results().Select(step.select);
    SendCommand(window, step.command);
    EXPECT_EQ(Checks(*form), step.expected) << step.what;
    if (step.selectedPanel) {
      EXPECT_EQ(Selected(), step.selectedPanel) << step.what;
    }
    EXPECT_EQ(PanelText(form->StatusBar(), 0), " 5 problems found") << step.what;
  }
}

TEST_F(ResultsCommands, SelectAllAndNoneOnAnEmptyListOnlyRefreshCounts) {
  form->Results().Clear();
  SendCommand(form->Handle(), IDM_SELECTALL);
  EXPECT_EQ(PanelText(form->StatusBar(), 0), " 0 problems found");
  EXPECT_EQ(Selected(), " 0 problems selected for repairing");
}

TEST_F(ResultsCommands, ActionsAreEnabledBySelectionAndRowKind) {
  HWND window = form->Handle();
  struct Case {
    int select;
    bool byType;
    bool regedit;
    bool byProgram;
  };
  for (const Case& c : std::vector<Case>{
           {-1, false, false, false}, {4, true, false, false}, {0, true, true, true}, {-1, false, false, false}}) {
    form->Results().Select(c.select);
    PumpMessages();
    EXPECT_EQ(MenuEnabled(window, IDM_SELECTALLTYPE), c.byType) << "row " << c.select;
    EXPECT_EQ(MenuEnabled(window, IDM_SELECTNONETYPE), c.byType) << "row " << c.select;
    EXPECT_EQ(MenuEnabled(window, IDM_OPENREGEDIT), c.regedit) << "row " << c.select;
    EXPECT_EQ(MenuEnabled(window, IDM_TICKPROGRAM), c.byProgram) << "row " << c.select;
    EXPECT_TRUE(MenuEnabled(window, IDM_SELECTALL));
    EXPECT_TRUE(MenuEnabled(window, IDM_SELECTNONE));
  }
}

TEST_F(ResultsCommands, TheControlShowsEachRowsTextsAndCheckBox) {
  HWND list = form->Results().Handle();
  form->Results().SetChecked(2, true);
  const std::vector<ProblemRow> rows = MixedRows();
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(ShownTexts(list, i), TextsOf(rows[i])) << "row " << i;
    const auto state = static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
    EXPECT_EQ(state & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(i == 2 ? 2u : 1u)) << "row " << i;
  }

  // A row the repair or the ignore filter removes leaves the control too; the rows below move up.
  ResultsModel& model = form->Results();
  model.RemoveRow(1);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(rows.size() - 1));
  EXPECT_EQ(ListItemText(list, 1, ResultsListView::colRegistryKey), rows[2].registryKey);
  EXPECT_TRUE(model.Row(1).checked);

  LVITEMW selectedState{};
  selectedState.stateMask = LVIS_SELECTED;
  selectedState.state = LVIS_SELECTED;
  // Several at once, as the repair removes them: the rest keep their order, and the selection and
  // the focus stay with their rows. Left now: rows 0, 2, 3 and 4.
  form->Results().Select(2);
  ::SendMessageW(list, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&selectedState));
  model.RemoveRows({true, false, false});
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(ShownTexts(list, i), TextsOf(rows[i + 2])) << "row " << i;
  EXPECT_EQ(form->Results().SelectedRows(), (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 1);
  EXPECT_TRUE(model.Row(0).checked);
  // Nothing to drop (the ignore lists after most scans) leaves every row as it was.
  model.RemoveRows({false, false, false});
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(ShownTexts(list, i), TextsOf(rows[i + 2])) << "row " << i;
}

// Registry text in any language, and characters outside the BMP, show exactly as the rows hold them;
// a text longer than the control's first buffer arrives whole, its last character not split.
TEST_F(ResultsCommands, TheControlShowsTextInAnyLanguageExactly) {
  // Four units, then U+1F4C1 (two units each): a first buffer of 512 ends in the middle of one.
  std::string longValue = "C:\\a";
  for (int i = 0; i < 300; ++i) longValue += "📁";
  const std::vector<ProblemRow> rows = {
      {false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\עברית\\Ελληνικά\\日本語",
       "C:\\Δata\\תיקייה 📁\\app.exe", rkValueInPath},
      {false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Long", longValue, rkValueInColumn},
  };
  form->Results().Clear();
  form->Results().AppendRows(rows);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(ShownTexts(form->Results().Handle(), i), TextsOf(rows[i])) << "row " << i;
  }
}

TEST_F(ResultsCommands, CheckBoxesToggleByMouseAndSpaceBarAndTheCountsFollow) {
  HWND list = form->Results().Handle();
  SendCommand(form->Handle(), IDM_SELECTNONE);
  const auto rowPoint = [&](int row, bool onCheckBox) {
    RECT bounds{LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    const int y = (bounds.top + bounds.bottom) / 2;
    for (int x = bounds.left; x < bounds.left + 60; ++x) {
      LVHITTESTINFO hit{};
      hit.pt = POINT{x, y};
      ::SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      // LVHT_ONITEM holds the check box's bit as well: only that bit alone is the check box.
      const bool checkBox = (hit.flags & LVHT_ONITEM) == LVHT_ONITEMSTATEICON;
      if (checkBox == onCheckBox && hit.iItem == row) return MAKELPARAM(x, y);
    }
    ADD_FAILURE() << "no " << (onCheckBox ? "check box" : "text") << " found in row " << row;
    return MAKELPARAM(0, 0);
  };
  const auto click = [&](LPARAM at) {
    ::PostMessageW(list, WM_LBUTTONUP, 0, at);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PumpMessages();
  };

  // The space bar toggles the selected row, and the count follows at once.
  form->Results().Select(3);
  ::SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
  ::SendMessageW(list, WM_CHAR, ' ', 0);
  ::SendMessageW(list, WM_KEYUP, VK_SPACE, 0);
  PumpMessages();
  EXPECT_EQ(Checks(*form), (std::vector<bool>{false, false, false, true, false}));
  EXPECT_EQ(Selected(), " 1 problems selected for repairing");

  click(rowPoint(1, false));
  EXPECT_EQ(Checks(*form), (std::vector<bool>{false, false, false, true, false})) << "a click on a row's text";
  EXPECT_EQ(Selected(), " 1 problems selected for repairing");

  click(rowPoint(0, true));
  EXPECT_EQ(Checks(*form), (std::vector<bool>{true, false, false, true, false})) << "a press on a check box";
  EXPECT_EQ(Selected(), " 2 problems selected for repairing");
  click(rowPoint(3, true));
  EXPECT_EQ(Checks(*form), (std::vector<bool>{true, false, false, false, false}));
  EXPECT_EQ(Selected(), " 1 problems selected for repairing");
}

// The registry editor's hand-over on the real registry; the editor itself is not started.
class OpenInRegedit : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    previous = ReadLastKey();
  }
  void TearDown() override {
    win32::UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRegeditKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (previous) {
      ::RegSetValueExA(key.get(), "LastKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(previous->c_str()),
                       static_cast<DWORD>(previous->size() + 1));
    } else {
      ::RegDeleteValueA(key.get(), "LastKey");
    }
  }

  static std::optional<std::string> ReadLastKey() {
    char text[1024] = {};
    DWORD size = sizeof text;
    if (::RegGetValueA(HKEY_CURRENT_USER, kRegeditKey, "LastKey", RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::string(text);
  }

  MemoryPlatform memory;
  win32::Win32Registry registry;
  Platform platform{registry, memory.files, memory.system, memory.ini, memory.shell};
  ScriptedPrompt prompt;
  std::optional<std::string> previous;
};

TEST_F(OpenInRegedit, HandsTheEditorTheKeyThatEachRowKindNames) {
  struct Case {
    ProblemRow row;
    std::string lastKey;
  };
  const std::vector<Case> cases = {
      {{false, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\Gone", "C:\\gone.exe", rkKey},
       "HKEY_LOCAL_MACHINE\\Software\\Gone"},
      {{false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Demo\\Path", "C:\\demo.exe",
        rkValueInPath},
       "HKEY_CURRENT_USER\\Software\\Demo"},
      {{false, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\Shared", "C:\\x.dll", rkValueInColumn},
       "HKEY_LOCAL_MACHINE\\Software\\Shared"},
      {{false, ProblemId::InvalidFileOrFolder,
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "Demo", rkSubkeyInColumn},
       "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo"},
      {{false, ProblemId::InvalidFileOrFolder, "HKEY_CLASSES_ROOT\\.demo", "C:\\demo.exe", rkDefaultValue},
       "HKEY_CLASSES_ROOT\\.demo"},
      {{false, ProblemId::InvalidFileOrFolder, "HKEY_USERS", "value", rkValueInPath}, ""},
  };
  auto form = MakeMainWindow(platform, prompt);
  for (const Case& c : cases) form->Results().AppendRows({c.row});

  for (std::size_t i = 0; i < cases.size(); ++i) {
    form->Results().Select(static_cast<int>(i));
    SendCommand(form->Handle(), IDM_OPENREGEDIT);
    EXPECT_EQ(ReadLastKey(), cases[i].lastKey) << cases[i].row.registryKey;
    const std::vector<ShellOpenCall> opens = memory.shell.Opens();
    ASSERT_EQ(opens.size(), i + 1);
    EXPECT_EQ(opens.back().owner, reinterpret_cast<std::uintptr_t>(form->Handle()));
    EXPECT_EQ(opens.back().file, "C:\\Windows\\regedit.exe");
    EXPECT_EQ(opens.back().parameters, "") << "Wine's editor refuses -m";
    EXPECT_EQ(opens.back().directory, "");
    EXPECT_EQ(opens.back().show, SW_SHOW);
  }

  // A shortcut row names no key: the action is disabled and does nothing.
  form->Results().AppendRows(
      {{false, ProblemId::MissingShortcutReference, "C:\\Links\\Old.lnk", "C:\\old.exe", rkShortcutFile}});
  form->Results().Select(static_cast<int>(cases.size()));
  SendCommand(form->Handle(), IDM_OPENREGEDIT);
  EXPECT_EQ(memory.shell.Opens().size(), cases.size());
  EXPECT_EQ(ReadLastKey(), "");
  EXPECT_TRUE(prompt.calls.empty());
}

}  // namespace
}  // namespace tamrisk::test
