// The installer's switches on the memory platform and scheduler.
#include "unattended/InstallerSwitches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/MemoryTaskScheduler.h"

namespace tamrisk {
namespace {

TEST(ScheduleFromSwitches, ReadsTheInstallersPropertiesAndRefusesTheRest) {
  struct Case {
    std::vector<std::string> values;
    std::optional<Schedule> expected;  // nullopt: refused
  } cases[] = {
      {{"weekly", "", "1"}, Schedule{ScheduleKind::Weekly, 12, 0, 1, true}},
      {{"Daily", "03:30", ""}, Schedule{ScheduleKind::Daily, 3, 30, 1, false}},
      {{"DAILY", "7:05", "0"}, Schedule{ScheduleKind::Daily, 7, 5, 1, false}},
      {{"logon", "", "1"}, Schedule{ScheduleKind::AtLogon, 12, 0, 1, true}},
      {{"logon"}, Schedule{ScheduleKind::AtLogon, 12, 0, 1, false}},
      {{"off", "", ""}, Schedule{}},
      {{"", "", ""}, std::nullopt},
      {{"monthly", "", ""}, std::nullopt},
      {{"daily", "24:00", ""}, std::nullopt},
      {{"daily", "12:60", ""}, std::nullopt},
      {{"daily", "12", ""}, std::nullopt},
      {{"daily", "1:2", ""}, std::nullopt},
      {{"daily", "+1:20", ""}, std::nullopt},
      {{"daily", "", "yes"}, std::nullopt},
      {{"daily", "", "1", "extra"}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.values));
    std::string error;
    EXPECT_EQ(ScheduleFromSwitches(c.values, error), c.expected);
    EXPECT_EQ(error.empty(), c.expected.has_value()) << error;
  }
}

TEST(InstallerSwitches, SetScheduleRegistersTheTaskAndUninstallTakesAwayWhatTheProgramMade) {
  MemoryPlatform memory;
  MemoryTaskScheduler scheduler;
  const std::string folder = "C:\\Program Files\\Tamrisk\\";
  memory.system.SetExecutableFolder(folder);
  memory.files.AddFile(folder + "Tamrisk.exe");
  const TaskTarget target{folder + "Tamrisk.exe", "S-1-5-21-1", {2024, 5, 17, 10, 20, 30}};
  std::string error;

  EXPECT_EQ(RunSetSchedule(scheduler, {"weekly", "", "1"}, target, error), 0) << error;
  EXPECT_EQ(ReadSchedule(scheduler), (Schedule{ScheduleKind::Weekly, 12, 0, 1, true}));
  EXPECT_EQ(RunSetSchedule(scheduler, {"hourly", "", ""}, target, error), 1);
  EXPECT_NE(error.find("\"hourly\""), std::string::npos) << error;
  EXPECT_EQ(ReadSchedule(scheduler).kind, ScheduleKind::Weekly) << "a refused value changes nothing";

  memory.files.AddFile(folder + "options.ini");
  memory.files.AddFile(folder + "Tamrisk.log");
  memory.files.AddFolder(folder + "Backup");
  error.clear();
  // A newer version replacing this one keeps the task and the settings.
  EXPECT_EQ(RunUninstall(memory.platform, scheduler, true, error), 0) << error;
  EXPECT_EQ(ReadSchedule(scheduler).kind, ScheduleKind::Weekly);
  EXPECT_TRUE(memory.files.Exists(folder + "options.ini"));

  EXPECT_EQ(RunUninstall(memory.platform, scheduler, false, error), 0) << error;
  EXPECT_EQ(ReadSchedule(scheduler).kind, ScheduleKind::Off);
  for (const char* gone : {"options.ini", "Tamrisk.log", "Backup"}) EXPECT_FALSE(memory.files.Exists(folder + gone));
  EXPECT_TRUE(memory.files.Exists(folder + "Tamrisk.exe")) << "the package removes its own files";

  // Backups are never deleted; a scheduler that refuses is reported, and the files still go.
  memory.files.AddFile(folder + "Backup\\Backup20240517102030.reg");
  memory.files.AddFile(folder + "options.ini");
  scheduler.Refuse("The service is not running.");
  EXPECT_EQ(RunUninstall(memory.platform, scheduler, false, error), 1);
  EXPECT_NE(error.find("The service is not running."), std::string::npos) << error;
  EXPECT_TRUE(memory.files.Exists(folder + "Backup\\Backup20240517102030.reg"));
  EXPECT_FALSE(memory.files.Exists(folder + "options.ini"));
}

}  // namespace
}  // namespace tamrisk
