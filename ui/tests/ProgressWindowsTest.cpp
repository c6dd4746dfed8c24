// The two progress windows: the bars' timer steps and the scan bar's share of each category, the scan
// window's own ending and its count of what the list will show, and the backup hint window as
// RunCommandWithHint drives it (end by itself, Stop, close box, a start that fails).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/IgnoreFilter.h"
#include "scan/RegistryViews.h"
#include "ui/dialogs/BackupHint.h"
#include "testkit/ScanHarness.h"
#include "ui/dialogs/RegProgressHint.h"
#include "ui/dialogs/ShownRowCount.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// Position after a number of timer ticks from a start.
template <typename Step>
int AfterTicks(int position, int ticks, Step step) {
  for (int i = 0; i < ticks; ++i) position += step(position);
  return position;
}

// Ticks until the position stops moving.
template <typename Step>
int TicksToRest(int position, Step step) {
  int ticks = 0;
  while (step(position) != 0) {
    position += step(position);
    ++ticks;
  }
  return ticks;
}

TEST(ProgressBars, ScanBarStepsShrinkAndStopShortOfTheEnd) {
  const auto step = &TfrmRegProgressHint::ScanBarStep;
  struct Case {
    int from;
    int ticks;
    int expected;
  };
  for (const Case& c : std::vector<Case>{{995, 4, 999},
                                         {995, 50, 999},
                                         {0, 20, 200},
                                         {200, 1, 210},
                                         {201, 1, 206},
                                         {400, 1, 405},
                                         {401, 1, 404},
                                         {700, 1, 703},
                                         {701, 1, 703},
                                         {800, 1, 802},
                                         {801, 1, 802},
                                         {0, 406, 999},
                                         {1000, 3, 1000}}) {
    EXPECT_EQ(AfterTicks(c.from, c.ticks, step), c.expected) << c.from << " + " << c.ticks << " ticks";
  }
  EXPECT_EQ(TicksToRest(0, step), 406);
}

TEST(ProgressBars, TheScanBarMovesByTheCategoriesDoneWeightedByTheirUsualTime) {
  // Groups take no time, the machine's hive walk most of it, Startup Programs little.
  const std::vector<CategoryCode> codes = test::Codes({"1", "2", "3", "4", "5", "10"});
  struct Case {
    std::size_t settled;
    int inCategory;
    int expected;
  };
  for (const Case& c : std::vector<Case>{{0, 0, 0},
                                         {2, 0, 0},
                                         {2, 500, 299},
                                         {2, 1000, 598},
                                         {3, 0, 598},
                                         {5, 0, 990},
                                         {5, 999, 999},
                                         {6, 0, 1000}}) {
    EXPECT_EQ(TfrmRegProgressHint::BarPosition(codes, c.settled, c.inCategory), c.expected)
        << c.settled << " settled, " << c.inCategory << " into the next";
  }
  EXPECT_EQ(TfrmRegProgressHint::BarPosition(test::Codes({"10", "11"}), 1, 0), 500) << "alike when none is named";
  EXPECT_EQ(TfrmRegProgressHint::BarPosition({CategoryCode::MyComputers}, 1, 0), 1000) << "nothing but a group";
}

TEST(ProgressBars, BackupBarPassesItsRangeByOneThenRests) {
  const auto step = &TfrmBackupHint::BackupBarStep;
  struct Case {
    int ticks;
    int expected;
  };
  for (const Case& c : std::vector<Case>{{30, 300}, {31, 310}, {94, 500}, {95, 501}, {200, 501}}) {
    EXPECT_EQ(AfterTicks(0, c.ticks, step), c.expected) << c.ticks << " ticks";
  }
  EXPECT_EQ(TicksToRest(0, step), 95);
}

class ProgressWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    form = MakeMainWindow(memory.platform, prompt);
  }

  MemoryPlatform memory;
  ScriptedPrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

TEST_F(ProgressWindows, ScanWindowWithNoCodesClosesByTheWorkersNotice) {
  TfrmRegProgressHint progress(*form, {});
  EXPECT_EQ(progress.ShowModal(), IDCANCEL);
  EXPECT_TRUE(form->WaitForScanWorker(5000));
  EXPECT_EQ(progress.Handle(), nullptr);
}

TEST_F(ProgressWindows, ScanWindowIsCentredOnTheMainWindowAtItsDesignedSize) {
  RECT client{}, box{}, owner{};
  bool seen = false;
  const DialogInitWatch look([&](HWND window) {
    if (TextOf(window) != "Scanning") return;
    seen = true;
    ::GetClientRect(window, &client);
    ::GetWindowRect(window, &box);
  });
  TfrmRegProgressHint progress(*form, {});
  progress.ShowModal();
  ASSERT_TRUE(seen);
  ::GetWindowRect(form->Handle(), &owner);
  EXPECT_EQ(client.right, 361);
  EXPECT_EQ(client.bottom, 166);
  EXPECT_NEAR((box.left + box.right) / 2, (owner.left + owner.right) / 2, 1);
  EXPECT_NEAR((box.top + box.bottom) / 2, (owner.top + owner.bottom) / 2, 1);
  EXPECT_TRUE(form->WaitForScanWorker(5000));
}

TEST_F(ProgressWindows, CommandThatEndsByItselfCompletes) {
  memory.shell.SetProcessesEndAtOnce(true);
  EXPECT_TRUE(form->RunCommandWithHint("Regedit /e \"C:\\all.reg\"", "Backup registry..."));
  const std::vector<FakeProcess> processes = memory.shell.Processes();
  ASSERT_EQ(processes.size(), 1u);
  EXPECT_EQ(processes[0].commandLine, "Regedit /e \"C:\\all.reg\"");
  EXPECT_FALSE(processes[0].terminated);
  EXPECT_TRUE(processes[0].released);
  EXPECT_EQ(form->BackupProcess.process, 0u);
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(ProgressWindows, StopEndsTheProgramAndTheCloseBoxOnlyTheWait) {
  struct Case {
    const char* what;
    bool stopButton;
    bool terminated;
  };
  for (const Case& c : std::vector<Case>{{"Stop", true, true}, {"close box", false, false}}) {
    std::string hint;
    bool acted = false;
    ThreadTicker act([&] {
      HWND window = FindThreadWindow("Varkon Tamrisk");
      if (acted || !window || ::GetWindow(window, GW_OWNER) != form->Handle()) return;
      acted = true;
      hint = TextOf(::GetDlgItem(window, IDC_HINT));
      if (c.stopButton) {
        ::SendMessageW(::GetDlgItem(window, IDC_STOP), BM_CLICK, 0, 0);
      } else {
        ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
    });
    EXPECT_FALSE(form->RunCommandWithHint("Regedit /s \"C:\\b.reg\"", "Restore registry...")) << c.what;
    EXPECT_EQ(hint, "Restore registry...") << c.what;
    const FakeProcess process = memory.shell.Processes().back();
    EXPECT_EQ(process.terminated, c.terminated) << c.what;
    EXPECT_TRUE(process.released) << c.what;
  }
}

TEST_F(ProgressWindows, CommandThatCannotStartIsReported) {
  memory.shell.SetStartResult(false);
  EXPECT_FALSE(form->RunCommandWithHint("Regedit /e \"C:\\all.reg\"", "Backup registry..."));
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].text, "Please check if Regedit.exe exists.");
  EXPECT_EQ(prompt.calls[0].caption, "Varkon Tamrisk");
  EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

// The scan window's count is the list's after the scan: a row per entry, whatever name the entry
// was reached by, and none the ignore lists cover, however the rows arrive in batches.
TEST(ProgressCount, CountsWhatTheListWillShowNotTheRawFinds) {
  const std::string sid = "S-1-5-21-7-7-7-1001";
  std::vector<ProblemRow> rows = {
      {true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\A\\Path", "C:\\a.exe", rkValueInPath},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_USERS\\" + sid + "\\Software\\A\\Path", "C:\\a.exe", rkValueInPath},
      {true, ProblemId::CustomControlsIssue, "HKEY_CLASSES_ROOT\\CLSID\\{1}", "", rkKey},
      {true, ProblemId::CustomControlsIssue, "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}", "", rkKey},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_USERS\\S-1-5-18\\Software\\B", "Path", rkValueInColumn},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_USERS\\.DEFAULT\\Software\\B", "Path", rkValueInColumn},
      {true, ProblemId::MissingShortcutReference, "C:\\Users\\Ann\\Desktop\\Gone.lnk", "C:\\gone.exe", rkShortcutFile},
      {true, ProblemId::MissingShortcutReference, "C:\\Users\\Ann\\Desktop\\Gone.lnk", "C:\\gone.exe", rkShortcutFile},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Ignored\\Path", "C:\\i.exe", rkValueInPath},
      {true, ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Software\\Vendor\\Old", "", rkKey},
      {true, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\C\\Path", "C:\\c.exe", rkValueInPath},
  };
  rows[1].category = CategoryCode::UsersFiles;  // the hive walk's copy of the first, found later
  const IgnoreLists ignore{{"HKEY_CURRENT_USER\\Software\\Ignored\\Path"}, {"Software\\Vendor"}, sid};

  ShownRowCount count(ignore);
  count.Add({rows.begin(), rows.begin() + 3});
  count.Add({rows.begin() + 3, rows.end()});
  VectorResults list(rows);
  DropDuplicateRows(list, sid);
  ApplyIgnoreLists(list, ignore);
  EXPECT_EQ(count.Count(), list.RowCount());
  EXPECT_EQ(count.Count(), 5u);
}

}  // namespace
}  // namespace tamrisk::test
