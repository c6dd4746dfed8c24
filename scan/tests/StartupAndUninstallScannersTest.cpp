// The Startup Programs and Add/Remove Programs scanners (codes 10 and 11) on the memory platform: what
// each examines and reports, the order of rows, and which failures each survives.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/ScanTask.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {

namespace {

using namespace test;

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kStartupReg[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr ProblemId kStartup = ProblemId::MissingStartupPrograms;

std::string Hklm(const std::string& path) { return "HKLM\\" + path; }
std::string Hkcu(const std::string& path) { return "HKCU\\" + path; }

using StartupAndUninstallScannersTest = test::MemoryScanTest;

// ---- Code 10: startup programs ----

TEST_F(StartupAndUninstallScannersTest, RunValuesAreTestedAsCommandLines) {
  SeedFiles(env.files, {"C:\\Tools\\here.exe"});
  Seed(env.registry, {
                         Str(Hkcu(kRun), "Tool", "C:\\Tools\\tool.exe /min"),
                         Dword(Hkcu(kRun), "Number", 1),
                         Str(Hkcu(kRun), "Rundll", "rundll32.exe x.dll,Entry"),
                         Str(Hkcu(kRun), "Here", "C:\\Tools\\here -x"),
                         Str(Hkcu(kRun), "Quoted", "\"C:\\Tools\\here.exe\" /s"),
                         ExpandStr(Hkcu(kRun), "Expandable", "C:\\Gone\\app.exe"),
                         Str(Hkcu(kRun), "OtherDrive", "D:\\Gone\\app.exe"),
                         Raw(Hkcu(kRun), "Multi", regtype::MultiString, TextBytes("C:\\Gone\\m.exe")),
                         Str(Hkcu(kRun), "Vendor\\Updater", "C:\\Gone\\updater.exe"),
                     });
  const test::ScanResult result = Scan({"10"});
  const std::string key = std::string("HKEY_CURRENT_USER\\") + kRun;
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Startup Programs..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(kStartup, key + "\\Tool", "C:\\Tools\\tool.exe /min", rkValueInPath),
                             Row(kStartup, key + "\\Expandable", "C:\\Gone\\app.exe", rkValueInPath),
                             // A key + name row would name the value "Updater" of a key "Run\Vendor".
                             Row(kStartup, key, "Vendor\\Updater", rkValueInColumn),
                         }));
}

TEST_F(StartupAndUninstallScannersTest, StartupRowsComeInKeyOrderWithTheMsConfigListLast) {
  Seed(env.registry, {
                         Str(Hklm(kStartupReg) + "\\Disabled", "command", "C:\\Gone\\disabled.exe"),
                         Str(Hklm(kRunOnce), "D", "C:\\Gone\\d.exe"),
                         Str(Hklm(kRun), "C", "C:\\Gone\\c.exe"),
                         Str(Hkcu(kRunOnce), "B", "C:\\Gone\\b.exe"),
                         Str(Hkcu(kRun), "A", "C:\\Gone\\a.exe"),
                     });
  const test::ScanResult result = Scan({"10"});
  std::vector<std::string> keys;
  for (const ProblemRow& row : result.rows) keys.push_back(row.registryKey);
  EXPECT_EQ(keys, (std::vector<std::string>{
                      std::string("HKEY_CURRENT_USER\\") + kRun + "\\A",
                      std::string("HKEY_CURRENT_USER\\") + kRunOnce + "\\B",
                      std::string("HKEY_LOCAL_MACHINE\\") + kRun + "\\C",
                      std::string("HKEY_LOCAL_MACHINE\\") + kRunOnce + "\\D",
                      std::string("HKEY_LOCAL_MACHINE\\") + kStartupReg + "\\Disabled",
                  }));
  EXPECT_EQ(result.rows.back().kind, rkKey);
  EXPECT_EQ(result.rows.back().value, "C:\\Gone\\disabled.exe");
  EXPECT_EQ(result.lastKey, BreakKeyText(kStartupReg));
}

TEST_F(StartupAndUninstallScannersTest, MsConfigEntriesAreEachExaminedFromTheStartupList) {
  // Listed in this order; each name is opened below startupreg, whatever happened to the one before.
  Seed(env.registry, {
                         Str(Hklm(kStartupReg) + "\\a-gone", "command", "C:\\Gone\\a.exe"),
                         Str(Hklm(kStartupReg) + "\\b-nocommand", "other", "C:\\Gone\\b.exe"),
                         Dword(Hklm(kStartupReg) + "\\c-integer", "command", 1),
                         Str(Hklm(kStartupReg) + "\\d-denied", "command", "C:\\Gone\\d.exe"),
                         Str(Hklm(kStartupReg) + "\\e-gone", "command", "C:\\Gone\\e.exe"),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, std::string(kStartupReg) + "\\d-denied", rights::Read);
  const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kStartupReg + "\\";
  EXPECT_EQ(Scan({"10"}).rows, (std::vector<ProblemRow>{
                                   Row(kStartup, key + "a-gone", "C:\\Gone\\a.exe", rkKey),
                                   Row(kStartup, key + "e-gone", "C:\\Gone\\e.exe", rkKey),
                               }));
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(StartupAndUninstallScannersTest, AFailureInTheMsConfigPassOrARunKeyEndsTheCategoryKeepingItsRows) {
  Seed(env.registry, {
                         Str(Hkcu(kRun), "A", "C:\\Gone\\a.exe"),
                         Str(Hklm(kStartupReg) + "\\a-found", "command", "C:\\Gone\\a.exe"),
                         Str(Hklm(kStartupReg) + "\\b-fails", "command", "C:\\Gone\\b.exe"),
                         Str(Hklm(kStartupReg) + "\\c-after", "command", "C:\\Gone\\c.exe"),
                         Key(Hklm(kUninstall) + "\\Empty"),
                     });
  env.registry.FailReads(RootKey::LocalMachine, std::string(kStartupReg) + "\\b-fails", "command");
  const test::ScanResult inMsConfig = Scan({"10", "11"});
  ASSERT_EQ(inMsConfig.rows.size(), 3u);  // the Run value, "a-found", then the uninstall entry
  EXPECT_EQ(inMsConfig.rows[1].registryKey, std::string("HKEY_LOCAL_MACHINE\\") + kStartupReg + "\\a-found");
  EXPECT_EQ(inMsConfig.rows[2].problem, ProblemId::AddRemoveProgramsIssue);
  EXPECT_EQ(inMsConfig.finished, 1);
  EXPECT_EQ(inMsConfig.incomplete, std::vector<int>{10});

  env.registry.FailReads(RootKey::CurrentUser, kRun, "A");
  const test::ScanResult inRunKey = Scan({"10", "11"});
  ASSERT_EQ(inRunKey.rows.size(), 1u);  // code 10 ended at once; code 11 still ran
  EXPECT_EQ(inRunKey.rows[0].problem, ProblemId::AddRemoveProgramsIssue);
  EXPECT_EQ(inRunKey.finished, 1);
  EXPECT_EQ(inRunKey.incomplete, std::vector<int>{10});
  EXPECT_TRUE(inRunKey.ended);
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(StartupAndUninstallScannersTest, RunKeyStepTakesItsRootByName) {
  Seed(env.registry, {Str(Hklm(kRun), "A", "C:\\Gone\\a.exe")});
  auto task = Task();
  task->ScanRunKey("hkey_local_machine", kRun);
  task->ScanRunKey("HKLM", kRun);
  task->ScanRunKey("HKEY_PERFORMANCE_DATA", kRun);
  EXPECT_EQ(WithoutReasons(sink->Rows()),
            (std::vector<ProblemRow>{
                Row(kStartup, std::string("HKEY_LOCAL_MACHINE\\") + kRun + "\\A", "C:\\Gone\\a.exe", rkValueInPath)}));
}

// ---- Code 11: Add/Remove Programs ----

TEST_F(StartupAndUninstallScannersTest, UninstallEntriesAreReportedWhenTheirChainOfSingleSubkeysHoldsNothing) {
  const std::string u = Hklm(kUninstall) + "\\";
  Seed(env.registry, {
                         Key(u + "A-NoValues"),
                         Str(u + "B-EmptyDefault", "", ""),
                         Str(u + "C-DisplayName", "DisplayName", "App"),
                         Str(u + "D-ChildWithValue\\Sub", "Value", "x"),
                         Key(u + "E-OneEmptyChild\\Sub\\Deeper"),
                         Key(u + "F-TwoEmptyChildren\\One"),
                         Key(u + "F-TwoEmptyChildren\\Two"),
                         Key(u + "{12345678-1234-1234-1234-123456789012}"),
                         Key(u + "G{Brace}Later"),
                         Str(u + "H-DefaultText", "", "x"),
                         Dword(u + "I-ChildWithNumber\\Sub", "n", 0),
                     });
  const test::ScanResult result = Scan({"11"});
  const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kUninstall;
  ProblemId problem = ProblemId::AddRemoveProgramsIssue;
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Add/Remove Programs..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, key, "A-NoValues", rkSubkeyInColumn),
                             Row(problem, key, "B-EmptyDefault", rkSubkeyInColumn),
                             Row(problem, key, "E-OneEmptyChild", rkSubkeyInColumn),
                             Row(problem, key, "G{Brace}Later", rkSubkeyInColumn),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText(std::string(kUninstall) + "\\I-ChildWithNumber"));
}

}  // namespace
}  // namespace tamrisk
