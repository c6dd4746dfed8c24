// The Task Scheduler backend on Wine's real scheduler service, which keeps each task in the root
// folder as an XML file under C:\windows\system32\Tasks. Wine 8 keeps a definition's settings and
// principal but writes neither its triggers nor its actions (its taskschd.dll has no writer for
// them), so what comes back is checked as far as the scheduler keeps it; the definitions themselves
// are checked natively.
#include "platform/win32/TaskScheduler.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "settings/Schedule.h"
#include "settings/TaskXml.h"
#include "testkit/WinFixture.h"

namespace tamrisk::test {
namespace {

using win32::Win32TaskScheduler;

std::string TaskFile(const std::string& name) {
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  return win32::Utf8(system) + "\\Tasks\\" + name;
}

bool TaskFileExists(const std::string& name) {
  return ::GetFileAttributesW(win32::Wide(TaskFile(name)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The stored definition: Windows writes UTF-16, Wine UTF-8, each with its byte order mark.
std::string TaskFileText(const std::string& name) {
  const std::string bytes = ReadTextFile(TaskFile(name));
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    return TextFromUtf16Bytes(std::vector<std::uint8_t>(bytes.begin() + 2, bytes.end()));
  }
  return bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
}

TaskTarget ThisTarget() {
  win32::Win32SystemInfo system;
  return {"C:\\Program Files\\Tamrisk\\Tamrisk.exe", system.CurrentUserSid(), system.Now()};
}

class TaskSchedulerWin : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& name : names_) {
      try {
        scheduler.DeleteTask(name);
      } catch (const TaskSchedulerError&) {
      }
    }
  }

  // A task name of this test's own, removed when the test ends.
  std::string Name(const std::string& what) {
    names_.push_back(UniqueName("Tamrisk " + what));
    return names_.back();
  }

  Win32TaskScheduler scheduler;

 private:
  std::vector<std::string> names_;
};

TEST_F(TaskSchedulerWin, RegistersEachKindAsTheSchedulerKeepsIt) {
  const std::vector<Schedule> schedules = {{ScheduleKind::Daily, 6, 30, 1, false},
                                           {ScheduleKind::Weekly, 21, 15, 2, true},
                                           {ScheduleKind::AtLogon, 12, 0, 1, false}};
  for (const Schedule& schedule : schedules) {
    const std::string name = Name("kind " + std::to_string(static_cast<int>(schedule.kind)));
    SCOPED_TRACE(name);
    ASSERT_NO_THROW(scheduler.RegisterTask(name, ScheduledTaskXml(schedule, ThisTarget()), TaskLogon::Interactive));

    // The scheduler's file and what the API hands back hold the same definition.
    ASSERT_TRUE(TaskFileExists(name));
    const std::optional<std::string> read = scheduler.ReadTask(name);
    ASSERT_TRUE(read);
    for (const std::string& xml : {*read, TaskFileText(name)}) {
      const std::optional<XmlElement> task = ParseXml(xml);
      ASSERT_TRUE(task) << xml;
      const XmlElement* settings = task->Child("Settings");
      ASSERT_TRUE(settings) << xml;
      EXPECT_EQ(settings->ChildText("StartWhenAvailable"), "true");
      EXPECT_EQ(settings->ChildText("ExecutionTimeLimit"), "PT1H");
      // Where the scheduler keeps the trigger and the action (Windows does, Wine 8 does not), they
      // read back as registered.
      const XmlElement* triggers = task->Child("Triggers");
      if (triggers && !triggers->children.empty()) {
        EXPECT_EQ(ScheduleOfTask(xml), Normalised(schedule));
      } else {
        EXPECT_EQ(ScheduleOfTask(xml).kind, ScheduleKind::Other) << "a task is there, whatever its form";
      }
    }
  }
}

TEST_F(TaskSchedulerWin, ReplacingKeepsOneTaskAndDeletingRemovesIt) {
  const std::string name = Name("replace");
  scheduler.RegisterTask(name, ScheduledTaskXml({ScheduleKind::Daily, 6, 30}, ThisTarget()), TaskLogon::Interactive);
  std::string weekly = ScheduledTaskXml({ScheduleKind::Weekly, 7, 45, 5, true}, ThisTarget());
  // A setting Wine keeps, so that the replacement shows in what is stored.
  const std::string limit = "<ExecutionTimeLimit>PT1H</ExecutionTimeLimit>";
  weekly.replace(weekly.find(limit), limit.size(), "<ExecutionTimeLimit>PT2H</ExecutionTimeLimit>");
  scheduler.RegisterTask(name, weekly, TaskLogon::Interactive);
  const std::optional<std::string> read = scheduler.ReadTask(name);
  ASSERT_TRUE(read);
  EXPECT_NE(read->find("PT2H"), std::string::npos);
  EXPECT_NE(TaskFileText(name).find("PT2H"), std::string::npos);

  scheduler.DeleteTask(name);
  EXPECT_FALSE(TaskFileExists(name));
  EXPECT_FALSE(scheduler.ReadTask(name));
  EXPECT_NO_THROW(scheduler.DeleteTask(name)) << "a task that is not there counts as deleted";
}

TEST_F(TaskSchedulerWin, TheScheduledTaskDeletedBehindTheProgramsBackReadsAsOff) {
  // The one test on the program's own task name, which it removes however it ends.
  struct RealName {
    Win32TaskScheduler& scheduler;
    ~RealName() {
      try {
        scheduler.DeleteTask(kScheduledTaskName);
      } catch (const TaskSchedulerError&) {
      }
    }
  } cleanUp{scheduler};

  ApplySchedule(scheduler, {ScheduleKind::AtLogon, 12, 0, 1, true}, ThisTarget());
  EXPECT_TRUE(TaskFileExists(kScheduledTaskName));
  EXPECT_NE(ReadSchedule(scheduler).kind, ScheduleKind::Off);

  unsigned long exitCode = 1;
  ASSERT_TRUE(RunAndWait(std::string("schtasks.exe /delete /tn \"") + kScheduledTaskName + "\" /f", 60000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(TaskFileExists(kScheduledTaskName));
  EXPECT_EQ(ReadSchedule(scheduler), Schedule{});
}

TEST_F(TaskSchedulerWin, RefusalsComeBackWithTheSystemsText) {
  const std::string name = Name("refused");
  try {
    scheduler.RegisterTask(name, "<Task><Triggers>", TaskLogon::Interactive);
    ADD_FAILURE() << "a malformed definition was taken";
  } catch (const TaskSchedulerError& error) {
    EXPECT_STRNE(error.what(), "");
  }
  EXPECT_FALSE(TaskFileExists(name));

  EXPECT_EQ(win32::ComErrorText(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)), win32::SystemMessage(ERROR_ACCESS_DENIED));
  EXPECT_EQ(win32::ComErrorText(static_cast<long>(0x8004FFFEu)), "Error 0x8004FFFE.");
}

}  // namespace
}  // namespace tamrisk::test
