// The options dialog's Schedule page, driven in-process through its controls over an in-memory Task
// Scheduler: what an opening shows of the registered task, what OK registers, and that Cancel, an
// unchanged page and a refusing or unreachable scheduler change nothing.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/MemoryTaskScheduler.h"
#include "settings/Schedule.h"
#include "settings/TaskXml.h"
#include "ui/dialogs/Options.h"
#include "ui/dialogs/SchedulePage.h"
#include "ui/res/options_ids.h"
#include "ui/res/schedule_ids.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

constexpr char kSid[] = "S-1-5-21-7-8-9-1001";
constexpr int kKindButtons[] = {IDC_SCH_OFF, IDC_SCH_DAILY, IDC_SCH_WEEKLY, IDC_SCH_LOGON};

HWND PageOf(HWND dialog) { return ::GetDlgItem(dialog, IDD_SCHEDULEPAGE); }
HWND Control(HWND dialog, int id) { return ::GetDlgItem(PageOf(dialog), id); }
void Click(HWND window) { ::SendMessageW(window, BM_CLICK, 0, 0); }
bool Ticked(HWND dialog, int id) { return ::SendMessageW(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(Control(dialog, id)) != 0; }

void SetTime(HWND dialog, int hour, int minute) {
  SYSTEMTIME time{};
  ::GetLocalTime(&time);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  ::SendMessageW(Control(dialog, IDC_SCH_TIME), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

// What the page's controls show, in the terms of a schedule; kind Other when no kind is ticked.
Schedule Shown(HWND dialog) {
  Schedule shown{ScheduleKind::Other};
  for (int i = 0; i < 4; ++i) {
    if (Ticked(dialog, kKindButtons[i])) shown.kind = static_cast<ScheduleKind>(i);
  }
  SYSTEMTIME time{};
  ::SendMessageW(Control(dialog, IDC_SCH_TIME), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  shown.hour = time.wHour;
  shown.minute = time.wMinute;
  shown.dayOfWeek = static_cast<int>(::SendMessageW(Control(dialog, IDC_SCH_DAY), CB_GETCURSEL, 0, 0));
  shown.reportOnly = Ticked(dialog, IDC_SCH_REPORTONLY);
  return shown;
}

// The task as registered earlier by a copy of the program elsewhere.
std::string DefinitionOf(const Schedule& schedule) {
  return ScheduledTaskXml(schedule, {"C:\\Elsewhere\\Tamrisk.exe", kSid, {2023, 1, 1}});
}

// Which controls take input: time, day, report check box.
std::vector<bool> EnabledInputs(HWND dialog) {
  return {Enabled(dialog, IDC_SCH_TIME), Enabled(dialog, IDC_SCH_DAY), Enabled(dialog, IDC_SCH_REPORTONLY)};
}

class SchedulePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitControls();
    memory.files.AddFolder("C:\\Backup");
    memory.SetCurrentUserSid(kSid);
    options.OutputDirectory = "C:\\Backup";
  }

  void Register(const Schedule& schedule) {
    scheduler.RegisterTask(kScheduledTaskName, DefinitionOf(schedule), TaskLogon::Interactive);
  }

  // Opens the options dialog with its Schedule page in front and runs act on it once; the dialog's
  // result. A dialog that act leaves open is ended after a while, with -2.
  INT_PTR Open(const std::function<void(HWND)>& act) {
    TfrmOptions dialog(prompt, memory.platform, options, &scheduler);
    shown = &dialog;
    bool acted = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    ThreadTicker ticker([&] {
      HWND window = FindThreadWindow("Options");
      if (!window) return;
      if (!acted && ::IsWindowVisible(window)) {
        acted = true;
        dialog.ShowPage(TfrmOptions::pgSchedule);
        act(window);
      } else if (std::chrono::steady_clock::now() > deadline) {
        ::EndDialog(window, -2);
      }
    });
    const INT_PTR result = dialog.ShowModal(owner.get());
    shown = nullptr;
    return result;
  }

  MemoryPlatform memory;
  MemoryTaskScheduler scheduler;
  ScriptedPrompt prompt;
  HiddenOwner owner;
  TOptionsSetting options;
  TfrmOptions* shown = nullptr;  // the dialog Open shows
};

TEST_F(SchedulePageTest, ShowsTheRegisteredTaskAndOffersWhatItsKindUses) {
  struct Case {
    const char* what;
    std::optional<std::string> task;  // the registered definition; nullopt for none
    Schedule shown;
    std::vector<bool> inputs;  // time, day, report
  };
  const std::vector<Case> cases = {
      {"no task", std::nullopt, {ScheduleKind::Off, 12, 0, 1, false}, {false, false, false}},
      {"weekly",
       DefinitionOf({ScheduleKind::Weekly, 21, 15, 2, true}),
       {ScheduleKind::Weekly, 21, 15, 2, true},
       {true, true, true}},
      {"daily", DefinitionOf({ScheduleKind::Daily, 6, 5}), {ScheduleKind::Daily, 6, 5, 1, false}, {true, false, true}},
      {"at logon",
       DefinitionOf({ScheduleKind::AtLogon, 0, 0, 0, true}),
       {ScheduleKind::AtLogon, 12, 0, 1, true},
       {false, false, true}},
      {"changed outside",
       "<Task><Triggers><BootTrigger/></Triggers></Task>",
       {ScheduleKind::Other, 12, 0, 1, false},
       {false, false, false}},
      {"deleted behind the program's back", std::nullopt, {ScheduleKind::Off, 12, 0, 1, false}, {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.task) {
      scheduler.RegisterTask(kScheduledTaskName, *c.task, TaskLogon::Interactive);
    } else {
      scheduler.DeleteTask(kScheduledTaskName);
    }
    const int changes = scheduler.Changes();
    EXPECT_EQ(Open([&](HWND dialog) {
                EXPECT_TRUE(::IsWindowVisible(PageOf(dialog)));
                EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, IDC_OPT_OUTPUTFOLDER)));
                EXPECT_EQ(Shown(dialog), c.shown);
                EXPECT_EQ(EnabledInputs(dialog), c.inputs);
                Click(::GetDlgItem(dialog, IDCANCEL));
              }),
              IDCANCEL);
    EXPECT_EQ(scheduler.Changes(), changes);
  }
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(SchedulePageTest, EachKindTurnsOnTheInputsItUses) {
  EXPECT_EQ(Open([&](HWND dialog) {
              const std::vector<std::pair<int, std::vector<bool>>> clicks = {{IDC_SCH_WEEKLY, {true, true, true}},
                                                                             {IDC_SCH_LOGON, {false, false, true}},
                                                                             {IDC_SCH_DAILY, {true, false, true}},
                                                                             {IDC_SCH_OFF, {false, false, false}}};
              for (const auto& [button, inputs] : clicks) {
                Click(Control(dialog, button));
                EXPECT_EQ(EnabledInputs(dialog), inputs) << button;
              }
              Click(::GetDlgItem(dialog, IDCANCEL));
            }),
            IDCANCEL);
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(SchedulePageTest, OkRegistersAChangedScheduleOnly) {
  Register({ScheduleKind::Daily, 6, 30});
  const int registered = scheduler.Changes();
  // Changed, then cancelled; unchanged, then confirmed: the task is left alone.
  EXPECT_EQ(Open([&](HWND dialog) {
              Click(Control(dialog, IDC_SCH_WEEKLY));
              Click(::GetDlgItem(dialog, IDCANCEL));
            }),
            IDCANCEL);
  EXPECT_EQ(Open([&](HWND dialog) { Click(::GetDlgItem(dialog, IDOK)); }), IDOK);
  EXPECT_EQ(scheduler.Changes(), registered);

  EXPECT_EQ(Open([&](HWND dialog) {
              Click(Control(dialog, IDC_SCH_WEEKLY));
              ::SendMessageW(Control(dialog, IDC_SCH_DAY), CB_SETCURSEL, 5, 0);
              SetTime(dialog, 7, 45);
              Click(Control(dialog, IDC_SCH_REPORTONLY));
              Click(::GetDlgItem(dialog, IDOK));
            }),
            IDOK);
  EXPECT_EQ(scheduler.Changes(), registered + 1);
  EXPECT_EQ(ReadSchedule(scheduler), (Schedule{ScheduleKind::Weekly, 7, 45, 5, true}));
  // It runs this program, in its folder, for this user.
  const std::optional<XmlElement> task = ParseXml(scheduler.ReadTask(kScheduledTaskName).value_or(""));
  ASSERT_TRUE(task);
  const XmlElement* exec = task->Child("Actions")->Child("Exec");
  const std::string program = ThisProgramPath();
  EXPECT_EQ(exec->ChildText("Command"), program);
  EXPECT_EQ(exec->ChildText("WorkingDirectory"), program.substr(0, program.find_last_of('\\')));
  EXPECT_EQ(task->Child("Principals")->Child("Principal")->ChildText("UserId"), kSid);

  EXPECT_EQ(Open([&](HWND dialog) {
              Click(Control(dialog, IDC_SCH_OFF));
              Click(::GetDlgItem(dialog, IDOK));
            }),
            IDOK);
  EXPECT_FALSE(scheduler.ReadTask(kScheduledTaskName));
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(SchedulePageTest, ARefusingSchedulerKeepsTheDialogOpenWithNothingStored) {
  Register({ScheduleKind::AtLogon});
  EXPECT_EQ(Open([&](HWND dialog) {
              ::SetWindowTextW(::GetDlgItem(dialog, IDC_OPT_OUTPUTFOLDER), L"C:\\");
              Click(Control(dialog, IDC_SCH_DAILY));
              scheduler.Refuse("Access is denied.");
              Click(::GetDlgItem(dialog, IDOK));
              ASSERT_EQ(prompt.calls.size(), 1u);
              EXPECT_EQ(prompt.calls[0].text,
                        "The schedule could not be changed in the Task Scheduler:\r\nAccess is denied.");
              EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
              EXPECT_TRUE(::IsWindow(dialog));
              EXPECT_TRUE(::IsWindowVisible(PageOf(dialog)));
              EXPECT_EQ(options.OutputDirectory, "C:\\Backup") << "nothing stored";
              // Once the scheduler takes it, OK goes through.
              scheduler.Refuse(std::nullopt);
              Click(::GetDlgItem(dialog, IDOK));
            }),
            IDOK);
  EXPECT_EQ(ReadSchedule(scheduler).kind, ScheduleKind::Daily);
  EXPECT_EQ(options.OutputDirectory, "C:\\");
}

TEST_F(SchedulePageTest, ASchedulerThatDropsWhatWasRegisteredIsNamedAtOk) {
  Register({ScheduleKind::AtLogon});
  scheduler.DropTriggersAndActions(true);
  EXPECT_EQ(Open([&](HWND dialog) {
              Click(Control(dialog, IDC_SCH_DAILY));
              Click(::GetDlgItem(dialog, IDOK));
              ASSERT_EQ(prompt.calls.size(), 1u);
              EXPECT_EQ(prompt.calls[0].text.rfind("This system's Task Scheduler did not keep the schedule", 0), 0u)
                  << prompt.calls[0].text;
              EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
              EXPECT_TRUE(::IsWindowVisible(PageOf(dialog)));
              // Off removes the task the scheduler spoiled, and OK goes through.
              Click(Control(dialog, IDC_SCH_OFF));
              Click(::GetDlgItem(dialog, IDOK));
            }),
            IDOK);
  EXPECT_FALSE(scheduler.ReadTask(kScheduledTaskName));
  EXPECT_EQ(prompt.calls.size(), 1u);
}

TEST_F(SchedulePageTest, AnUnreachableSchedulerGreysThePageAndSaysSoOnce) {
  Register({ScheduleKind::Weekly, 21, 15, 2, true});
  scheduler.Refuse("The RPC server is unavailable.");
  EXPECT_EQ(Open([&](HWND dialog) {
              ASSERT_EQ(prompt.calls.size(), 1u) << "said when the page is shown";
              EXPECT_EQ(prompt.calls[0].text,
                        "The Task Scheduler cannot be reached, so the schedule can be neither shown nor changed:\r\n"
                        "The RPC server is unavailable.");
              EXPECT_EQ(prompt.calls[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
              for (int id : kKindButtons) {
                EXPECT_FALSE(Ticked(dialog, id)) << id;
                EXPECT_FALSE(Enabled(dialog, id)) << id;
              }
              EXPECT_EQ(EnabledInputs(dialog), (std::vector<bool>{false, false, false}));
              // The General page and back: no second box. The other options are still stored.
              shown->ShowPage(TfrmOptions::pgGeneral);
              shown->ShowPage(TfrmOptions::pgSchedule);
              ::SetWindowTextW(::GetDlgItem(dialog, IDC_OPT_OUTPUTFOLDER), L"C:\\");
              Click(::GetDlgItem(dialog, IDOK));
            }),
            IDOK);
  EXPECT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(options.OutputDirectory, "C:\\");
  scheduler.Refuse(std::nullopt);
  EXPECT_EQ(ReadSchedule(scheduler), (Schedule{ScheduleKind::Weekly, 21, 15, 2, true}));
}

}  // namespace
}  // namespace tamrisk::test
