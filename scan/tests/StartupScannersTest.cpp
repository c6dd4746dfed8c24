// The startup, uninstall, file extension and class ID scanners (codes 10 to 13) on the memory
// platform: what each examines and reports, the order of rows, and which failures each survives.
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
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr char kStartup[] = "Missing Startup Programs";

std::string Hklm(const std::string& path) { return "HKLM\\" + path; }
std::string Hkcu(const std::string& path) { return "HKCU\\" + path; }

class StartupScannersTest : public ::testing::Test {
 protected:
  test::ScanResult Scan(const std::vector<std::string>& codes, const std::string& drives = "c") {
    return test::RunScan(env.platform, codes, drives);
  }
  // A worker for calling one scanner step directly.
  std::shared_ptr<TScanTaskThread> Task() {
    auto task = std::make_shared<TScanTaskThread>(env.platform, sink, false, false);
    task->TestedDrives = "c";
    return task;
  }

  MemoryPlatform env;
  std::shared_ptr<HeadlessSink> sink = std::make_shared<HeadlessSink>();
};

// ---- Code 10: startup programs ----

TEST_F(StartupScannersTest, RunValuesAreTestedAsCommandLines) {
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

TEST_F(StartupScannersTest, StartupRowsComeInKeyOrderWithTheMsConfigListLast) {
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

TEST_F(StartupScannersTest, MsConfigEntriesAreEachExaminedFromTheStartupList) {
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

TEST_F(StartupScannersTest, AFailureInTheMsConfigPassEndsThatPassAloneButInARunKeyTheCategory) {
  Seed(env.registry, {
                         Str(Hkcu(kRun), "A", "C:\\Gone\\a.exe"),
                         Str(Hklm(kStartupReg) + "\\a-found", "command", "C:\\Gone\\a.exe"),
                         Str(Hklm(kStartupReg) + "\\b-fails", "command", "C:\\Gone\\b.exe"),
                         Str(Hklm(kStartupReg) + "\\c-after", "command", "C:\\Gone\\c.exe"),
                         Key(Hklm(kUninstall) + "\\Empty"),
                     });
  env.registry.FailReads(RootKey::LocalMachine, std::string(kStartupReg) + "\\b-fails", "command");
  const test::ScanResult caught = Scan({"10", "11"});
  ASSERT_EQ(caught.rows.size(), 3u);  // the Run value, "a-found", then the uninstall entry
  EXPECT_EQ(caught.rows[1].registryKey, std::string("HKEY_LOCAL_MACHINE\\") + kStartupReg + "\\a-found");
  EXPECT_EQ(caught.rows[2].problem, "Add/Remove Programs Issue");
  EXPECT_EQ(caught.finished, 2);

  env.registry.FailReads(RootKey::CurrentUser, kRun, "A");
  const test::ScanResult escaped = Scan({"10", "11"});
  ASSERT_EQ(escaped.rows.size(), 1u);  // code 10 ended at once; code 11 still ran
  EXPECT_EQ(escaped.rows[0].problem, "Add/Remove Programs Issue");
  EXPECT_EQ(escaped.finished, 1);
  EXPECT_EQ(escaped.incomplete, std::vector<int>{10});
  EXPECT_TRUE(escaped.ended);
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(StartupScannersTest, RunKeyStepTakesItsRootByName) {
  Seed(env.registry, {Str(Hklm(kRun), "A", "C:\\Gone\\a.exe")});
  auto task = Task();
  task->ScanRunKey("hkey_local_machine", kRun);
  task->ScanRunKey("HKLM", kRun);
  task->ScanRunKey("HKEY_PERFORMANCE_DATA", kRun);
  EXPECT_EQ(sink->Rows(), (std::vector<ProblemRow>{Row(
                              kStartup, std::string("HKEY_LOCAL_MACHINE\\") + kRun + "\\A", "C:\\Gone\\a.exe",
                              rkValueInPath)}));
}

// ---- Code 11: Add/Remove Programs ----

TEST_F(StartupScannersTest, UninstallEntriesAreReportedWhenTheirChainOfSingleSubkeysHoldsNothing) {
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
  const char* problem = "Add/Remove Programs Issue";
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Add/Remove Programs..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, key, "A-NoValues", rkSubkeyInColumn),
                             Row(problem, key, "B-EmptyDefault", rkSubkeyInColumn),
                             Row(problem, key, "E-OneEmptyChild", rkSubkeyInColumn),
                             Row(problem, key, "G{Brace}Later", rkSubkeyInColumn),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText(std::string(kUninstall) + "\\I-ChildWithNumber"));
}

// ---- Code 12: file extensions ----

TEST_F(StartupScannersTest, MachineClassesThatSayNothingAreUnusedFileExtensions) {
  const std::string c = "HKLM\\Software\\Classes\\";
  Seed(env.registry, {
                         Str(c + ".aaa-empty", "", ""),
                         Str(c + ".bbb-text", "", "bbbfile"),
                         Key(c + ".ccc-nodefault"),
                         Str(c + ".ddd-empty", "", ""),
                         Str(c + ".eee-subkey", "", ""),
                         Key(c + ".eee-subkey\\ShellNew"),
                         Str(c + ".fff-othervalue", "", ""),
                         Str(c + ".fff-othervalue", "Content Type", "text/plain"),
                         Dword(c + ".ggg-integer", "", 0),
                         Raw(c + ".hhh-expand", "", regtype::ExpandString, TextBytes("")),
                         Str(c + "plainkey", "", ""),
                         Str(c + "zzz-denied", "", ""),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Classes\\zzz-denied", rights::Read);
  const test::ScanResult result = Scan({"12"});
  const char* problem = "Unused File Extension";
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Classes";
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning File Extensions..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, key, ".aaa-empty", rkSubkeyInColumn),
                             Row(problem, key, ".ddd-empty", rkSubkeyInColumn),
                             Row(problem, key, ".hhh-expand", rkSubkeyInColumn),
                             Row(problem, key, "plainkey", rkSubkeyInColumn),
                         }));
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(StartupScannersTest, UserFileExtensionsWithoutAClassAreReportedAfterTheMachinePass) {
  Seed(env.registry, {
                         Str("HKLM\\Software\\Classes\\.empty", "", ""),
                         Str("HKLM\\Software\\Classes\\.abc", "", "abcfile"),
                         Str("HKCU\\Software\\Classes\\.usr", "", "usrfile"),
                         Key(Hkcu(kFileExts) + "\\.abc\\OpenWithList"),
                         Key(Hkcu(kFileExts) + "\\.qqq"),
                         Key(Hkcu(kFileExts) + "\\.usr"),
                         Key(Hkcu(kFileExts) + "\\.EMPTY"),
                     });
  const test::ScanResult result = Scan({"12"});
  const char* problem = "Unused File Extension";
  const std::string exts = std::string("HKEY_CURRENT_USER\\") + kFileExts;
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, "HKEY_LOCAL_MACHINE\\Software\\Classes", ".empty", rkSubkeyInColumn),
                             Row(problem, exts, ".qqq", rkSubkeyInColumn),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText(std::string(kFileExts) + "\\.usr"));
}

TEST_F(StartupScannersTest, WithoutMachineClassesTheUserPassStillRuns) {
  Seed(env.registry, {Key(Hkcu(kFileExts) + "\\.qqq")});
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Classes", rights::Read);
  EXPECT_EQ(Scan({"12"}).rows.size(), 1u);
}

// ---- Code 13: custom controls ----

TEST_F(StartupScannersTest, EveryKeyBelowClsidIsExaminedInPreOrder) {
  SeedFiles(env.files, {"C:\\Here\\srv.exe"});
  const std::string c = "HKCR\\CLSID";
  Seed(env.registry, {
                         Str(c, "", "C:\\Gone\\root.dll"),
                         Str(c + "\\{A}", "", "A control"),
                         Str(c + "\\{A}\\InprocServer32", "", "C:\\Gone\\a.dll"),
                         Str(c + "\\{A}\\InprocServer32", "ThreadingModel", "Both"),
                         Str(c + "\\{A}\\ToolboxBitmap32", "", "C:\\Gone\\a.dll,1"),
                         Str(c + "\\{B}\\InprocServer32", "", "b.dll"),
                         Str(c + "\\{C}", "", "C:\\Gone\\c.exe"),
                         Str(c + "\\{C}\\deep\\er\\and\\deeper", "", "C:\\Gone\\deep.dll"),
                         Str(c + "\\{D}\\LocalServer32", "", "\"C:\\Here\\srv.exe\" /automation"),
                         Dword(c + "\\{E}\\InprocServer32", "", 1),
                         Str(c + "\\{F}\\InprocServer32", "", "C:\\Gone\\f.dll"),
                         Str("HKCR\\Other\\InprocServer32", "", "C:\\Gone\\other.dll"),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Classes\\CLSID\\{F}", rights::Read);
  const test::ScanResult result = Scan({"13"});
  const char* problem = "Custom Controls Issue";
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Custom Controls..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, "HKEY_CLASSES_ROOT\\CLSID", "C:\\Gone\\root.dll", rkKey),
                             Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32", "C:\\Gone\\a.dll", rkKey),
                             Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{A}\\ToolboxBitmap32", "C:\\Gone\\a.dll,1",
                                 rkKey),
                             Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{C}", "C:\\Gone\\c.exe", rkKey),
                             Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{C}\\deep\\er\\and\\deeper", "C:\\Gone\\deep.dll",
                                 rkKey),
                         }));
  EXPECT_EQ(result.lastKey, "CLSID\\{E}\\InprocServer32");  // {F} cannot be opened, so it is not shown
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(StartupScannersTest, ClassKeyStepTakesItsRootByNameAndStartsAnywhere) {
  Seed(env.registry, {
                         Str("HKCR\\CLSID\\{A}\\InprocServer32", "", "C:\\Gone\\a.dll"),
                         Str("HKCR\\CLSID\\{B}\\InprocServer32", "", "C:\\Gone\\b.dll"),
                     });
  auto task = Task();
  task->ScanClassKey("hkey_classes_root", "CLSID\\{B}");
  task->ScanClassKey("HKCR", "CLSID");
  task->ScanClassKey("HKEY_CLASSES_ROOT", "CLSID\\{Missing}");
  EXPECT_EQ(sink->Rows(), (std::vector<ProblemRow>{Row("Custom Controls Issue",
                                                       "HKEY_CLASSES_ROOT\\CLSID\\{B}\\InprocServer32",
                                                       "C:\\Gone\\b.dll", rkKey)}));
}

TEST_F(StartupScannersTest, ClassWalkAsksTheFileSystemOnceForEachRepeatedServer) {
  SeedFiles(env.files, {"C:\\Windows\\system32\\ole32.dll"});
  for (int i = 0; i < 200; ++i) {
    Seed(env.registry, {Str("HKCR\\CLSID\\{" + std::to_string(i) + "}\\InprocServer32", "",
                            "C:\\Windows\\system32\\ole32.dll")});
  }
  env.files.ResetCalls();
  const test::ScanResult result = Scan({"13"});
  EXPECT_EQ(result.rows, std::vector<ProblemRow>{});
  EXPECT_LE(env.files.Calls().existence, 4u);
  // Each walk asks afresh: a server that went between two scans is reported by the second.
  env.files.ShellDelete("C:\\Windows\\system32\\ole32.dll", false);
  EXPECT_EQ(Scan({"13"}).rows.size(), 200u);
}

// Asks for a stop once the walk has shown a number of keys, as the Stop button would.
class StopAfterKeys final : public ScanSink {
 public:
  explicit StopAfterKeys(long keys) : keys_(keys) {}
  void StartCategory() override {}
  void FinishCategory() override {}
  void ShowTask(const std::string&) override {}
  void ShowCurrentKey(const std::string&) override {
    if (++shown_ >= keys_) task->RequestStop();
  }
  void AppendProblem(const ProblemRow&) override { ++rows_; }
  void ScanEnded() override {}

  TScanTaskThread* task = nullptr;
  long shown_ = 0;
  long rows_ = 0;

 private:
  long keys_;
};

TEST_F(StartupScannersTest, ClassWalkEndsPromptlyAfterAStopRequest) {
  for (int i = 0; i < 100; ++i) {
    Seed(env.registry, {Str("HKCR\\CLSID\\{" + std::to_string(i) + "}\\InprocServer32", "", "C:\\Gone\\x.dll")});
  }
  auto stopper = std::make_shared<StopAfterKeys>(10);
  auto task = std::make_shared<TScanTaskThread>(env.platform, stopper, false, false);
  stopper->task = task.get();
  task->TestedDrives = "c";
  task->Categories = {"13", "13"};
  task->Execute();
  EXPECT_LE(stopper->shown_, 11);
  EXPECT_LE(stopper->rows_, 5);
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tamrisk
