// The options dialog and its entry dialog, driven in-process through their controls: what an
// opening shows, OK's folder check and what it stores, Add / Edit / Remove on the list in front, and
// Cancel. The folder picker and the message boxes are answered by the test.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "ui/dialogs/Options.h"
#include "ui/dialogs/RegAddRegistry.h"
#include "ui/main/WindowText.h"
#include "ui/res/options_ids.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

using test::HiddenOwner;

constexpr char kOptionsCaption[] = "Options";
constexpr char kEntryCaption[] = "Add to Ignore List";

// Steps that act on the thread's dialogs from inside their modal loops, in order: each step waits
// until a window with its caption is up. A step whose window never comes, or a dialog still open
// after the last step, ends the dialogs in time, so a fault fails the test instead of hanging it.
class DialogScript {
 public:
  using Action = std::function<void(HWND)>;

  DialogScript& Then(const char* caption, Action action) {
    steps_.push_back({caption, std::move(action)});
    return *this;
  }

  // Shows a dialog with the steps acting on it and the dialogs it opens; the dialog's result.
  INT_PTR Run(const std::function<INT_PTR()>& show) {
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    ThreadTicker ticker([this] { Tick(); });
    const INT_PTR result = show();
    EXPECT_EQ(next_, steps_.size()) << "steps left when the dialog ended";
    EXPECT_FALSE(timedOut_) << "a step's window did not come up, or a dialog did not close";
    return result;
  }

 private:
  struct Step {
    const char* caption;
    Action action;
  };

  void Tick() {
    if (std::chrono::steady_clock::now() > deadline_) {
      for (const char* caption : {kEntryCaption, kOptionsCaption}) {
        if (HWND stuck = FindThreadWindow(caption)) {
          timedOut_ = true;
          ::EndDialog(stuck, -2);
        }
      }
      return;
    }
    if (next_ >= steps_.size()) return;
    HWND window = FindThreadWindow(steps_[next_].caption);
    if (!window || !::IsWindowVisible(window) || !::IsWindowEnabled(window)) return;
    // Counted before it acts: a step that opens a dialog lets the next steps run inside it.
    Step& step = steps_[next_++];
    step.action(window);
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  bool timedOut_ = false;
};

// ---- Acting on controls as the user does ----

void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Clicks a tab, so the tab control itself tells the dialog of the change.
void ClickTab(HWND dialog, int tabsId, int index) {
  HWND tabs = ::GetDlgItem(dialog, tabsId);
  RECT tab{};
  ::SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tab));
  const LPARAM at = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  ::SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(tabs, WM_LBUTTONUP, 0, at);
}

void Type(HWND dialog, int id, const std::string& text) { SetText(::GetDlgItem(dialog, id), text); }

std::string TextOf(HWND dialog, int id) { return tamrisk::TextOf(::GetDlgItem(dialog, id)); }

bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0; }
bool Shown(HWND dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog, id)) != 0; }
bool Ticked(HWND dialog, int id) { return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
int TabInFront(HWND dialog, int id) { return static_cast<int>(::SendMessageW(::GetDlgItem(dialog, id), TCM_GETCURSEL, 0, 0)); }

void SetRowState(HWND dialog, int listId, int row, UINT state, UINT mask) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  ::SendMessageW(::GetDlgItem(dialog, listId), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

// As a click on the row's check box does.
void TickRow(HWND dialog, int listId, int row) {
  SetRowState(dialog, listId, row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
}

void SelectRow(HWND dialog, int listId, int row) {
  SetRowState(dialog, listId, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

struct ListRow {
  std::string text;
  bool ticked = false;
  friend bool operator==(const ListRow&, const ListRow&) = default;
};

std::vector<ListRow> RowsOf(HWND dialog, int listId) {
  HWND list = ::GetDlgItem(dialog, listId);
  std::vector<ListRow> rows;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto state = static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i),
                                                        LVIS_STATEIMAGEMASK));
    rows.push_back({ListItemText(list, i), state == INDEXTOSTATEIMAGEMASK(2)});
  }
  return rows;
}

std::vector<ListRow> Unticked(const std::vector<std::string>& texts) {
  std::vector<ListRow> rows;
  for (const std::string& text : texts) rows.push_back({text, false});
  return rows;
}

int ColumnWidth(HWND dialog, int listId) {
  return static_cast<int>(::SendMessageW(::GetDlgItem(dialog, listId), LVM_GETCOLUMNWIDTH, 0, 0));
}

SIZE ClientSize(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return {client.right, client.bottom};
}

TOptionsSetting StartingOptions() {
  TOptionsSetting options;
  options.OutputDirectory = "C:\\Backup";
  options.DeleteBackupFile = true;
  options.IncludeRemoveMedia = false;
  options.IncludeCDdrive = true;
  options.TreeViewNodeCheck.Fill(true);
  options.IgnoreValues = {"HKEY_LOCAL_MACHINE\\Software\\A\\Run\\One", "HKEY_CURRENT_USER\\Software\\B\\@",
                          "HKEY_USERS\\.DEFAULT\\Software\\C\\Three"};
  options.IgnoreValueCount = 3;
  // The count decides: the third key lies past it and is nobody's entry.
  options.IgnoreKeys = {"HKEY_LOCAL_MACHINE\\Software\\Old", "Software\\Vendor", "HKEY_CLASSES_ROOT\\Stale"};
  options.IgnoreKeyCount = 2;
  return options;
}

class OptionsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    InitControls();
    memory.files.AddFolder("C:\\Backup");
    memory.files.AddFolder("C:\\Other");
    options = StartingOptions();
  }

  // Opens the dialog with the script acting on it; the dialog's result.
  INT_PTR Open(DialogScript& script) {
    TfrmOptions dialog(prompt, memory.platform, options);
    return script.Run([&] { return dialog.ShowModal(owner.get()); });
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  HiddenOwner owner;
  TOptionsSetting options;
};

TEST_F(OptionsDialog, OpensOnTheGeneralPageWithCopiesOfTheOptions) {
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    const SIZE client = ClientSize(dialog);
    EXPECT_EQ(client.cx, 455);
    EXPECT_EQ(client.cy, 356);
    EXPECT_EQ(TextOf(dialog, IDC_OPT_OUTPUTFOLDER), "C:\\Backup");
    EXPECT_EQ(ColumnWidth(dialog, IDC_OPT_VALUES), 360);
    EXPECT_EQ(ColumnWidth(dialog, IDC_OPT_KEYS), 320);

    EXPECT_TRUE(Ticked(dialog, IDC_OPT_DELETEBACKUPFILE));
    EXPECT_FALSE(Ticked(dialog, IDC_OPT_INCLUDEREMOVEMEDIA));
    EXPECT_TRUE(Ticked(dialog, IDC_OPT_INCLUDECDDRIVE));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES), Unticked(StartingOptions().IgnoreValues));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_KEYS),
              Unticked({"HKEY_LOCAL_MACHINE\\Software\\Old", "Software\\Vendor"}));

    EXPECT_EQ(TabInFront(dialog, IDC_OPT_PAGES), 0);
    EXPECT_EQ(TabInFront(dialog, IDC_OPT_LISTPAGES), 0);
    EXPECT_TRUE(Shown(dialog, IDC_OPT_OUTPUTFOLDER));
    EXPECT_FALSE(Shown(dialog, IDC_OPT_VALUES));
    EXPECT_FALSE(Shown(dialog, IDC_OPT_ADD));

    // Turning the pages shows the lists, one at a time.
    ClickTab(dialog, IDC_OPT_PAGES, 1);
    EXPECT_FALSE(Shown(dialog, IDC_OPT_OUTPUTFOLDER));
    EXPECT_TRUE(Shown(dialog, IDC_OPT_VALUES));
    EXPECT_FALSE(Shown(dialog, IDC_OPT_KEYS));
    EXPECT_FALSE(Enabled(dialog, IDC_OPT_EDIT)) << "no row selected";
    ClickTab(dialog, IDC_OPT_LISTPAGES, 1);
    EXPECT_FALSE(Shown(dialog, IDC_OPT_VALUES));
    EXPECT_TRUE(Shown(dialog, IDC_OPT_KEYS));
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Open(script), IDCANCEL);
  // Each opening starts afresh: the General page, with "Values" in front behind it.
  DialogScript again;
  again.Then(kOptionsCaption, [&](HWND dialog) {
    EXPECT_EQ(TabInFront(dialog, IDC_OPT_PAGES), 0);
    EXPECT_EQ(TabInFront(dialog, IDC_OPT_LISTPAGES), 0);
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Open(again), IDCANCEL);
  EXPECT_EQ(options, StartingOptions());
}

TEST_F(OptionsDialog, OkWithAMissingFolderStoresNothingAndKeepsTheDialogOpen) {
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    Type(dialog, IDC_OPT_OUTPUTFOLDER, "C:\\Nowhere\\");
    Click(dialog, IDC_OPT_INCLUDEREMOVEMEDIA);
    Click(dialog, IDC_OPT_DELETEBACKUPFILE);
    ClickTab(dialog, IDC_OPT_PAGES, 1);
    TickRow(dialog, IDC_OPT_VALUES, 0);
    Click(dialog, IDC_OPT_REMOVE);
    // OK pressed while the lists are in front.
    Click(dialog, IDOK);
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].text, "C:\\Nowhere\\,The backup directory does not exist.");
    EXPECT_EQ(prompt.calls[0].caption, "Varkon Tamrisk");
    EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(options, StartingOptions()) << "nothing stored, not even the switches or lists";
    EXPECT_TRUE(::IsWindow(dialog));
    // The folder field is brought forward to take the focus.
    EXPECT_EQ(TabInFront(dialog, IDC_OPT_PAGES), 0);
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, IDC_OPT_OUTPUTFOLDER));
    // The controls keep what was changed; a folder that exists, typed with a trailing "\", is kept.
    Type(dialog, IDC_OPT_OUTPUTFOLDER, "C:\\Other\\");
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Open(script), IDOK);
  EXPECT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(options.OutputDirectory, "C:\\Other\\");
  EXPECT_FALSE(options.DeleteBackupFile);
  EXPECT_TRUE(options.IncludeRemoveMedia);
  EXPECT_TRUE(options.IncludeCDdrive);
  const std::vector<std::string> values = {"HKEY_CURRENT_USER\\Software\\B\\@", "HKEY_USERS\\.DEFAULT\\Software\\C\\Three"};
  EXPECT_EQ(options.IgnoreValues, values);
  EXPECT_EQ(options.IgnoreValueCount, 2);
  const std::vector<std::string> keys = {"HKEY_LOCAL_MACHINE\\Software\\Old", "Software\\Vendor"};
  EXPECT_EQ(options.IgnoreKeys, keys);
  EXPECT_EQ(options.IgnoreKeyCount, 2);
  EXPECT_EQ(options.TreeViewNodeCheck, StartingOptions().TreeViewNodeCheck);
}

// Folders and ignore entries in any language pass through the fields, the lists, the entry dialog
// and the message of a missing folder exactly.
TEST_F(OptionsDialog, TextInAnyLanguageComesBackExactly) {
  const std::string folder = "C:\\Δata\\גיבוי 备份";
  memory.files.AddFolder(folder);
  options.OutputDirectory = folder;
  options.IgnoreValues = {"HKEY_CURRENT_USER\\Software\\Ελληνικά\\名前", "HKEY_CURRENT_USER\\Software\\😀\\@"};
  options.IgnoreValueCount = 2;
  options.IgnoreKeys = {"HKEY_CURRENT_USER\\Software\\עברית"};
  options.IgnoreKeyCount = 1;
  const std::string edited = "HKEY_USERS\\S-1-5-21\\Software\\Кириллица 🦊";
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    EXPECT_EQ(TextOf(dialog, IDC_OPT_OUTPUTFOLDER), folder);
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES), Unticked(options.IgnoreValues));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_KEYS), Unticked(options.IgnoreKeys));
    Type(dialog, IDC_OPT_OUTPUTFOLDER, "C:\\Ωmega\\缺失");
    Click(dialog, IDOK);
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].text, "C:\\Ωmega\\缺失,The backup directory does not exist.");
    Type(dialog, IDC_OPT_OUTPUTFOLDER, folder);
    ClickTab(dialog, IDC_OPT_PAGES, 1);
    ClickTab(dialog, IDC_OPT_LISTPAGES, 1);
    SelectRow(dialog, IDC_OPT_KEYS, 0);
    Click(dialog, IDC_OPT_EDIT);
  });
  script.Then(kEntryCaption, [&](HWND entry) {
    EXPECT_EQ(TextOf(entry, IDC_ADD_REGISTRYKEY), "HKEY_CURRENT_USER\\Software\\עברית");
    Type(entry, IDC_ADD_REGISTRYKEY, edited);
    Click(entry, IDOK);
  });
  script.Then(kOptionsCaption, [&](HWND dialog) { Click(dialog, IDOK); });
  const std::vector<std::string> values = options.IgnoreValues;
  EXPECT_EQ(Open(script), IDOK);
  EXPECT_EQ(options.OutputDirectory, folder);
  EXPECT_EQ(options.IgnoreValues, values);
  EXPECT_EQ(options.IgnoreKeys, std::vector<std::string>{edited});
}

TEST_F(OptionsDialog, AddEditAndRemoveActOnTheListInFrontOnly) {
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    ClickTab(dialog, IDC_OPT_PAGES, 1);
    // Two values and one key ticked; Remove with "Values" in front takes the two values only, and
    // the selected row plays no part.
    TickRow(dialog, IDC_OPT_VALUES, 0);
    TickRow(dialog, IDC_OPT_VALUES, 2);
    SelectRow(dialog, IDC_OPT_VALUES, 1);
    TickRow(dialog, IDC_OPT_KEYS, 1);
    Click(dialog, IDC_OPT_REMOVE);
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES), Unticked({"HKEY_CURRENT_USER\\Software\\B\\@"}));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_KEYS),
              (std::vector<ListRow>{{"HKEY_LOCAL_MACHINE\\Software\\Old", false}, {"Software\\Vendor", true}}));
    // Remove with nothing ticked does nothing.
    Click(dialog, IDC_OPT_REMOVE);
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES).size(), 1u);

    ClickTab(dialog, IDC_OPT_LISTPAGES, 1);
    EXPECT_FALSE(Enabled(dialog, IDC_OPT_EDIT)) << "no key selected";
    Click(dialog, IDC_OPT_ADD);
  });
  // Typed in lower case, kept in lower case.
  script.Then(kEntryCaption, [&](HWND entry) {
    EXPECT_EQ(TextOf(entry, IDC_ADD_REGISTRYKEY), "");
    Type(entry, IDC_ADD_REGISTRYKEY, "hkey_current_user\\software\\x");
    Click(entry, IDOK);
  });
  script.Then(kOptionsCaption, [&](HWND dialog) {
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_KEYS),
              (std::vector<ListRow>{{"HKEY_LOCAL_MACHINE\\Software\\Old", false},
                                    {"Software\\Vendor", true},
                                    {"hkey_current_user\\software\\x", false}}));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES).size(), 1u);
    SelectRow(dialog, IDC_OPT_KEYS, 0);
    EXPECT_TRUE(Enabled(dialog, IDC_OPT_EDIT));
    Click(dialog, IDC_OPT_EDIT);
  });
  script.Then(kEntryCaption, [&](HWND entry) {
    EXPECT_EQ(TextOf(entry, IDC_ADD_REGISTRYKEY), "HKEY_LOCAL_MACHINE\\Software\\Old");
    Type(entry, IDC_ADD_REGISTRYKEY, "Software\\HKEY_X ");
    Click(entry, IDOK);
  });
  // An edit that is cancelled changes nothing; neither does an add that is cancelled.
  script.Then(kOptionsCaption, [&](HWND dialog) { Click(dialog, IDC_OPT_EDIT); });
  script.Then(kEntryCaption, [&](HWND entry) {
    Type(entry, IDC_ADD_REGISTRYKEY, "HKEY_CLASSES_ROOT\\Thrown");
    Click(entry, IDCANCEL);
  });
  script.Then(kOptionsCaption, [&](HWND dialog) { Click(dialog, IDC_OPT_ADD); });
  script.Then(kEntryCaption, [&](HWND entry) {
    Type(entry, IDC_ADD_REGISTRYKEY, "HKEY_CLASSES_ROOT\\Thrown");
    Click(entry, IDCANCEL);
  });
  script.Then(kOptionsCaption, [&](HWND dialog) {
    // Edit follows the selection of the list in front: the value row selected before the removal
    // is still selected.
    ClickTab(dialog, IDC_OPT_LISTPAGES, 0);
    EXPECT_TRUE(Enabled(dialog, IDC_OPT_EDIT));
    SetRowState(dialog, IDC_OPT_VALUES, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_FALSE(Enabled(dialog, IDC_OPT_EDIT));
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Open(script), IDOK);
  const std::vector<std::string> values = {"HKEY_CURRENT_USER\\Software\\B\\@"};
  EXPECT_EQ(options.IgnoreValues, values);
  EXPECT_EQ(options.IgnoreValueCount, 1);
  const std::vector<std::string> keys = {"Software\\HKEY_X ", "Software\\Vendor", "hkey_current_user\\software\\x"};
  EXPECT_EQ(options.IgnoreKeys, keys);
  EXPECT_EQ(options.IgnoreKeyCount, 3);
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(OptionsDialog, CancelAfterChangesLeavesTheOptionsAsTheyWere) {
  struct Case {
    const char* how;
    std::function<void(HWND)> close;
  };
  const std::vector<Case> cases = {
      {"Cancel", [](HWND dialog) { Click(dialog, IDCANCEL); }},
      {"close box", [](HWND dialog) { ::SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Case& c : cases) {
    DialogScript script;
    script.Then(kOptionsCaption, [&](HWND dialog) {
      Type(dialog, IDC_OPT_OUTPUTFOLDER, "C:\\Other");
      Click(dialog, IDC_OPT_INCLUDECDDRIVE);
      ClickTab(dialog, IDC_OPT_PAGES, 1);
      TickRow(dialog, IDC_OPT_VALUES, 1);
      Click(dialog, IDC_OPT_REMOVE);
      Click(dialog, IDC_OPT_ADD);
    });
    script.Then(kEntryCaption, [&](HWND entry) {
      Type(entry, IDC_ADD_REGISTRYKEY, "HKEY_LOCAL_MACHINE\\Software\\New");
      Click(entry, IDOK);
    });
    script.Then(kOptionsCaption, [&](HWND dialog) {
      EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES).size(), 3u) << c.how;
      c.close(dialog);
    });
    EXPECT_EQ(Open(script), IDCANCEL) << c.how;
    EXPECT_EQ(options, StartingOptions()) << c.how;
  }
}

TEST_F(OptionsDialog, BrowseFillsTheFolderFieldOnlyWhenTheUserConfirms) {
  memory.shell.QueueFolderAnswer(std::string("C:\\Other"));
  memory.shell.QueueFolderAnswer(std::nullopt);
  HWND seen = nullptr;
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    seen = dialog;
    Click(dialog, IDC_OPT_BROWSE);
    EXPECT_EQ(TextOf(dialog, IDC_OPT_OUTPUTFOLDER), "C:\\Other");
    EXPECT_EQ(options.OutputDirectory, "C:\\Backup") << "stored only by OK";
    Click(dialog, IDC_OPT_BROWSE);
    EXPECT_EQ(TextOf(dialog, IDC_OPT_OUTPUTFOLDER), "C:\\Other") << "a cancelled pick changes nothing";
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Open(script), IDOK);
  EXPECT_EQ(options.OutputDirectory, "C:\\Other");
  const std::vector<FolderPickCall> picks = memory.shell.FolderPicks();
  ASSERT_EQ(picks.size(), 2u);
  for (const FolderPickCall& pick : picks) {
    EXPECT_EQ(pick.owner, reinterpret_cast<std::uintptr_t>(seen));
    EXPECT_EQ(pick.title, "Please select the directory to add");
    EXPECT_EQ(pick.startPath, "");
  }
}

TEST_F(OptionsDialog, EntryDialogOffersOkOnlyForATextNamingARoot) {
  DialogScript script;
  script.Then(kEntryCaption, [&](HWND entry) {
    const SIZE client = ClientSize(entry);
    EXPECT_EQ(client.cx, 392);
    EXPECT_EQ(client.cy, 193);
    EXPECT_EQ(TextOf(entry, IDC_ADD_KEYLABEL), "Registry Key");
    EXPECT_EQ(TextOf(entry, IDC_ADD_LAUNCHREGEDIT), "&Launch Registry Editor");
    EXPECT_EQ(TextOf(entry, IDC_ADD_HINT), "Enter the value or key like: HKEY_CURRENT_USER\\Software\\Microsoft");
    struct Case {
      const char* text;
      bool enabled;
    };
    for (const Case& c : std::vector<Case>{{"", false},
                                           {"Software\\Microsoft", false},
                                           {"hkey_current_user\\software\\x", true},
                                           {"Software\\HKEY_X", true},
                                           {"HKEY", false},
                                           {"  hkey_", true},
                                           {"HKEY-USERS", false}}) {
      Type(entry, IDC_ADD_REGISTRYKEY, c.text);
      EXPECT_EQ(Enabled(entry, IDOK), c.enabled) << "\"" << c.text << "\"";
    }
    // Enter while OK is greyed does not close the dialog.
    Type(entry, IDC_ADD_REGISTRYKEY, "Software");
    ::SendMessageW(entry, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(::IsWindow(entry));

    Click(entry, IDC_ADD_LAUNCHREGEDIT);
    const std::vector<ShellOpenCall> opens = memory.shell.Opens();
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].owner, reinterpret_cast<std::uintptr_t>(entry));
    EXPECT_EQ(opens[0].file, "C:\\Windows\\regedit.exe");
    EXPECT_EQ(opens[0].parameters, "");
    EXPECT_EQ(opens[0].directory, "");
    EXPECT_EQ(opens[0].show, SW_SHOW);
    Type(entry, IDC_ADD_REGISTRYKEY, "HKEY_X");
    Click(entry, IDOK);
  });
  TfrmRegAddRegistry entry(prompt, memory.platform);
  entry.RegistryKey = "start";
  EXPECT_EQ(script.Run([&] { return entry.ShowModal(owner.get()); }), IDOK);
  EXPECT_EQ(entry.RegistryKey, "HKEY_X");
  EXPECT_TRUE(prompt.calls.empty());
}

}  // namespace
}  // namespace tamrisk::test
