// What the results list adds for reading many rows: sorting by a header click, the keys (Space on a
// multi-selection, Ctrl+A, Delete, Enter), the find box, and a row's reason as its tip and in the
// status bar.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Wide.h"
#include "testkit/ScanHarness.h"
#include "ui/common/WindowText.h"
#include "scan/Reasons.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// Texts that only a case-insensitive order with numbers by value puts right; one row of no program.
std::vector<ProblemRow> SortRows() {
  return {
      OfProgram(
          Ticked(Row(ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\App10\\Path", "C:\\b.exe", rkValueInPath)),
          "Pintail Draw", ProgramState::FolderDeleted),
      Row(ProblemId::AddRemoveProgramsIssue, "HKEY_CURRENT_USER\\app9\\Path", "C:\\A.exe", rkValueInPath),
      OfProgram(Ticked(Row(ProblemId::FontsIssue, "HKEY_CURRENT_USER\\App100\\Path", "C:\\c10.exe", rkValueInPath)),
                "acme Tools", ProgramState::Installed),
      OfProgram(Row(ProblemId::AddRemoveProgramsIssue, "HKEY_CURRENT_USER\\App9x\\Path", "C:\\c9.exe", rkValueInPath),
                "Pintail Draw", ProgramState::Uninstalled),
  };
}
// The Program column of SortRows, as the list shows it in English.
const std::vector<std::string> kSortRowPrograms = {"Pintail Draw (folder deleted)", "", "acme Tools (installed)",
                                                   "Pintail Draw (uninstalled)"};

void Key(HWND window, WPARAM key) {
  ::SendMessageW(window, WM_KEYDOWN, key, 0);
  ::SendMessageW(window, WM_KEYUP, key, 0);
}

void SetRowSelected(HWND list, int row, UINT state) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

class ResultsList : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    form = MakeMainWindow(memory.platform, prompt);
  }

  ResultsListView& Results() { return form->Results(); }
  HWND List() { return form->Results().Handle(); }

  // The Registry key column as the control shows it, top to bottom.
  std::vector<std::string> ShownKeys() {
    std::vector<std::string> keys;
    for (int i = 0; i < ListItemCount(List()); ++i)
      keys.push_back(ListItemText(List(), i, ResultsListView::colRegistryKey));
    return keys;
  }
  std::vector<std::string> SelectedKeys() {
    std::vector<std::string> keys;
    for (std::size_t i : Results().SelectedRows()) keys.push_back(Results().Row(i).registryKey);
    return keys;
  }

  // A click on a column's header, as the mouse makes it.
  void ClickHeader(int column) {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(List(), LVM_GETHEADER, 0, 0));
    RECT place{};
    ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&place));
    // Near the left edge: the list is narrower than its columns, so the last one is not all in view.
    const LPARAM at = MAKELPARAM(place.left + 20, (place.top + place.bottom) / 2);
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(header, WM_LBUTTONUP, 0, at);
    PumpMessages();
  }
  // The sort arrow of each column's header: 1 up, -1 down, 0 none.
  std::vector<int> Arrows() {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(List(), LVM_GETHEADER, 0, 0));
    std::vector<int> arrows;
    for (int column = 0; column <= ResultsListView::colProgram; ++column) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
      arrows.push_back((item.fmt & HDF_SORTUP) ? 1 : (item.fmt & HDF_SORTDOWN) ? -1 : 0);
    }
    return arrows;
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

TEST_F(ResultsList, AHeaderClickSortsAndASecondReversesWithTicksAndSelectionFollowingTheRows) {
  // Wide enough for every key whole.
  ::MoveWindow(form->Handle(), 0, 0, 1200, 520, TRUE);
  const std::vector<ProblemRow> rows = SortRows();
  Results().AppendRows(rows);
  SetRowSelected(List(), 2, LVIS_SELECTED | LVIS_FOCUSED);
  SetRowSelected(List(), 3, LVIS_SELECTED);
  const auto keys = [&](std::vector<int> order) {
    std::vector<std::string> texts;
    for (int i : order) texts.push_back(rows[static_cast<std::size_t>(i)].registryKey);
    return texts;
  };
  struct Step {
    int column;
    std::vector<int> order;  // indexes into rows, top to bottom
    int arrow;
  };
  const std::vector<Step> steps = {
      {ResultsListView::colProblem, {1, 3, 2, 0}, 1},
      {ResultsListView::colProblem, {0, 2, 1, 3}, -1},
      {ResultsListView::colRegistryKey, {1, 3, 0, 2}, 1},
      {ResultsListView::colRegistryKey, {2, 0, 3, 1}, -1},
      {ResultsListView::colValue, {1, 0, 3, 2}, 1},
      {ResultsListView::colValue, {2, 3, 0, 1}, -1},
      // The rows of no program last, upwards.
      {ResultsListView::colProgram, {2, 0, 3, 1}, 1},
      {ResultsListView::colProgram, {1, 3, 0, 2}, -1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "column " << step.column << " arrow " << step.arrow);
    ClickHeader(step.column);
    EXPECT_EQ(ShownKeys(), keys(step.order));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto from = static_cast<std::size_t>(step.order[i]);
      EXPECT_EQ(Results().IsChecked(i), rows[from].checked) << "row " << i;
      EXPECT_EQ(ListItemText(List(), static_cast<int>(i), ResultsListView::colProgram), kSortRowPrograms[from]);
    }
    std::vector<int> arrows(4, 0);
    arrows[static_cast<std::size_t>(step.column)] = step.arrow;
    EXPECT_EQ(Arrows(), arrows);
    std::vector<std::string> selected = SelectedKeys();
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, keys({2, 3}));
    EXPECT_EQ(Results().Row(static_cast<std::size_t>(Results().SelectedIndex())).registryKey, rows[2].registryKey)
        << "the focused row stays the one the commands act on";
  }

  // A new scan's rows come in the order found, with no arrow.
  Results().Clear();
  Results().AppendRows(rows);
  EXPECT_EQ(ShownKeys(), keys({0, 1, 2, 3}));
  EXPECT_EQ(Arrows(), (std::vector<int>{0, 0, 0, 0}));
}

// The rows keep the English problem names and program states; the list shows them, and a header click
// sorts them, as the window's language words them.
TEST_F(ResultsList, ProblemsAndProgramsReadAndSortInTheWindowsLanguage) {
  const Speaking german(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  ::MoveWindow(form->Handle(), 0, 0, 1200, 520, TRUE);
  // English order: Invalid, Missing, Windows; German: Fehlende, Ungueltige, Windows-Dienst.
  Results().AppendRows({Ticked(Row(ProblemId::WindowsServiceIssue, "HKEY_CURRENT_USER\\C", "", rkValueInPath)),
                        Ticked(Row(ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\A", "", rkValueInPath)),
                        OfProgram(Row(ProblemId::MissingSharedDlls, "HKEY_CURRENT_USER\\B", "", rkValueInPath),
                                  "Pintail Draw", ProgramState::FolderDeleted)});
  ClickHeader(ResultsListView::colProblem);
  EXPECT_EQ(ShownKeys(),
            (std::vector<std::string>{"HKEY_CURRENT_USER\\B", "HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\C"}));
  EXPECT_EQ(ListItemText(List(), 0, ResultsListView::colProgram), "Pintail Draw (Ordner gelöscht)");
}

// A press where the mouse puts it: on a row's text in each column, beside the texts, and on a check
// box. Only the check box changes a tick; anywhere else the press selects the row and shows its reason.
TEST(ResultsListClicks, AClickOnARowsTextSelectsItAndOnlyItsCheckBoxTicks) {
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    MainWindowAtDpi at(dpi);
    auto& form = at.form;
    ResultsListView& results = form->Results();
    HWND list = results.Handle();
    std::vector<ProblemRow> rows;
    for (int i = 0; i < 6; ++i) {
      const std::string n = std::to_string(i);
      const std::string key = "HKEY_CURRENT_USER\\Soft\\App" + n, value = "C:\\" + n + ".exe";
      rows.push_back(Ticked(Row(ProblemId::InvalidFileOrFolder, key, value, rkValueInPath, reason::FileNotFound(value)),
                            i % 2 == 0));
    }
    results.AppendRows(rows);
    const auto ticks = [&] {
      std::vector<bool> states;
      for (std::size_t i = 0; i < results.RowCount(); ++i) states.push_back(results.IsChecked(i));
      return states;
    };
    const auto click = [&](POINT at) {
      const LPARAM place = MAKELPARAM(at.x, at.y);
      ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, place);
      ::SendMessageW(list, WM_LBUTTONUP, 0, place);
      PumpMessages();
    };
    // On a cell's text: a few pixels into its column.
    const auto cell = [&](int row, int column) {
      RECT box{};
      box.top = column;
      box.left = LVIR_LABEL;
      ::SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&box));
      return POINT{box.left + 10, (box.top + box.bottom) / 2};
    };
    const std::vector<bool> before = ticks();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
      for (const int column : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
        click(cell(row, column));
        EXPECT_EQ(ticks(), before);
        EXPECT_EQ(results.SelectedIndex(), row);
        EXPECT_EQ(TextOf(form->ReasonPane()), Worded(rows[static_cast<std::size_t>(row)].reason));
      }
    }
    // The check box: left of the row's icon, as wide as the state images.
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    int boxWidth = 0, boxHeight = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(images, &boxWidth, &boxHeight));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
      SCOPED_TRACE(testing::Message() << "check box of row " << row);
      RECT icon{};
      icon.left = LVIR_ICON;
      ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&icon));
      std::vector<bool> expected = ticks();
      expected[static_cast<std::size_t>(row)] = !expected[static_cast<std::size_t>(row)];
      click(POINT{icon.left - boxWidth / 2, (icon.top + icon.bottom) / 2});
      EXPECT_EQ(ticks(), expected);
    }
  }
}

TEST_F(ResultsList, KeysTickTheSelectedRowsSelectAllAndOpenTheEditorButDeleteNothing) {
  Results().AppendRows(SortRows());
  const auto checks = [&] {
    std::vector<bool> states;
    for (std::size_t i = 0; i < Results().RowCount(); ++i) states.push_back(Results().IsChecked(i));
    return states;
  };
  SendCommand(form->Handle(), IDM_SELECTALL);

  // Space gives every selected row the opposite of the focused row's tick; other rows keep theirs.
  SetRowSelected(List(), 0, LVIS_SELECTED);
  SetRowSelected(List(), 2, LVIS_SELECTED | LVIS_FOCUSED);
  Results().SetChecked(2, false);
  Key(List(), VK_SPACE);
  EXPECT_EQ(checks(), (std::vector<bool>{true, true, true, true}));
  Key(List(), VK_SPACE);
  EXPECT_EQ(checks(), (std::vector<bool>{false, true, false, true}));

  // Ctrl+A selects every row; the ticks stay.
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  Key(List(), 'A');
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  EXPECT_EQ(::SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0), 4);
  EXPECT_EQ(checks(), (std::vector<bool>{false, true, false, true}));
  // Then Space ticks them all alike, by the focused row, and the count follows.
  Key(List(), VK_SPACE);
  EXPECT_EQ(checks(), (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " 4 problems selected for repairing");
  Key(List(), VK_SPACE);
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " 0 problems selected for repairing");

  // Delete removes, repairs and asks nothing.
  Key(List(), VK_DELETE);
  PumpMessages();
  EXPECT_EQ(Results().Rows().size(), 4u);
  EXPECT_TRUE(prompt.calls.empty());
  EXPECT_TRUE(memory.files.ListFolder(memory.system.ExecutableFolder() + "Backup\\*.reg").empty());

  // Enter opens the registry editor at the row the commands act on.
  Results().Select(1);
  Key(List(), VK_RETURN);
  ASSERT_EQ(memory.shell.Opens().size(), 1u);
  EXPECT_EQ(memory.shell.Opens()[0].parameters, "");
  RegistryAccess registry(memory.registry);
  ASSERT_TRUE(registry.OpenPath(kRegeditKey, false));
  EXPECT_EQ(registry.ReadText("LastKey"), "HKEY_CURRENT_USER\\app9");
}

TEST_F(ResultsList, FindSearchesTheColumnsAndTheReasonAndWrapsRound) {
  Results().AppendRows({
      {true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\One\\Path", "C:\\Gone\\one.exe", rkValueInPath,
       reason::FileNotFound("C:\\Gone\\one.exe")},
      {true, ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Two", "", rkValueInPath, reason::NoValuesBelow()},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Three\\Path", "C:\\Gone\\three.exe", rkValueInPath,
       Verbatim("file not found")},
  });
  SendCommand(form->Handle(), IDM_SELECTALL);
  Results().Select(0);
  SendCommand(form->Handle(), IDM_FIND);
  HWND box = FindThreadWindow("Find");
  ASSERT_NE(box, nullptr);
  const auto findNext = [&](const char* text) {
    SetText(::GetDlgItem(box, edt1), text);
    ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    PumpMessages();
    return Results().SelectedIndex();
  };
  EXPECT_EQ(findNext("NO VALUES"), 1) << "a reason's text";
  EXPECT_EQ(findNext("gone"), 2) << "the next match below";
  EXPECT_EQ(findNext("gone"), 0) << "round past the last row";
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " 3 problems selected for repairing");
  EXPECT_EQ(TextOf(form->ReasonPane()), "file not found: C:\\Gone\\one.exe") << "the selected row's reason";
  EXPECT_TRUE(prompt.calls.empty());
  findNext("nowhere");
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text, "Cannot find \"nowhere\".");
  EXPECT_EQ(Results().SelectedIndex(), 0);

  // Closed, the box leaves its search to F3, which reaches the window through the message loop.
  findNext("invalid");
  ::SendMessageW(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
  PumpMessages();
  EXPECT_EQ(FindThreadWindow("Find"), nullptr);
  MSG f3{List(), WM_KEYDOWN, VK_F3, 0, 0, {}};
  EXPECT_TRUE(form->PreTranslateMessage(f3));
  EXPECT_EQ(Results().SelectedIndex(), 0);

  // In another language a reason is found as the pane shows it, not as the row keeps it.
  const Speaking german(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  Results().Select(1);
  SendCommand(form->Handle(), IDM_FIND);
  box = FindThreadWindow("Find");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(findNext("datei nicht gefunden"), 0);
}

TEST_F(ResultsList, ARowsTipHoldsItsWholeKeyValueProgramAndReason) {
  Results().AppendRows({OfProgram(Row(ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\A\\Path", "C:\\a.exe",
                                      rkValueInPath, reason::FileNotFound("C:\\a.exe")),
                                  "Pintail Draw", ProgramState::Uninstalled),
                        Ticked(Row(ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\B", "", rkValueInPath))});
  const auto tip = [&](int row) {
    wchar_t text[INFOTIPSIZE] = L"Invalid File";
    NMLVGETINFOTIPW request{};
    request.hdr = NMHDR{List(), IDC_REGISTRYDATA, LVN_GETINFOTIPW};
    request.pszText = text;
    request.cchTextMax = INFOTIPSIZE;
    request.iItem = row;
    ::SendMessageW(form->Handle(), WM_NOTIFY, IDC_REGISTRYDATA, reinterpret_cast<LPARAM>(&request));
    return win32::Utf8(text);
  };
  EXPECT_EQ(tip(0),
            "HKEY_CURRENT_USER\\A\\Path\r\nC:\\a.exe\r\nPintail Draw (uninstalled)\r\nfile not found: C:\\a.exe");
  EXPECT_EQ(tip(1), "HKEY_CURRENT_USER\\B") << "no value, no program, no reason, no empty lines";
}

// Grouped by program: a heading over each program's rows with its count, the rows of no program
// last; a heading's check box ticks its rows, the commands act on the rows under the headings, and
// the choice comes back when the window opens again.
TEST(ResultsByProgram, HeadingsCountTickAndTheChoiceIsKept) {
  const auto Select = [](HWND list, int line) {
    SetRowSelected(list, -1, 0);
    SetRowSelected(list, line, LVIS_SELECTED | LVIS_FOCUSED);
  };
  struct Case {
    LANGID language;
    std::vector<std::string> headings;  // top to bottom
  };
  const std::vector<Case> cases = {
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
       {"1 entries: acme Tools (installed)", "3 entries: Pintail Draw (folder deleted)", "No program: 2 entries"}},
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
       {"1 Einträge: acme Tools (installiert)", "3 Einträge: Pintail Draw (Ordner gelöscht)",
        "Kein Programm: 2 Einträge"}},
  };
  const auto row = [](const char* key, std::optional<ProgramRef> program) {
    ProblemRow made = Row(ProblemId::InvalidFileOrFolder, std::string("HKEY_CURRENT_USER\\") + key, "", rkKey);
    made.program = std::move(program);
    return made;
  };
  const ProgramRef pintail{"Pintail Draw", ProgramState::FolderDeleted}, acme{"acme Tools", ProgramState::Installed};
  const std::vector<ProblemRow> rows = {row("A", pintail), row("B", std::nullopt), row("C", pintail),
                                        row("D", acme),    row("E", std::nullopt), row("F", pintail)};
  // The first column of each heading, and the key of each row, top to bottom.
  const std::vector<std::string> keyLines = {"", "D", "", "A", "C", "F", "", "B", "E"};
  for (const Case& c : cases) {
    const Speaking language(c.language);
    MemoryPlatform memory;
    memory.files.AddFolder(memory.system.ExecutableFolder());
    ScriptedPrompt prompt;
    auto form = MakeMainWindow(memory.platform, prompt);
    ::MoveWindow(form->Handle(), 0, 0, 1200, 520, TRUE);
    ResultsListView& results = form->Results();
    HWND list = results.Handle();
    results.AppendRows(rows);
    SendCommand(form->Handle(), IDM_BYPROGRAM);
    ASSERT_EQ(ListItemCount(list), static_cast<int>(keyLines.size()));
    std::vector<std::string> headings;
    for (int line = 0; line < ListItemCount(list); ++line) {
      const std::string key = ListItemText(list, line, ResultsListView::colRegistryKey);
      EXPECT_EQ(key, keyLines[static_cast<std::size_t>(line)].empty() ? "" : "HKEY_CURRENT_USER\\" + keyLines[line]);
      if (key.empty()) headings.push_back(ListItemText(list, line, ResultsListView::colProblem));
    }
    EXPECT_EQ(headings, c.headings);

    const auto ticked = [&] {
      std::string keys;
      for (std::size_t i = 0; i < results.RowCount(); ++i) {
        if (results.IsChecked(i)) keys += results.Row(i).registryKey.back();
      }
      return keys;
    };
    // A press on the check box of Pintail Draw's heading, then of the heading of no program, then again.
    const auto clickBox = [&](int line) {
      HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_STATE, 0));
      int boxWidth = 0, boxHeight = 0;
      ::ImageList_GetIconSize(images, &boxWidth, &boxHeight);
      RECT icon{};
      icon.left = LVIR_ICON;
      ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&icon));
      const LPARAM at = MAKELPARAM(icon.left - boxWidth / 2, (icon.top + icon.bottom) / 2);
      ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::SendMessageW(list, WM_LBUTTONUP, 0, at);
      PumpMessages();
    };
    clickBox(2);
    EXPECT_EQ(ticked(), "ACF");
    clickBox(6);
    EXPECT_EQ(ticked(), "ACFBE");
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMSTATE, 2, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK,
              static_cast<LRESULT>(INDEXTOSTATEIMAGEMASK(2)));
    // Space on a heading, as its check box.
    Select(list, 2);
    ::SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(ticked(), "BE");
    if (PRIMARYLANGID(c.language) == LANG_ENGLISH) {
      EXPECT_EQ(PanelText(form->StatusBar(), 1), " 2 problems selected for repairing");
    }
    // The commands take the row under the heading, not the line.
    results.Select(static_cast<int>(std::find_if(results.Rows().begin(), results.Rows().end(),
                                                 [](const ProblemRow& r) { return r.registryKey.back() == 'C'; }) -
                                    results.Rows().begin()));
    EXPECT_EQ(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 4);
    SendCommand(form->Handle(), IDM_TICKPROGRAM);
    EXPECT_EQ(ticked(), "ACF");

    ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    auto again = MakeMainWindow(memory.platform, prompt);
    EXPECT_TRUE(again->Results().ByProgram());
    EXPECT_TRUE(::GetMenuState(::GetMenu(again->Handle()), IDM_BYPROGRAM, MF_BYCOMMAND) & MF_CHECKED);
    again->Results().AppendRows(rows);
    EXPECT_EQ(ListItemCount(again->Results().Handle()), static_cast<int>(keyLines.size()));
    SendCommand(again->Handle(), IDM_BYPROGRAM);
    EXPECT_EQ(ListItemCount(again->Results().Handle()), static_cast<int>(rows.size())) << "one list again";
  }
}

TEST(CompactKeyPath, KeepsTheRootAndAsManyLastPartsAsFit) {
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Path";
  struct Case {
    std::size_t room;
    std::string key;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {100, key, key},
      {key.size(), key, key},
      {key.size() - 1, key, "HKEY_LOCAL_MACHINE\\...\\Vendor\\App\\Path"},
      {31, key, "HKEY_LOCAL_MACHINE\\...\\App\\Path"},
      {30, key, "HKEY_LOCAL_MACHINE\\...\\Path"},
      {5, key, "HKEY_LOCAL_MACHINE\\...\\Path"},
      {5, "HKEY_USERS\\Long", "HKEY_USERS\\Long"},
      {5, "HKEY_USERS", "HKEY_USERS"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompactKeyPath(c.key, [&](const std::string& text) { return text.size() <= c.room; }), c.shown)
        << c.room << " " << c.key;
  }
}

}  // namespace
}  // namespace tamrisk::test
