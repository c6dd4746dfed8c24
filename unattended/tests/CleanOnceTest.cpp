// The headless -cleanonce run: what it repairs, logs and saves, what keeps it from starting, and
// that a failure a category used to swallow now marks it incomplete.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "settings/RegGlobal.h"
#include "testkit/TestKit.h"
#include "unattended/CleanOnce.h"

namespace tamrisk {
namespace {

using test::Seed;
using test::Str;

constexpr const char* kFolder = "C:\\Program Files\\Tamrisk\\";
constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kStartupReg = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr const char* kApplications = "Software\\Classes\\Applications";

// options.ini's ticks: the codes given, and no other.
std::string Ticked(const std::vector<int>& codes) {
  std::string text = "[TreeViewNodeCheck]\r\n";
  for (int code = 1; code <= TNodeChecks::Last; ++code) {
    const bool on = std::find(codes.begin(), codes.end(), code) != codes.end();
    text += std::to_string(code) + (on ? "=1\r\n" : "=0\r\n");
  }
  return text;
}

// A file system whose drive queries fail, so a scan cannot even start.
class BrokenDrives final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  unsigned DriveType(char) override { throw std::runtime_error("The drives cannot be listed."); }
};

class CleanOnceRun : public ::testing::Test {
 protected:
  void SetUp() override { env_.files.AddFolder(kFolder); }

  // options.ini with only the given categories ticked, then the extra text.
  void Settings(const std::vector<int>& codes, const std::string& extra = "") {
    env_.files.AddFile(Ini(), Ticked(codes) + extra);
  }
  static std::string Ini() { return std::string(kFolder) + "options.ini"; }
  std::string Log() const { return env_.files.Contents(std::string(kFolder) + "Tamrisk.log").value_or(""); }
  std::vector<FileEntry> Backups() { return env_.files.ListFolder(std::string(kFolder) + "Backup\\*.reg"); }

  MemoryPlatform env_;
};

TEST_F(CleanOnceRun, MakesTheBackupFolderRepairsSavesAndLogsHoldingTheRepairLock) {
  Seed(env_.registry, {Str(std::string("HKCU\\") + kRun, "Gone", "C:\\Gone\\a.exe")});
  Settings({1, 10}, "[Window]\r\nState=3\r\nLeft=7\r\n");
  EXPECT_EQ(RunCleanOnce(env_.platform, true), 0);

  EXPECT_FALSE(env_.registry.GetValue(RootKey::CurrentUser, kRun, "Gone"));
  const std::vector<FileEntry> backups = Backups();
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_NE(Log().find("-cleanonce  scheduled  categories 1,10  found 1  repaired 1  kept 0  backup " +
                       std::string(kFolder) + "Backup\\" + backups[0].name + "  exit 0\r\n"),
            std::string::npos)
      << Log();
  // The settings are saved, missing keys and all; the window's place, which the run has no window
  // for, stays as stored.
  const std::string ini = env_.files.Contents(Ini()).value_or("");
  EXPECT_NE(ini.find("DeleteBackupFile=1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[Window]\r\nState=3\r\nLeft=7\r\n"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("Width"), std::string::npos) << ini;
  EXPECT_EQ(env_.shell.RepairTurnsTaken(), 1u);
  EXPECT_FALSE(env_.shell.RepairTurnHeld());
}

TEST_F(CleanOnceRun, WhatKeepsItFromWorkingGivesOneAndALogLine) {
  struct Case {
    const char* what;
    std::string settings;
    std::optional<RepairHolder> lockHolder;
    bool brokenDrives;
    std::string logged;
    bool saves;
  };
  const std::vector<Case> cases = {
      {"a backup folder that cannot be made",
       "[Options]\r\nOutputDirectory=Q:\\Nowhere\\Backup\r\n",
       {},
       false,
       "exit 1  error: Cannot create Q:\\Nowhere\\Backup\r\n",
       true},
      {"a backup the disk cannot hold",
       "[Options]\r\nOutputDirectory=D:\\Full\r\n",
       {},
       false,
       "repaired 0  kept 1  backup none  exit 1  error: The backup file D:\\Full\\",
       true},
      {"a scan that cannot start",
       "",
       {},
       true,
       "categories 1,10  found 0  repaired 0  kept 0  backup none  exit 1  error: The drives cannot be listed.\r\n",
       true},
      {"an unattended run repairing", "", RepairHolder::UnattendedRun, false,
       "categories none  found 0  repaired 0  kept 0  backup none  exit 1  error: An unattended run of Tamrisk "
       "(-cleanonce) is repairing the registry. Nothing was scanned or repaired.\r\n",
       false},
      {"a window restoring", "", RepairHolder::AnotherProgram, false,
       "exit 1  error: Another Tamrisk is repairing or restoring the registry. Nothing was scanned or repaired.\r\n",
       false},
      {"settings that cannot be read whole",
       std::string(1, '\0'),
       {},
       false,
       "categories none  found 0  repaired 0  kept 0  backup none  exit 1  error: Unable to read " + Ini() +
           ": its text is damaged (it holds NUL characters). Nothing was scanned or repaired.\r\n",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    env.files.AddFile(Ini(), Ticked({1, 10}) + c.settings);
    Seed(env.registry, {Str(std::string("HKCU\\") + kRun, "Gone", "C:\\Gone\\a.exe")});
    env.files.AddFolder("D:\\Full");
    env.files.SetFreeSpace('D', 0);
    env.shell.SetRepairLockHolder(c.lockHolder);
    BrokenDrives broken(env.files);
    const Platform platform{env.registry, c.brokenDrives ? static_cast<FileSystem&>(broken) : env.files, env.system,
                            env.ini, env.shell};
    EXPECT_EQ(RunCleanOnce(platform, false), 1);
    const std::string log = env.files.Contents(std::string(kFolder) + "Tamrisk.log").value_or("");
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_TRUE(env.registry.GetValue(RootKey::CurrentUser, kRun, "Gone"));
    EXPECT_EQ(env.files.Contents(Ini()).value_or("").find("DeleteBackupFile") != std::string::npos, c.saves);
  }
}

// With nothing to repair there is nothing to back up: no backup folder is made, and one that cannot
// be made is no error.
TEST_F(CleanOnceRun, NothingFoundMakesNoBackupFolder) {
  for (const std::string& folder : {std::string(kFolder) + "Backup", std::string("Q:\\Nowhere\\Backup")}) {
    SCOPED_TRACE(folder);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    env.files.AddFile(Ini(), Ticked({1, 10}) + "[Options]\r\nOutputDirectory=" + folder + "\r\n");
    EXPECT_EQ(RunCleanOnce(env.platform, false), 0);
    EXPECT_FALSE(env.files.Exists(folder));
  }
}

// Three places once caught a read failure and went on as if their category had finished: MSConfig's
// pass of Startup Programs, the Applications category and the search below each application. Now
// the category is named incomplete and the run gives 2; the rows found before still go.
TEST_F(CleanOnceRun, AFailureInsideACategoryMarksItIncompleteAndKeepsTheRowsFoundBefore) {
  struct Case {
    const char* what;
    int code;
    std::vector<test::RegRow> seed;
    std::string failingKey;  // below HKEY_LOCAL_MACHINE; its default or "command" value cannot be read
    std::string failingValue;
    std::string foundBefore;  // a value, below HKEY_LOCAL_MACHINE, of a row found before the failure
    std::string incomplete;
  };
  const std::string apps = std::string("HKLM\\") + kApplications;
  const std::vector<Case> cases = {
      {"MSConfig's list",
       10,
       {Str(std::string("HKLM\\") + kRun, "Gone", "C:\\Gone\\run.exe"),
        Str(std::string("HKLM\\") + kStartupReg + "\\fails", "command", "C:\\Gone\\b.exe")},
       std::string(kStartupReg) + "\\fails",
       "command",
       std::string(kRun) + "|Gone",
       "Startup Programs"},
      {"an application's command",
       22,
       {Str(apps + "\\a.exe\\shell\\open\\command", "", "C:\\Gone\\a.exe"),
        Str(apps + "\\b.exe\\shell\\open\\command", "", "C:\\Gone\\b.exe")},
       std::string(kApplications) + "\\b.exe\\shell\\open\\command",
       "",
       std::string(kApplications) + "\\a.exe\\shell\\open\\command|",
       "Applications"},
      {"a key deeper in the search",
       22,
       {Str(apps + "\\a.exe\\shell\\open\\command", "", "C:\\Gone\\a.exe"),
        Str(apps + "\\a.exe\\shell\\print\\x\\command", "", "C:\\Gone\\x.exe"),
        Str(apps + "\\a.exe\\shell\\print\\y\\command", "", "C:\\Gone\\y.exe")},
       std::string(kApplications) + "\\a.exe\\shell\\print\\x\\command",
       "",
       std::string(kApplications) + "\\a.exe\\shell\\open\\command|",
       "Applications"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform env;
    env.files.AddFolder(kFolder);
    env.files.AddFile(Ini(), Ticked({1, c.code}));
    Seed(env.registry, c.seed);
    env.registry.FailReads(RootKey::LocalMachine, c.failingKey, c.failingValue);
    EXPECT_EQ(RunCleanOnce(env.platform, false), 2);
    const std::string log = env.files.Contents(std::string(kFolder) + "Tamrisk.log").value_or("");
    EXPECT_NE(log.find("  incomplete: " + c.incomplete + "  exit 2\r\n"), std::string::npos) << log;
    const std::size_t bar = c.foundBefore.find('|');
    EXPECT_FALSE(
        env.registry.GetValue(RootKey::LocalMachine, c.foundBefore.substr(0, bar), c.foundBefore.substr(bar + 1)))
        << "the row found before the failure was not repaired";
    EXPECT_TRUE(env.registry.GetValue(RootKey::LocalMachine, c.failingKey, c.failingValue));
  }
}

}  // namespace
}  // namespace tamrisk
