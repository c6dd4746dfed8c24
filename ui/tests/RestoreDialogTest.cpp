// The restore dialog: which files it lists and how (order, size and date texts), a missing folder,
// Delete and the row selected after it, restores with and without deleting the file, the folder
// picker and the shell; and a repair's backup put back by the real registry editor.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "repair/BackupRecord.h"
#include "repair/RegFile.h"
#include "repair/Repair.h"
#include "settings/RegGlobal.h"
#include "testkit/WinFixture.h"
#include "ui/dialogs/Restore.h"
#include "ui/res/resource.h"
#include "ui/res/restore_ids.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

using test::HiddenOwner;

constexpr char kFolder[] = "C:\\Backups";

// Opens the dialog, runs act once the dialog has listed its folder and takes input, then closes it.
void WithDialog(TfrmRestore& dialog, HWND owner, const std::function<void()>& act) {
  bool acted = false;
  ThreadTicker tick([&] {
    if (acted || !dialog.Handle() || !::IsWindowEnabled(dialog.Handle())) return;
    acted = true;
    act();
    ::PostMessageW(dialog.Handle(), WM_COMMAND, IDC_RESTORE_CLOSE, 0);
  });
  EXPECT_EQ(dialog.ShowModal(owner), IDCANCEL);
  EXPECT_TRUE(acted);
}

std::vector<std::string> Column(const TfrmRestore& dialog, int column) {
  std::vector<std::string> texts;
  for (int row = 0; row < dialog.RowCount(); ++row) texts.push_back(dialog.CellText(row, column));
  return texts;
}

bool ButtonEnabled(const TfrmRestore& dialog, int id) {
  return ::IsWindowEnabled(::GetDlgItem(dialog.Handle(), id)) != FALSE;
}

// What the user's locale makes of a local time: short date, blank, long time.
std::string LocaleText(const SYSTEMTIME& time, bool withTime) {
  wchar_t date[128] = {}, clock[128] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, std::size(date));
  if (!withTime) return win32::Utf8(date);
  ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, std::size(clock));
  return win32::Utf8(date) + " " + win32::Utf8(clock);
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  return time;
}

void SetLocalWriteTime(const std::string& path, const SYSTEMTIME& local) {
  FILETIME localTime{}, utc{};
  ::SystemTimeToFileTime(&local, &localTime);
  ::LocalFileTimeToFileTime(&localTime, &utc);
  win32::UniqueHandle file(
      ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &utc)) << path;
}

// Files on the real disk: only files named as the repair names its backups (any letter case, hidden
// too) list, newest stamp first, with their sizes and dates; other ".reg" files do not.
TEST(RestoreListing, ListsBackupFilesByNameDescendingWithSizeAndDate) {
  InitControls();
  const std::string folder = FreshFolder(UniqueName("h9"));
  struct File {
    const char* name;
    std::size_t size;
  };
  const std::vector<File> files{{"Backup20230101120000.reg", 1},
                                {"Backup20240101120000.reg", 1024},
                                {"b.Reg", 0},
                                {"_under.reg", 1025},
                                {"backup20231231235959.REG", 1025},
                                {"Backup20250101120000.reg", 1048576},
                                {"Backup2025010112000.reg", 10},
                                {"notes.txt", 10},
                                {"Backup20260101120000.reg.old", 10},
                                {"reg", 10}};
  for (const File& file : files) ASSERT_TRUE(WriteTextFile(folder + "\\" + file.name, std::string(file.size, 'x')));
  ASSERT_TRUE(::CreateDirectoryA((folder + "\\Backup20270101120000.reg").c_str(), nullptr));
  ::SetFileAttributesA((folder + "\\Backup20230101120000.reg").c_str(), FILE_ATTRIBUTE_HIDDEN);
  // Seconds count in twos, as file dates do; a time of exactly midnight shows the date alone.
  SetLocalWriteTime(folder + "\\Backup20240101120000.reg", At(2024, 1, 1, 12, 0, 1));
  SetLocalWriteTime(folder + "\\backup20231231235959.REG", At(2023, 12, 31, 0, 0, 1));

  win32::Win32Platform system;
  ScriptedPrompt prompt;
  OptionsSetting.OutputDirectory = folder;
  HiddenOwner owner;
  TfrmRestore dialog(system.platform, prompt, [](const std::string&, const std::string&) { return false; });
  WithDialog(dialog, owner.get(), [&] {
    EXPECT_EQ(dialog.FolderText(), folder);
    EXPECT_EQ(Column(dialog, TfrmRestore::colFile),
              (std::vector<std::string>{"Backup20250101120000.reg", "Backup20240101120000.reg",
                                        "backup20231231235959.REG", "Backup20230101120000.reg"}));
    EXPECT_EQ(Column(dialog, TfrmRestore::colSize), (std::vector<std::string>{"1,024 KB", "1 KB", "2 KB", "1 KB"}));
    EXPECT_EQ(dialog.CellText(1, TfrmRestore::colDate), LocaleText(At(2024, 1, 1, 12, 0, 0), true));
    EXPECT_EQ(dialog.CellText(2, TfrmRestore::colDate), LocaleText(At(2023, 12, 31, 0, 0, 0), false));
    // The Date column shows a date with its time whole.
    HWND list = ::GetDlgItem(dialog.Handle(), IDC_RESTORE_LIST);
    const std::wstring date = win32::Wide(dialog.CellText(1, TfrmRestore::colDate));
    EXPECT_GT(::SendMessageW(list, LVM_GETCOLUMNWIDTH, TfrmRestore::colDate, 0),
              ::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(date.c_str())));
    EXPECT_EQ(dialog.SelectedIndex(), -1);
    EXPECT_FALSE(ButtonEnabled(dialog, IDC_RESTORE_RESTORE));
    EXPECT_FALSE(ButtonEnabled(dialog, IDC_RESTORE_DELETE));
  });
  EXPECT_TRUE(prompt.calls.empty());
  RemoveFolder(folder);
}

class RestoreDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    InitControls();
    OptionsSetting = TOptionsSetting{};
    OptionsSetting.OutputDirectory = kFolder;
    OptionsSetting.DeleteBackupFile = true;
    memory.files.AddFolder(kFolder);
  }

  // A dialog whose runner records each command and answers runResult.
  std::unique_ptr<TfrmRestore> MakeDialog() {
    return std::make_unique<TfrmRestore>(
        memory.platform, prompt, [this](const std::string& command, const std::string& hint) {
          runs.push_back({command, hint, ::IsWindowEnabled(dialog->Handle()) != FALSE});
          return runResult;
        });
  }

  struct Run {
    std::string command;
    std::string hint;
    bool dialogEnabled;
  };

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  HiddenOwner owner;
  std::unique_ptr<TfrmRestore> dialog;
  std::vector<Run> runs;
  bool runResult = true;
};

TEST_F(RestoreDialog, MissingFolderIsReportedAndListsNothing) {
  memory.files.AddFile("C:\\Backups\\Backup20240101120000.reg");
  OptionsSetting.OutputDirectory = "C:\\Backups\\gone";
  dialog = MakeDialog();
  WithDialog(*dialog, owner.get(), [&] {
    EXPECT_EQ(dialog->FolderText(), "C:\\Backups\\gone");
    EXPECT_EQ(dialog->RowCount(), 0);
    EXPECT_FALSE(ButtonEnabled(*dialog, IDC_RESTORE_RESTORE));
  });
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text, "The backup directory does not exist.");
  EXPECT_EQ(prompt.calls[0].caption, "Varkon Tamrisk");
  EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(RestoreDialog, DeleteRemovesTheFileAndSelectsTheRowInItsPlace) {
  struct Case {
    const char* what;
    std::vector<std::string> files;  // as listed
    int deleted;
    bool undeletable;
    std::vector<std::string> left;
    int selectedAfter;
  };
  const std::string c3 = "Backup20240103000000.reg", b2 = "Backup20240102000000.reg", a1 = "Backup20240101000000.reg";
  const std::vector<std::string> three{c3, b2, a1};
  for (const Case& c : std::vector<Case>{
           {"first of three", three, 0, false, {b2, a1}, 0},
           {"middle of three", three, 1, false, {c3, a1}, 1},
           {"last of three", three, 2, false, {c3, b2}, 1},
           {"only row", {a1}, 0, false, {}, -1},
           {"file that stays", three, 1, true, three, 1},
       }) {
    MemoryPlatform fresh;
    fresh.files.AddFolder(kFolder);
    for (const std::string& name : c.files) fresh.files.AddFile(std::string(kFolder) + "\\" + name, "x");
    const std::string target = std::string(kFolder) + "\\" + c.files[static_cast<std::size_t>(c.deleted)];
    fresh.files.SetUndeletable(target, c.undeletable);
    TfrmRestore restore(fresh.platform, prompt, [](const std::string&, const std::string&) { return true; });
    WithDialog(restore, owner.get(), [&] {
      restore.SelectRow(c.deleted);
      ::SendMessageW(::GetDlgItem(restore.Handle(), IDC_RESTORE_DELETE), BM_CLICK, 0, 0);
      EXPECT_EQ(Column(restore, TfrmRestore::colFile), c.left) << c.what;
      EXPECT_EQ(restore.SelectedIndex(), c.selectedAfter) << c.what;
      EXPECT_EQ(ButtonEnabled(restore, IDC_RESTORE_DELETE), c.selectedAfter >= 0) << c.what;
      EXPECT_EQ(ButtonEnabled(restore, IDC_RESTORE_RESTORE), c.selectedAfter >= 0) << c.what;
    });
    EXPECT_EQ(fresh.files.Exists(target), c.undeletable) << c.what;
    EXPECT_TRUE(fresh.files.RecycledPaths().empty()) << c.what;
  }
  EXPECT_TRUE(prompt.calls.empty());
}

// Restore on the selected row, by its button or by a double click on the row.
void PressRestore(TfrmRestore& dialog, bool byDoubleClick) {
  if (!byDoubleClick) {
    ::SendMessageW(::GetDlgItem(dialog.Handle(), IDC_RESTORE_RESTORE), BM_CLICK, 0, 0);
    return;
  }
  NMITEMACTIVATE click{};
  click.hdr = {::GetDlgItem(dialog.Handle(), IDC_RESTORE_LIST), IDC_RESTORE_LIST, NM_DBLCLK};
  click.iItem = dialog.SelectedIndex();
  ::SendMessageW(dialog.Handle(), WM_NOTIFY, IDC_RESTORE_LIST, reinterpret_cast<LPARAM>(&click));
}

// One message box that begins with warning, or none when warning is "".
void ExpectWarning(const ScriptedPrompt& prompt, const char* warning, const char* what) {
  if (!*warning) {
    EXPECT_TRUE(prompt.calls.empty()) << what;
    return;
  }
  ASSERT_EQ(prompt.calls.size(), 1u) << what;
  EXPECT_EQ(prompt.calls[0].text.rfind(warning, 0), 0u) << prompt.calls[0].text;
}

constexpr char kBack[] = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Here\"=\"x\"\r\n";
// kBack with one more blank line: the same entries in a file not on record.
constexpr char kPlanted[] = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Here\"=\"x\"\r\n\r\n";
constexpr char kNotBack[] = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Gone\"=\"x\"\r\n";

TEST_F(RestoreDialog, RestoreImportsTheFileAndDeletesItOnlyAfterACompletedRunWhenAsked) {
  struct Case {
    const char* what;
    std::string folder;
    bool ended;
    bool deleteAfter;
    bool byDoubleClick;
    bool fileLeft;
    const char* contents = "REGEDIT4\r\n";
    const char* warning = "";  // the start of the message box, when one is due
    const char* summary = "";  // what the dialog says it did, when the case checks it
    int answer = IDYES;        // to the question before the restore
    bool recorded = true;      // the file's bytes are on record as a backup this account wrote
    int warningAnswer = IDNO;  // to the warning about a file not on record
  };
  // The editor "ended by itself" in the runner without importing anything: only what the registry
  // already holds counts as back.
  memory.registry.SetString(RootKey::CurrentUser, "Software\\TamriskBack", "Here", "x");
  for (const Case& c : std::vector<Case>{
           {"completed, delete set", "C:\\Backups", true, true, false, false},
           {"completed, delete not set", "C:\\Backups", true, false, false, true},
           {"stopped, delete set", "C:\\Backups", false, true, false, true},
           {"folder with its backslash", "C:\\Backups\\", true, true, false, false},
           {"double click", "C:\\Backups", true, true, true, false},
           {"everything back", "C:\\Backups", true, true, false, false, kBack, "",
            "Restored 2 entries from Backup20230101120000.reg; the file was deleted"},
           {"a value not back", "C:\\Backups", true, true, false, true, kNotBack,
            "1 entries of the backup did not come back, the first in HKEY_CURRENT_USER\\Software\\TamriskBack.",
            "Restored from Backup20230101120000.reg, but 1 of 2 entries did not come back; the file was kept"},
           {"the question answered No", "C:\\Backups", true, true, false, true, kBack, "", "", IDNO},
           {"not a registry file: refused before the import", "C:\\Backups", true, true, false, true, "garbage",
            "This file is not a backup of Tamrisk (it is not a registry file), so it was not restored:\r\n"
            "C:\\Backups\\Backup20230101120000.reg"},
           {"a file not on record, the warning answered No", "C:\\Backups", true, true, false, true, kPlanted,
            "Tamrisk did not write this file",
            "Backup20230101120000.reg is not a backup of Tamrisk; nothing was restored", IDYES, false},
           {"a file not on record, the warning answered Yes", "C:\\Backups", true, true, false, false, kPlanted,
            "Tamrisk did not write this file", "Restored 2 entries from Backup20230101120000.reg; the file was deleted",
            IDYES, false, IDYES},
       }) {
    memory.files.AddFile("C:\\Backups\\Backup20240101120000.reg", "REGEDIT4\r\n");
    memory.files.AddFile("C:\\Backups\\Backup20230101120000.reg", c.contents);
    prompt.calls.clear();
    if (c.recorded) RecordBackup(memory.registry, Sha256Hex(c.contents), "Backup20230101120000.reg");
    prompt.answers = {c.answer, c.warningAnswer};
    OptionsSetting.OutputDirectory = c.folder;
    OptionsSetting.DeleteBackupFile = c.deleteAfter;
    runResult = c.ended;
    runs.clear();
    dialog = MakeDialog();
    WithDialog(*dialog, owner.get(), [&] {
      dialog->SelectRow(1);
      PressRestore(*dialog, c.byDoubleClick);
      EXPECT_EQ(dialog->RowCount(), c.fileLeft ? 2 : 1) << c.what;
      EXPECT_TRUE(::IsWindowEnabled(dialog->Handle())) << c.what;
      if (*c.summary) {
        EXPECT_EQ(TextOf(::GetDlgItem(dialog->Handle(), IDC_RESTORE_STATUS)), c.summary) << c.what;
      }
    });
    ASSERT_FALSE(prompt.calls.empty()) << c.what;
    EXPECT_EQ(prompt.calls[0].text,
              "Restore the registry entries saved in Backup20230101120000.reg?\r\nThey are written back into the "
              "registry as the file holds them.")
        << c.what;
    prompt.calls.erase(prompt.calls.begin());
    if (c.answer == IDNO) {
      EXPECT_TRUE(runs.empty() && prompt.calls.empty() && dialog->LastResult.empty()) << c.what;
      continue;
    }
    EXPECT_EQ(dialog->LastResult.empty(), false) << c.what;
    const bool refused =
        std::string(c.warning).starts_with("This file is not") || (!c.recorded && c.warningAnswer != IDYES);
    ASSERT_EQ(runs.size(), refused ? 0u : 1u) << c.what;
    if (!refused) {
      EXPECT_EQ(runs[0].command, "\"C:\\Windows\\regedit.exe\" /s \"C:\\Backups\\Backup20230101120000.reg\"") << c.what;
      EXPECT_EQ(runs[0].hint, "Restore registry...") << c.what;
      EXPECT_FALSE(runs[0].dialogEnabled) << c.what << ": the dialog took input during the import";
    }
    EXPECT_EQ(memory.files.Exists("C:\\Backups\\Backup20230101120000.reg"), c.fileLeft) << c.what;
    ExpectWarning(prompt, c.warning, c.what);
    EXPECT_TRUE(memory.files.Exists("C:\\Backups\\Backup20240101120000.reg")) << c.what;
  }
}

TEST_F(RestoreDialog, BrowseListsThePickedFolderAndKeepsTheBackupFolder) {
  memory.files.AddFile("C:\\Backups\\Backup20240101000000.reg");
  memory.files.AddFile("C:\\Other\\Backup20240102000000.reg");
  memory.files.AddFile("C:\\Other\\BACKUP20240103000000.REG");
  memory.files.AddFile("C:\\Other\\planted.reg");
  memory.shell.QueueFolderAnswer(std::nullopt);
  memory.shell.QueueFolderAnswer(std::string("C:\\Other"));
  dialog = MakeDialog();
  WithDialog(*dialog, owner.get(), [&] {
    dialog->SelectRow(0);
    dialog->bBrowseFolderClick();  // cancelled
    EXPECT_EQ(dialog->FolderText(), "C:\\Backups");
    EXPECT_EQ(Column(*dialog, TfrmRestore::colFile), std::vector<std::string>{"Backup20240101000000.reg"});
    dialog->bBrowseFolderClick();
    EXPECT_EQ(dialog->FolderText(), "C:\\Other");
    EXPECT_EQ(Column(*dialog, TfrmRestore::colFile),
              (std::vector<std::string>{"BACKUP20240103000000.REG", "Backup20240102000000.reg"}));
    EXPECT_FALSE(ButtonEnabled(*dialog, IDC_RESTORE_DELETE));
    ::SendMessageW(::GetDlgItem(dialog->Handle(), IDC_RESTORE_OPENDIR), BM_CLICK, 0, 0);
    const std::vector<ShellOpenCall> opens = memory.shell.Opens();
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].owner, reinterpret_cast<std::uintptr_t>(dialog->Handle()));
    EXPECT_EQ(opens[0].file, "C:\\Other");
    EXPECT_EQ(opens[0].parameters, "");
    EXPECT_EQ(opens[0].show, SW_SHOW);
  });
  EXPECT_EQ(OptionsSetting.OutputDirectory, "C:\\Backups");
  const std::vector<FolderPickCall> picks = memory.shell.FolderPicks();
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[1].title, "Please select the directory to add");
  EXPECT_EQ(picks[1].startPath, "");
}

// A key with a text value "Path" and a number "Count" in the current user's hive.
void MakeKeyWithValues(const std::string& key, const char* text, DWORD number) {
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  win32::UniqueRegKey sub(raw);
  ::RegSetValueExA(sub.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
  ::RegSetValueExA(sub.get(), "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

void ExpectKeyWithValues(const std::string& key, const char* text, DWORD number) {
  char restored[64] = {};
  DWORD size = sizeof restored;
  EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Path", RRF_RT_REG_SZ, nullptr, restored, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(restored, text);
  DWORD count = 0;
  size = sizeof count;
  ::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Count", RRF_RT_REG_DWORD, nullptr, &count, &size);
  EXPECT_EQ(count, number);
}

// The repair's backup file, imported by the real registry editor through the main window's runner.
TEST(RestoreDialogWin, RepairBackupIsRestoredByTheRegistryEditor) {
  for (const bool deleteAfter : {true, false}) {
    const std::string name = UniqueName(deleteAfter ? "h9del" : "h9keep");
    const std::string key = "Software\\" + name;
    const std::string folder = FreshFolder(name);
    const char text[] = "C:\\gone\\tool.exe";
    const DWORD number = 0x12345678;
    MakeKeyWithValues(key + "\\Sub", text, number);
    if (::testing::Test::HasFatalFailure()) return;

    Win32TestPlatform system;
    VectorResults results(
        {ProblemRow{true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\" + key + "\\Sub", "", rkKey}});
    const std::string backup = NewBackupFileName(system.platform, folder);
    RepairRows(system.platform, results, backup);
    ASSERT_TRUE(results.rows.empty());

    ScriptedPrompt prompt;
    std::unique_ptr<TfrmHivora> form = MakeMainWindow(system.platform, prompt);
    OptionsSetting.OutputDirectory = folder;
    OptionsSetting.DeleteBackupFile = deleteAfter;
    TfrmRestore restore(system.platform, prompt, [&](const std::string& command, const std::string& hint) {
      return form->RunCommandWithHint(command, hint);
    });
    prompt.answers.push_back(IDYES);
    WithDialog(restore, form->Handle(), [&] {
      ASSERT_EQ(restore.RowCount(), 1);
      restore.SelectRow(0);
      restore.aRestoreExecute();
      EXPECT_EQ(restore.RowCount(), deleteAfter ? 0 : 1);
    });

    ExpectKeyWithValues(key + "\\Sub", text, number);
    EXPECT_EQ(::GetFileAttributesA(backup.c_str()) != INVALID_FILE_ATTRIBUTES, !deleteAfter) << deleteAfter;
    EXPECT_EQ(prompt.calls.size(), 1u) << "only the question";
    DeleteKeyTree(RootKey::CurrentUser, key);
    RemoveFolder(folder);
  }
}

// Whoever can write the backup folder can put a file there, or over the last backup, that adds what
// they like: neither the undo nor the restore dialog imports it without the warning, and after a No
// nothing of it reaches the registry.
TEST(RestoreDialogWin, APlantedFileIsNotImportedByUndoOrRestoreWithoutTheWarning) {
  const std::string name = UniqueName("planted");
  const std::string key = "HKEY_CURRENT_USER\\Software\\" + name;
  ASSERT_TRUE(ImportReg("REGEDIT4\r\n\r\n[" + key + "\\App]\r\n\"Path\"=\"C:\\\\gone\\\\tool.exe\"\r\n"));
  Win32TestPlatform system;
  ScriptedPrompt prompt;
  auto form = MakeMainWindow(system.platform, prompt);
  OptionsSetting.OutputDirectory = FreshFolder(name);
  OptionsSetting.DeleteBackupFile = true;
  form->Results().AppendRows({{true, ProblemId::InvalidFileOrFolder, key + "\\App", "", rkKey}});
  SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
  ASSERT_TRUE(system.platform.files.PathIsFile(form->BackupFileName));
  const std::string planted =
      "Windows Registry Editor Version 5.00\r\n\r\n[" + key + "\\Run]\r\n\"Planted\"=\"C:\\\\evil.exe\"\r\n";
  ASSERT_TRUE(WriteTextFile(form->BackupFileName, RegFileBytes(planted, true)));

  prompt.answers = {IDNO};
  SendCommand(form->Handle(), IDM_UNDOREPAIR);
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text.rfind("Tamrisk did not write this file", 0), 0u) << prompt.calls[0].text;
  EXPECT_NE(prompt.calls[0].text.find(key + "\\Run\r\n    \"Planted\" = \"C:\\evil.exe\""), std::string::npos)
      << prompt.calls[0].text;

  prompt.calls.clear();
  prompt.answers = {IDYES, IDNO};
  TfrmRestore restore(system.platform, prompt, [&](const std::string& command, const std::string& hint) {
    return form->RunCommandWithHint(command, hint);
  });
  WithDialog(restore, form->Handle(), [&] {
    ASSERT_EQ(restore.RowCount(), 1);
    restore.SelectRow(0);
    restore.aRestoreExecute();
    EXPECT_EQ(restore.RowCount(), 1);
  });
  ASSERT_EQ(prompt.calls.size(), 2u);
  EXPECT_EQ(prompt.calls[1].text.rfind("Tamrisk did not write this file", 0), 0u) << prompt.calls[1].text;
  const std::string after = ExportKey(key);
  EXPECT_EQ(after.find("evil.exe"), std::string::npos) << "the planted file reached the registry:\n" << after;
  EXPECT_EQ(after.find("\\App]"), std::string::npos) << after;
  DeleteKeyTree(RootKey::CurrentUser, "Software\\" + name);
  RemoveFolder(OptionsSetting.OutputDirectory);
}

}  // namespace
}  // namespace tamrisk::test
