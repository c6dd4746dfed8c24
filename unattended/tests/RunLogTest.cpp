#include "unattended/RunLog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/memory/MemoryPlatform.h"

namespace tamrisk {
namespace {

TEST(RunLog, OneLinePerRunWithWhatAnAdministratorNeeds) {
  const LocalDateTime when{2026, 12, 7, 3, 4, 5};
  RunLogEntry clean;
  clean.mode = "-cleanonce";
  clean.scheduled = true;
  clean.categories = {"3", "9"};
  clean.found = 12;
  clean.repaired = 10;
  clean.kept = 2;
  clean.backupFile = "C:\\Tamrisk\\Backup\\Backup20261207030405.reg";
  clean.incomplete = {"Shared DLLs"};
  clean.exitCode = 2;
  EXPECT_EQ(FormatRunLogLine(when, clean),
            "2026-12-07 03:04:05  -cleanonce  scheduled  categories 3,9  found 12  repaired 10  kept 2  "
            "backup C:\\Tamrisk\\Backup\\Backup20261207030405.reg  incomplete: Shared DLLs  exit 2\r\n");

  RunLogEntry report;
  report.mode = "-report";
  report.exitCode = 1;
  report.error = "Access is denied.\r\nC:\\r.csv";
  EXPECT_EQ(FormatRunLogLine(when, report),
            "2026-12-07 03:04:05  -report  categories none  found 0  exit 1  error: Access is denied.  C:\\r.csv\r\n");
}

TEST(RunLog, AppendsBesideTheOptionsFile) {
  MemoryPlatform mp;
  mp.files.AddFolder("C:\\Tamrisk");
  mp.system.SetExecutableFolder("C:\\Tamrisk\\");
  RunLogEntry entry;
  entry.mode = "-report";
  ASSERT_TRUE(AppendRunLog(mp.platform, entry));
  ASSERT_TRUE(AppendRunLog(mp.platform, entry));
  std::string log;
  ASSERT_TRUE(mp.files.ReadFile("C:\\Tamrisk\\Tamrisk.log", log));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

}  // namespace
}  // namespace tamrisk
