// The options dialog and its entry dialog, driven in-process through their controls: what an
// opening shows, OK's folder check and what it stores, Add / Edit / Remove on the list in front, and
// Cancel. The folder picker and the message boxes are answered by the test.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/Wide.h"
#include "ui/dialogs/RegAddRegistry.h"
#include "ui/res/options_ids.h"
#include "ui/tests/OptionsDialogScript.h"

namespace tamrisk::test {
namespace {

TEST_F(OptionsDialog, OpensOnTheGeneralPageWithCopiesOfTheOptions) {
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    const SIZE client = ClientSize(dialog);
    EXPECT_EQ(client.cx, 455);
    EXPECT_EQ(client.cy, 356);
    EXPECT_EQ(TextOf(dialog, IDC_OPT_OUTPUTFOLDER), "C:\\Backup");
    for (const int list : {IDC_OPT_VALUES, IDC_OPT_KEYS}) {
      EXPECT_EQ(ColumnWidth(dialog, list), ClientSize(::GetDlgItem(dialog, list)).cx)
          << "short entries: the list's width";
    }

    EXPECT_TRUE(Ticked(dialog, IDC_OPT_DELETEBACKUPFILE));
    EXPECT_FALSE(Ticked(dialog, IDC_OPT_INCLUDEREMOVEMEDIA));
    EXPECT_TRUE(Ticked(dialog, IDC_OPT_INCLUDECDDRIVE));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_VALUES), Unticked(StartingOptions().IgnoreValues));
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_KEYS), Unticked({"HKEY_LOCAL_MACHINE\\Software\\Old", "Software\\Vendor"}));

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

// An entry wider than the list is cut at its edge only while the list is not scrolled: its column
// holds it whole, also after Add and Edit.
TEST_F(OptionsDialog, EveryEntryCanBeScrolledIntoViewWhole) {
  const std::string longer = "HKEY_LOCAL_MACHINE\\Software\\" + std::string(60, 'v') + "\\Run\\Updater";
  options.IgnoreValues.push_back(longer);
  options.IgnoreValueCount = 4;
  const auto holdsEvery = [](HWND dialog, int listId) {
    HWND list = ::GetDlgItem(dialog, listId);
    for (const ListRow& row : RowsOf(dialog, listId)) {
      const std::wstring text = win32::Wide(row.text);
      const auto width =
          static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
      EXPECT_GT(ColumnWidth(dialog, listId), width) << row.text;
    }
  };
  DialogScript script;
  script.Then(kOptionsCaption, [&](HWND dialog) {
    ClickTab(dialog, IDC_OPT_PAGES, 1);
    holdsEvery(dialog, IDC_OPT_VALUES);
    ClickTab(dialog, IDC_OPT_LISTPAGES, 1);
    Click(dialog, IDC_OPT_ADD);
  });
  script.Then(kEntryCaption, [&](HWND entry) {
    Type(entry, IDC_ADD_REGISTRYKEY, longer + "\\Deeper");
    Click(entry, IDOK);
  });
  script.Then(kOptionsCaption, [&](HWND dialog) {
    holdsEvery(dialog, IDC_OPT_KEYS);
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Open(script), IDCANCEL);
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
  const std::vector<std::string> values = {"HKEY_CURRENT_USER\\Software\\B\\@",
                                           "HKEY_USERS\\.DEFAULT\\Software\\C\\Three"};
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

// Remove, Add and Edit on the list in front, as AddEditAndRemoveActOnTheListInFrontOnly scripts them.
void ScriptRemoveAddAndEdit(DialogScript& script) {
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
    EXPECT_EQ(RowsOf(dialog, IDC_OPT_KEYS), (std::vector<ListRow>{{"HKEY_LOCAL_MACHINE\\Software\\Old", false},
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
}

void ScriptCancelledEditAndAdd(DialogScript& script) {
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
}

TEST_F(OptionsDialog, AddEditAndRemoveActOnTheListInFrontOnly) {
  DialogScript script;
  ScriptRemoveAddAndEdit(script);
  ScriptCancelledEditAndAdd(script);
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

TEST_F(OptionsDialog, EntryDialogSaysWhatItsListTakesAndOffersOkForThatOnly) {
  using List = TfrmRegAddRegistry::List;
  struct Case {
    const char* text;
    bool value;  // OK offered for the values list
    bool key;    // and for the keys list
  };
  const std::vector<Case> cases = {{"", false, false},
                                   {"Software\\Vendor", false, true},
                                   {"hkey_current_user\\software\\x", true, true},
                                   {"Software\\HKEY_X", true, true},
                                   {"HKEY", false, true},
                                   {"  hkey_", true, true},
                                   {" \\ ", false, false}};
  for (const List list : {List::Values, List::Keys}) {
    SCOPED_TRACE(list == List::Values ? "values" : "keys");
    DialogScript script;
    script.Then(kEntryCaption, [&](HWND entry) {
      const SIZE client = ClientSize(entry);
      EXPECT_EQ(client.cx, 392);
      EXPECT_EQ(client.cy, 201);
      EXPECT_EQ(TextOf(entry, IDC_ADD_KEYLABEL), "Registry Key");
      EXPECT_EQ(TextOf(entry, IDC_ADD_LAUNCHREGEDIT), "&Launch Registry Editor");
      EXPECT_EQ(TextOf(entry, IDC_ADD_HINT), TfrmRegAddRegistry::HintFor(list));
      for (const Case& c : cases) {
        Type(entry, IDC_ADD_REGISTRYKEY, c.text);
        EXPECT_EQ(Enabled(entry, IDOK), list == List::Values ? c.value : c.key) << "\"" << c.text << "\"";
      }
      // Enter while OK is greyed does not close the dialog.
      Type(entry, IDC_ADD_REGISTRYKEY, "");
      ::SendMessageW(entry, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      EXPECT_TRUE(::IsWindow(entry));

      Click(entry, IDC_ADD_LAUNCHREGEDIT);
      const std::vector<ShellOpenCall> opens = memory.shell.Opens();
      ASSERT_FALSE(opens.empty());
      EXPECT_EQ(opens.back().owner, reinterpret_cast<std::uintptr_t>(entry));
      EXPECT_EQ(opens.back().file, "C:\\Windows\\regedit.exe");
      EXPECT_EQ(opens.back().parameters, "");
      EXPECT_EQ(opens.back().directory, "");
      EXPECT_EQ(opens.back().show, SW_SHOW);
      Type(entry, IDC_ADD_REGISTRYKEY, "HKEY_X");
      Click(entry, IDOK);
    });
    TfrmRegAddRegistry entry(prompt, memory.platform);
    entry.RegistryKey = "start";
    entry.ForList = list;
    EXPECT_EQ(script.Run([&] { return entry.ShowModal(owner.get()); }), IDOK);
    EXPECT_EQ(entry.RegistryKey, "HKEY_X");
  }
  EXPECT_TRUE(prompt.calls.empty());
}

}  // namespace
}  // namespace tamrisk::test
