// What the main window says after a repair and its undo, and its layout at a high DPI with every
// column in view.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "repair/Repair.h"
#include "settings/RegGlobal.h"
#include "scan/Reasons.h"
#include "testkit/WinFixture.h"
#include "ui/common/Dpi.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

constexpr char kRefusedKey[] = "HKEY_CURRENT_USER\\Software";  // one level below its root: never deleted

bool UndoOffered(TfrmHivora& form) {
  HMENU action = ::GetSubMenu(::GetMenu(form.Handle()), 1);
  ::SendMessageW(form.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(action), 1);
  return (::GetMenuState(action, IDM_UNDOREPAIR, MF_BYCOMMAND) & MF_GRAYED) == 0;
}

std::string FileNameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// The panel shows text uncut at the designed window size.
void ExpectFits(HWND statusBar, int panel, const std::string& shown) {
  RECT box{};
  ::SendMessageW(statusBar, SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&box));
  const std::wstring text = win32::Wide(shown);
  HDC dc = ::GetDC(statusBar);
  const HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(statusBar, WM_GETFONT, 0, 0)));
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(statusBar, dc);
  EXPECT_LE(extent.cx, box.right - box.left) << shown;
}

// The real registry editor puts back what the repair removed; the export of the key is as before.
TEST(RepairStatusWin, TheStatusSaysWhatTheRepairDidAndUndoPutsBackWhatItRemoved) {
  const std::string name = UniqueName("undo");
  const std::string key = "HKEY_CURRENT_USER\\Software\\" + name;
  ASSERT_TRUE(ImportReg("REGEDIT4\r\n\r\n[" + key +
                        "\\App]\r\n\"Path\"=\"C:\\\\gone\\\\tool.exe\"\r\n"
                        "\"Count\"=dword:12345678\r\n\r\n[" +
                        key + "\\App\\Sub]\r\n@=\"x\"\r\n\r\n[" + key + "\\Stays]\r\n\"v\"=\"1\"\r\n"));
  const std::string before = ExportKey(key);
  ASSERT_NE(before.find("Count"), std::string::npos);

  Win32TestPlatform system;
  ScriptedPrompt prompt;
  auto form = MakeMainWindow(system.platform, prompt);
  OptionsSetting.OutputDirectory = FreshFolder(name);
  OptionsSetting.DeleteBackupFile = true;
  form->Results().AppendRows(
      {{true, ProblemId::InvalidFileOrFolder, kRefusedKey, "", rkKey, reason::FileNotFound("C:\\gone.exe")},
       {true, ProblemId::InvalidFileOrFolder, key + "\\App", "", rkKey}});
  EXPECT_FALSE(UndoOffered(*form));

  SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
  EXPECT_EQ(ExportKey(key).find("App"), std::string::npos);
  const std::string repaired = " Repaired 1 problem, kept 1 (" + FileNameOf(form->BackupFileName) + ")";
  EXPECT_EQ(PanelText(form->StatusBar(), 1), repaired + "    1 problems selected for repairing");
  ExpectFits(form->StatusBar(), 1, repaired);
  ASSERT_EQ(form->Results().RowCount(), 1u);
  EXPECT_EQ(Worded(form->Results().Row(0).reason),
            "kept: refused, it would delete more than this entry; file not found: C:\\gone.exe");
  EXPECT_TRUE(UndoOffered(*form));

  SendCommand(form->Handle(), IDM_UNDOREPAIR);
  EXPECT_EQ(ExportKey(key), before);
  EXPECT_EQ(PanelText(form->StatusBar(), 1),
            " Undone: " + FileNameOf(form->BackupFileName) + " restored    1 problems selected for repairing");
  EXPECT_EQ(::GetFileAttributesA(form->BackupFileName.c_str()), INVALID_FILE_ATTRIBUTES) << "the restored file goes";
  EXPECT_FALSE(UndoOffered(*form));
  EXPECT_TRUE(prompt.calls.empty());
  DeleteKeyTree(RootKey::CurrentUser, "Software\\" + name);
  RemoveFolder(OptionsSetting.OutputDirectory);
}

// An editor that "ends" without importing anything: the check finds the entry missing, says so, and
// keeps the file, so the undo stays offered.
TEST(RepairStatus, AnUndoWhoseEntriesDidNotComeBackKeepsTheBackupAndSaysSo) {
  MemoryPlatform memory;
  memory.files.AddFolder("C:\\Windows");
  memory.files.AddFolder("C:\\Backups");
  memory.registry.SetString(RootKey::CurrentUser, "Software\\Vendor\\Gone", "v", "1");
  memory.shell.SetProcessesEndAtOnce(true);
  ScriptedPrompt prompt;
  auto form = MakeMainWindow(memory.platform, prompt);
  OptionsSetting.OutputDirectory = "C:\\Backups";
  OptionsSetting.DeleteBackupFile = true;
  form->Results().AppendRows(
      {{true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Vendor\\Gone", "", rkKey}});
  SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
  ASSERT_TRUE(memory.files.Exists(form->BackupFileName));

  SendCommand(form->Handle(), IDM_UNDOREPAIR);
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text,
            "2 entries of the backup did not come back, the first in "
            "HKEY_CURRENT_USER\\Software\\Vendor\\Gone.\r\nThe backup file was kept:\r\n" +
                form->BackupFileName);
  EXPECT_EQ(prompt.calls[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
  EXPECT_TRUE(memory.files.Exists(form->BackupFileName));
  EXPECT_EQ(PanelText(form->StatusBar(), 1), " Undo incomplete: 2 entries did not come back, " +
                                                 FileNameOf(form->BackupFileName) +
                                                 " kept    0 problems selected for repairing");
  EXPECT_TRUE(UndoOffered(*form));
}

// The repair's own words in the window's language: the backup folder's question and the error when
// it cannot be made, the summary in the status bar and the reason shown for a row it kept (the row
// keeps the English that the log and the reports use).
TEST(RepairStatus, TheRepairSpeaksTheWindowsLanguage) {
  const std::string keptEnglish = "kept: refused, it would delete more than this entry; file not found: C:\\gone.exe";
  const struct {
    LANGID language;
    std::string question, cannotCreate, summary, kept;
  } cases[] = {
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
       "Q:\\Backup,The backup directory does not exist.\r\ncreates a new directory?", "Cannot create Q:\\Backup",
       " Repaired 1 problem, kept 1 (", keptEnglish},
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
       "Q:\\Backup: Der Sicherungsordner ist nicht vorhanden.\r\nSoll er erstellt werden?",
       "Q:\\Backup kann nicht erstellt werden", " 1 Problem repariert, 1 behalten (",
       "behalten: abgelehnt, es w\xC3\xBCrde mehr als diesen Eintrag l\xC3\xB6schen; Datei nicht gefunden: "
       "C:\\gone.exe"},
  };
  for (const auto& c : cases) {
    const Speaking speaking(c.language);
    MemoryPlatform memory;
    memory.files.AddFolder("C:\\Windows");
    memory.files.AddFolder("C:\\Backups");
    memory.registry.SetString(RootKey::CurrentUser, "Software\\Vendor\\Gone", "v", "1");
    ScriptedPrompt prompt;
    prompt.answers = {IDYES};
    auto form = MakeMainWindow(memory.platform, prompt);
    form->Results().AppendRows(
        {{true, ProblemId::InvalidFileOrFolder, kRefusedKey, "", rkKey, reason::FileNotFound("C:\\gone.exe")},
         {true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Vendor\\Gone", "", rkKey}});

    OptionsSetting.OutputDirectory = "Q:\\Backup";
    SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
    ASSERT_EQ(prompt.calls.size(), 2u);
    EXPECT_EQ(prompt.calls[0].text, c.question);
    EXPECT_EQ(prompt.calls[1].text, c.cannotCreate);
    EXPECT_EQ(PanelText(form->StatusBar(), 1).find(" " + c.cannotCreate), 0u);

    OptionsSetting.OutputDirectory = "C:\\Backups";
    SendCommand(form->Handle(), IDC_REPAIRREGISTRY);
    EXPECT_EQ(PanelText(form->StatusBar(), 1).find(c.summary + FileNameOf(form->BackupFileName) + ")"), 0u)
        << PanelText(form->StatusBar(), 1);
    ASSERT_EQ(form->Results().RowCount(), 1u);
    EXPECT_EQ(Worded(form->Results().Row(0).reason), keptEnglish);
    form->Results().Select(0);
    EXPECT_EQ(TextOf(form->ReasonPane()), c.kept);
  }
}

// ---- High DPI ----

RECT ClientRectOf(HWND child) {
  RECT box{};
  ::GetWindowRect(child, &box);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&box), 2);
  return box;
}

void ExpectPlace(HWND child, int dpi, const RECT& designed, const char* what) {
  const RECT box = ClientRectOf(child);
  EXPECT_EQ(box.left, Scaled(designed.left, dpi)) << what;
  EXPECT_EQ(box.top, Scaled(designed.top, dpi)) << what;
  if (designed.right > 0) {
    EXPECT_EQ(box.right - box.left, Scaled(designed.right, dpi)) << what;
  }
  if (designed.bottom > 0) {
    EXPECT_EQ(box.bottom - box.top, Scaled(designed.bottom, dpi)) << what;
  }
}

void ExpectNoOverlap(const std::vector<HWND>& children) {
  for (std::size_t i = 0; i < children.size(); ++i) {
    for (std::size_t j = i + 1; j < children.size(); ++j) {
      RECT a = ClientRectOf(children[i]), b = ClientRectOf(children[j]), both{};
      EXPECT_FALSE(::IntersectRect(&both, &a, &b)) << "children " << i << " and " << j << " overlap";
    }
  }
}

TEST(MainWindowDpi, DesignedSizesAndPlacesAreScaledAndNothingOverlaps) {
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    MainWindowAtDpi at(dpi);
    auto& form = at.form;
    RECT frame{};
    ::GetWindowRect(form->Handle(), &frame);
    EXPECT_EQ(frame.right - frame.left, Scaled(684, dpi));
    EXPECT_EQ(frame.bottom - frame.top, Scaled(520, dpi));
    // {left, top, width, height}; 0 for a size that follows the window.
    ExpectPlace(form->Control(IDC_BANNER), dpi, {0, 0, 0, 50}, "banner");
    ExpectPlace(form->Control(IDC_TASKS), dpi, {8, 58, 180, 16}, "tasks");
    ExpectPlace(form->Control(IDC_RESTOREREGISTRY), dpi, {14, 124, 175, 20}, "restore");
    ExpectPlace(form->Control(IDC_SECTIONS), dpi, {8, 172, 183, 16}, "sections");
    ExpectPlace(form->Tree().Handle(), dpi, {6, 192, 183, 0}, "tree");
    ExpectPlace(form->Results().Handle(), dpi, {194, 48, 0, 0}, "list");
    ExpectPlace(::GetDlgItem(form->Control(IDC_BANNER), IDC_TITLEHINT), dpi, {56, 29, 560, 16}, "hint");
    // Rows with keys far wider than the list: every column still ends inside it, and a key shows its
    // root and its last part.
    const std::string longKey =
        "HKEY_LOCAL_MACHINE\\" + std::string(200, 'k') + "\\" + std::string(200, 'm') + "\\LastPart";
    form->Results().AppendRows(
        std::vector<ProblemRow>(40, ProblemRow{false, ProblemId::InvalidFileOrFolder, longKey,
                                               "C:\\" + std::string(80, 'v') + ".exe", rkValueInPath}));
    SendCommand(form->Handle(), IDM_SELECTALL);
    RECT list{};
    ::GetClientRect(form->Results().Handle(), &list);
    int right = 0;
    for (const auto column :
         {ResultsListView::colProblem, ResultsListView::colRegistryKey, ResultsListView::colValue}) {
      EXPECT_GE(form->Results().ColumnWidth(column), Scaled(60, dpi)) << column;
      right += form->Results().ColumnWidth(column);
    }
    EXPECT_LE(right, list.right) << "the Value column is in view";
    EXPECT_EQ(form->Results().KeyAsShown(longKey), "HKEY_LOCAL_MACHINE\\...\\LastPart");
    // The list reaches two pixels into the banner by design; everything else stands apart.
    ExpectNoOverlap({form->Control(IDC_BANNER), form->Control(IDC_TASKS), form->Control(IDC_SCANREGISTRY),
                     form->Control(IDC_REPAIRREGISTRY), form->Control(IDC_RESTOREREGISTRY), form->Control(IDC_SECTIONS),
                     form->Tree().Handle(), form->StatusBar()});
    ExpectNoOverlap({form->Tree().Handle(), form->Results().Handle(), form->ReasonPane(), form->StatusBar()});

    // A dialog's layout table is scaled too: the backup hint window while its process runs.
    bool measured = false;
    ThreadTicker measure([&] {
      HWND hint = FindThreadWindowWhere([](HWND window) { return ::GetDlgItem(window, IDC_HINT) != nullptr; });
      if (!hint || measured) return;
      measured = true;
      RECT client{};
      ::GetClientRect(hint, &client);
      EXPECT_EQ(client.right, Scaled(362, dpi));
      EXPECT_EQ(client.bottom, Scaled(132, dpi));
      ExpectPlace(::GetDlgItem(hint, IDC_STOP), dpi, {267, 88, 75, 25}, "stop");
      ExpectNoOverlap({::GetDlgItem(hint, IDC_HINT), ::GetDlgItem(hint, IDC_PROGRESS), ::GetDlgItem(hint, IDC_STOP)});
      at.memory.shell.EndProcess(0);
    });
    EXPECT_TRUE(form->RunCommandWithHint("Regedit /e \"C:\\all.reg\"", "Backup registry..."));
    EXPECT_TRUE(measured);
  }
}

}  // namespace
}  // namespace tamrisk::test
