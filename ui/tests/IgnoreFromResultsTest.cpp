// The results list's own commands added beside the selection actions: "Ignore this value" and
// "Ignore this key" (which entry each adds for a row of every kind, which rows then leave the list,
// and that the entry is kept like one typed in the options dialog), and "Save Results..." (the
// report's CSV, the name it gets, and the failures it reports).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Wide.h"
#include "unattended/Report.h"
#include "settings/RegGlobal.h"
#include "ui/common/UiHandles.h"
#include "ui/common/WindowText.h"
#include "ui/res/options_ids.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

constexpr char kSid[] = "S-1-5-21-7";

// Rows of every kind around one software key, with neighbours that share part of its path.
std::vector<ProblemRow> FixtureRows() {
  return {
      /* 0 */ {true, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool", "C:\\tool.exe",
               rkValueInPath},
      /* 1 */ {true, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\X\\Run", "Other", rkValueInColumn},
      /* 2 */ {true, ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software\\X", "", rkKey},
      /* 3 */
      {true, ProblemId::AddRemoveProgramsIssue, "HKEY_LOCAL_MACHINE\\Software\\Uninstall", "X", rkSubkeyInColumn},
      /* 4 */ {true, ProblemId::UnusedFileExtension, "HKEY_CLASSES_ROOT\\.x", "C:\\x.exe", rkDefaultValue},
      /* 5 */ {true, ProblemId::MissingShortcutReference, "C:\\Links\\X.lnk", "C:\\x.exe", rkShortcutFile},
      /* 6 */
      {true, ProblemId::InvalidFileOrFolder, "hkey_local_machine\\software\\x\\run\\tool", "C:\\tool.exe",
       rkValueInPath},
      /* 7 */ {true, ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software\\Y", "", rkKey},
      /* 8 */ {true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\X\\Run", "Tool", rkValueInColumn},
      /* 9 */ {true, ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Sub", "", rkKey},
      /* 10 */ {true, ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software\\Xtra", "", rkKey},
      /* 11 */
      {true, ProblemId::InvalidFileOrFolder, std::string("HKEY_USERS\\") + kSid + "\\Software\\X\\Run", "Tool",
       rkValueInColumn},
  };
}

std::vector<ProblemRow> RowsAt(const std::vector<std::size_t>& indexes) {
  const std::vector<ProblemRow> all = FixtureRows();
  std::vector<ProblemRow> rows;
  for (std::size_t i : indexes) rows.push_back(all[i]);
  return rows;
}

bool MenuEnabled(HWND window, int id) {
  return (::GetMenuState(::GetMenu(window), static_cast<UINT>(id), MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

void ClearIgnoreLists() {
  OptionsSetting.IgnoreValues.clear();
  OptionsSetting.IgnoreValueCount = 0;
  OptionsSetting.IgnoreKeys.clear();
  OptionsSetting.IgnoreKeyCount = 0;
}

// Both status panels count this many rows, all ticked.
void ExpectCounts(TfrmHivora& form, std::size_t rows, const char* what) {
  EXPECT_EQ(PanelText(form.StatusBar(), 0), " " + std::to_string(rows) + " problems found") << what;
  EXPECT_EQ(PanelText(form.StatusBar(), 1), " " + std::to_string(rows) + " problems selected for repairing") << what;
}

// The entries the options dialog's two lists show when it is opened from the main window's menu;
// nullopt when it never showed.
std::optional<std::pair<std::vector<std::string>, std::vector<std::string>>> ListsInOptions(TfrmHivora& form) {
  std::vector<std::string> shownValues, shownKeys;
  bool seen = false;
  {
    ThreadTicker look([&] {
      HWND dialog = FindThreadWindow("Options");
      if (!dialog || seen || !::IsWindowVisible(dialog)) return;
      seen = true;
      for (auto [id, shown] : {std::pair{IDC_OPT_VALUES, &shownValues}, std::pair{IDC_OPT_KEYS, &shownKeys}}) {
        HWND list = ::GetDlgItem(dialog, id);
        const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) shown->push_back(ListItemText(list, i));
      }
      ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    SendCommand(form.Handle(), IDM_OPTIONS);
  }
  if (!seen) return std::nullopt;
  return std::pair{shownValues, shownKeys};
}

class IgnoreFromResults : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    memory.SetCurrentUserSid(kSid);
  }

  std::unique_ptr<TfrmHivora> OpenWithFixture() {
    auto form = MakeMainWindow(memory.platform, prompt);
    form->Results().AppendRows(FixtureRows());
    return form;
  }

  std::string Stored(const std::string& section, const std::string& key) {
    return memory.ini.ReadString(SettingsFilePath(memory.platform), section, key, "<none>");
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
};

TEST_F(IgnoreFromResults, EachRowKindAddsTheEntryTheFilterMatchesAndDropsTheRowsItCovers) {
  struct Case {
    const char* what;
    std::size_t row;
    int command;
    std::vector<std::string> values;  // the ignore lists afterwards
    std::vector<std::string> keys;
    std::vector<std::size_t> remaining;
  };
  // clang-format off
  const std::vector<Case> cases = {
      // A value entry takes the same value in any letter case, and a key row whose key holds it.
      {"value in the path", 0, IDM_IGNOREVALUE, {"HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool"}, {},
       {1, 3, 4, 5, 7, 8, 9, 10, 11}},
      {"value in the column", 1, IDM_IGNOREVALUE, {"HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Other"}, {},
       {0, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"default value", 4, IDM_IGNOREVALUE, {"HKEY_CLASSES_ROOT\\.x\\@"}, {},
       {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11}},
      // The current user's hive under both of its names.
      {"value of the current user", 8, IDM_IGNOREVALUE, {"HKEY_CURRENT_USER\\Software\\X\\Run\\Tool"}, {},
       {0, 1, 2, 3, 4, 5, 6, 7, 9, 10}},
      // A key entry covers its subkeys, and any key path it is part of.
      {"key of a value in the path", 0, IDM_IGNOREKEY, {}, {"HKEY_LOCAL_MACHINE\\Software\\X\\Run"},
       {2, 3, 4, 5, 7, 8, 10, 11}},
      {"key row", 2, IDM_IGNOREKEY, {}, {"HKEY_LOCAL_MACHINE\\Software\\X"}, {3, 4, 5, 7, 8, 10, 11}},
      {"subkey in the column", 3, IDM_IGNOREKEY, {}, {"HKEY_LOCAL_MACHINE\\Software\\Uninstall\\X"},
       {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"key of a default value", 4, IDM_IGNOREKEY, {}, {"HKEY_CLASSES_ROOT\\.x"}, {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11}},
      {"key of a value in the column", 11, IDM_IGNOREKEY, {}, {std::string("HKEY_USERS\\") + kSid + "\\Software\\X\\Run"},
       {0, 1, 2, 3, 4, 5, 6, 7, 9, 10}},
  };
  // clang-format on
  auto form = MakeMainWindow(memory.platform, prompt);
  for (const Case& c : cases) {
    ClearIgnoreLists();
    form->Results().Clear();
    form->Results().AppendRows(FixtureRows());
    form->Results().Select(static_cast<int>(c.row));
    PumpMessages();
    ASSERT_TRUE(MenuEnabled(form->Handle(), c.command)) << c.what;
    SendCommand(form->Handle(), c.command);
    EXPECT_EQ(form->Results().Rows(), RowsAt(c.remaining)) << c.what;
    EXPECT_EQ(OptionsSetting.IgnoreValues, c.values) << c.what;
    EXPECT_EQ(OptionsSetting.IgnoreValueCount, static_cast<std::int32_t>(c.values.size())) << c.what;
    EXPECT_EQ(OptionsSetting.IgnoreKeys, c.keys) << c.what;
    EXPECT_EQ(OptionsSetting.IgnoreKeyCount, static_cast<std::int32_t>(c.keys.size())) << c.what;
    ExpectCounts(*form, c.remaining.size(), c.what);
    EXPECT_TRUE(prompt.calls.empty()) << c.what;
  }
}

TEST_F(IgnoreFromResults, CommandsAreOffWhereARowNamesNoSuchEntry) {
  struct Case {
    int select;
    bool value;
    bool key;
  };
  auto form = OpenWithFixture();
  form->Results().AppendRows(
      {{true, ProblemId::InvalidFileOrFolder, "HKEY_USERS", "x", rkValueInPath}});  // no "\": no entry at all
  // A value straight under the root: its key entry would be the whole hive.
  form->Results().AppendRows(
      {{true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\\\Gone", "C:\\Gone.exe", rkValueInPath}});
  for (const Case& c : std::vector<Case>{{-1, false, false},
                                         {2, false, true},
                                         {3, false, true},
                                         {5, false, false},
                                         {12, false, false},
                                         {0, true, true},
                                         {4, true, true},
                                         {13, true, false}}) {
    form->Results().Select(c.select);
    PumpMessages();
    EXPECT_EQ(MenuEnabled(form->Handle(), IDM_IGNOREVALUE), c.value) << "row " << c.select;
    EXPECT_EQ(MenuEnabled(form->Handle(), IDM_IGNOREKEY), c.key) << "row " << c.select;
    // A disabled command does nothing, whatever sends it.
    if (!c.value) SendCommand(form->Handle(), IDM_IGNOREVALUE);
    if (!c.key) SendCommand(form->Handle(), IDM_IGNOREKEY);
  }
  EXPECT_EQ(form->Results().RowCount(), FixtureRows().size() + 2);
  EXPECT_TRUE(OptionsSetting.IgnoreValues.empty());
  EXPECT_TRUE(OptionsSetting.IgnoreKeys.empty());
  EXPECT_EQ(OptionsSetting.IgnoreValueCount, 0);
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 0);
}

TEST_F(IgnoreFromResults, EntriesAreWrittenAtOnceAfterTheStoredOnesAndSurviveARestart) {
  WriteSettings(memory.platform, memory.files,
                "[IgnoreValue]\r\nCount=1\r\nValue1=HKEY_LOCAL_MACHINE\\Software\\Kept\\Run\\A\r\n"
                "Value2=HKEY_LOCAL_MACHINE\\Software\\Stale\\Left\\Over\r\n"
                "[IgnoreKey]\r\nCount=0\r\n");
  {
    auto form = OpenWithFixture();
    form->Results().Select(4);
    SendCommand(form->Handle(), IDM_IGNOREVALUE);
    form->Results().Select(2);
    SendCommand(form->Handle(), IDM_IGNOREKEY);
    // Not closed: the entries are written as they are added, so a window that is killed keeps them.
  }
  EXPECT_EQ(Stored("IgnoreValue", "Count"), "2");
  EXPECT_EQ(Stored("IgnoreValue", "Value1"), "HKEY_LOCAL_MACHINE\\Software\\Kept\\Run\\A");
  EXPECT_EQ(Stored("IgnoreValue", "Value2"), "HKEY_CLASSES_ROOT\\.x\\@");
  EXPECT_EQ(Stored("IgnoreKey", "Count"), "1");
  EXPECT_EQ(Stored("IgnoreKey", "Key1"), "HKEY_LOCAL_MACHINE\\Software\\X");

  // After a restart the options dialog shows them as its own entries.
  auto form = MakeMainWindow(memory.platform, prompt);
  const std::vector<std::string> values = {"HKEY_LOCAL_MACHINE\\Software\\Kept\\Run\\A", "HKEY_CLASSES_ROOT\\.x\\@"};
  const std::vector<std::string> keys = {"HKEY_LOCAL_MACHINE\\Software\\X"};
  EXPECT_EQ(OptionsSetting.IgnoreValues, values);
  EXPECT_EQ(OptionsSetting.IgnoreKeys, keys);
  const auto shown = ListsInOptions(*form);
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->first, values);
  EXPECT_EQ(shown->second, keys);

  // The same row ignored again adds no second entry.
  form->Results().AppendRows({FixtureRows()[4]});
  form->Results().Select(0);
  SendCommand(form->Handle(), IDM_IGNOREVALUE);
  EXPECT_EQ(OptionsSetting.IgnoreValues, values);
  EXPECT_EQ(OptionsSetting.IgnoreValueCount, 2);
  EXPECT_EQ(form->Results().RowCount(), 0u);

  // The options' OK writes at once too.
  memory.files.AddFolder(OptionsSetting.OutputDirectory);
  ThreadTicker ok([&] {
    HWND dialog = FindThreadWindow("Options");
    if (!dialog || !::IsWindowVisible(dialog)) return;
    ::SendMessageW(::GetDlgItem(dialog, IDC_OPT_DELETEBACKUPFILE), BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  SendCommand(form->Handle(), IDM_OPTIONS);
  EXPECT_EQ(Stored("Options", "DeleteBackupFile"), "0");
  EXPECT_TRUE(prompt.calls.empty());
}

// ---- "Save Results..." ----

class SaveResults : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    memory.files.AddFolder("C:\\Out");
    form = MakeMainWindow(memory.platform, prompt);
    form->Results().AppendRows(FixtureRows());
  }

  std::optional<std::string> Contents(const std::string& path) const { return memory.files.Contents(path); }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

TEST_F(SaveResults, WritesTheListAsTheReportDoesUnderACsvName) {
  struct Case {
    std::string chosen;
    std::string written;
  };
  for (const Case& c : std::vector<Case>{{"C:\\Out\\plain", "C:\\Out\\plain.csv"},
                                         {"C:\\Out\\upper.CSV", "C:\\Out\\upper.CSV"},
                                         {"C:\\Out\\other.txt", "C:\\Out\\other.txt.csv"}}) {
    prompt.fileAnswers.push_back(c.chosen);
    SendCommand(form->Handle(), IDM_SAVERESULTS);
    const std::optional<std::string> csv = Contents(c.written);
    ASSERT_TRUE(csv.has_value()) << c.chosen;
    EXPECT_EQ(*csv, FormatReportCsv(FixtureRows())) << c.chosen;
    EXPECT_EQ(csv->substr(0, csv->find('\n') + 1), "\xEF\xBB\xBFProblem,Registry key,Value,Kind,Reason,Program\r\n");
  }
  EXPECT_FALSE(Contents("C:\\Out\\other.txt").has_value());
  EXPECT_TRUE(prompt.calls.empty());
  EXPECT_EQ(form->Results().RowCount(), FixtureRows().size()) << "the list stays as it is";
}

TEST_F(SaveResults, AsksBeforeReplacingAFileAndReportsOneItCannotWrite) {
  prompt.fileAnswers.push_back(std::nullopt);
  SendCommand(form->Handle(), IDM_SAVERESULTS);
  EXPECT_TRUE(prompt.calls.empty()) << "a cancelled dialog writes and asks nothing";

  memory.files.AddFile("C:\\Out\\old.csv", "old");
  for (const auto& [answer, contents] :
       std::vector<std::pair<int, std::string>>{{IDNO, "old"}, {IDYES, FormatReportCsv(FixtureRows())}}) {
    prompt.calls.clear();
    prompt.answers.push_back(answer);
    prompt.fileAnswers.push_back("C:\\Out\\old.csv");
    SendCommand(form->Handle(), IDM_SAVERESULTS);
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].text, "C:\\Out\\old.csv already exists. Do you want to replace it?");
    EXPECT_EQ(prompt.calls[0].caption, "Varkon Tamrisk");
    EXPECT_EQ(prompt.calls[0].style & (MB_TYPEMASK | MB_DEFMASK), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(Contents("C:\\Out\\old.csv"), contents);
  }

  prompt.calls.clear();
  prompt.fileAnswers.push_back("C:\\Missing\\results.csv");
  SendCommand(form->Handle(), IDM_SAVERESULTS);
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text.rfind("Cannot write C:\\Missing\\results.csv", 0), 0u) << prompt.calls[0].text;
  EXPECT_EQ(prompt.calls[0].caption, "Varkon Tamrisk");
  EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

// Where the new commands stand in the menus.
TEST(ResultsMenus, NewCommandsStandWhereTheUserLooksForThem) {
  const auto itemsOf = [](HMENU menu) {
    std::vector<std::string> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
      wchar_t text[128] = {};
      ::GetMenuStringW(menu, static_cast<UINT>(i), text, std::size(text), MF_BYPOSITION);
      items.push_back(::GetMenuItemID(menu, i) == 0 ? "-" : win32::Utf8(text));
    }
    return items;
  };
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const UniqueMenu main(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU)));
  const UniqueMenu popup(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_LISTPOPUP)));
  ASSERT_TRUE(main && popup);
  const std::vector<std::string> file = itemsOf(::GetSubMenu(main.get(), 0));
  ASSERT_GE(file.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(file.end() - 3, file.end()),
            (std::vector<std::string>{"&Save Results...", "-", "&Exit"}));
  const std::vector<std::string> ignore = {"&Open in RegEdit...", "-", "Ignore this &value", "Ignore this &key"};
  const std::vector<std::string> edit = itemsOf(::GetSubMenu(main.get(), 2));
  EXPECT_NE(std::search(edit.begin(), edit.end(), ignore.begin(), ignore.end()), edit.end());
  const std::vector<std::string> list = itemsOf(::GetSubMenu(popup.get(), 0));
  ASSERT_GE(list.size(), ignore.size());
  EXPECT_EQ(std::vector<std::string>(list.end() - static_cast<std::ptrdiff_t>(ignore.size()), list.end()), ignore);
}

}  // namespace
}  // namespace tamrisk::test
