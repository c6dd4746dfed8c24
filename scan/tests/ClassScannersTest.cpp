// The scanners of the class registrations (codes 12, 13 and 19) on the memory platform: file
// extensions, class IDs and type libraries.
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

constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

std::string Hkcu(const std::string& path) { return "HKCU\\" + path; }

using ClassScannersTest = test::MemoryScanTest;

// ---- Code 12: file extensions ----

TEST_F(ClassScannersTest, MachineClassesThatSayNothingAreUnusedFileExtensions) {
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
  ProblemId problem = ProblemId::UnusedFileExtension;
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

TEST_F(ClassScannersTest, UserFileExtensionsWithoutAClassAreReportedAfterTheMachinePass) {
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
  ProblemId problem = ProblemId::UnusedFileExtension;
  const std::string exts = std::string("HKEY_CURRENT_USER\\") + kFileExts;
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, "HKEY_LOCAL_MACHINE\\Software\\Classes", ".empty", rkSubkeyInColumn),
                             Row(problem, exts, ".qqq", rkSubkeyInColumn),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText(std::string(kFileExts) + "\\.usr"));
}

TEST_F(ClassScannersTest, WithoutMachineClassesTheUserPassStillRuns) {
  Seed(env.registry, {Key(Hkcu(kFileExts) + "\\.qqq")});
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Classes", rights::Read);
  EXPECT_EQ(Scan({"12"}).rows.size(), 1u);
}

// ---- Code 13: custom controls ----

TEST_F(ClassScannersTest, EveryKeyBelowClsidIsExaminedInPreOrder) {
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
  ProblemId problem = ProblemId::CustomControlsIssue;
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Custom Controls..."});
  EXPECT_EQ(result.rows,
            (std::vector<ProblemRow>{
                Row(problem, "HKEY_CLASSES_ROOT\\CLSID", "C:\\Gone\\root.dll", rkKey),
                Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32", "C:\\Gone\\a.dll", rkKey),
                Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{A}\\ToolboxBitmap32", "C:\\Gone\\a.dll,1", rkKey),
                Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{C}", "C:\\Gone\\c.exe", rkKey),
                Row(problem, "HKEY_CLASSES_ROOT\\CLSID\\{C}\\deep\\er\\and\\deeper", "C:\\Gone\\deep.dll", rkKey),
            }));
  EXPECT_EQ(result.keysShown, 15);  // every key but {F} and its subkey: {F} cannot be opened
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(ClassScannersTest, ClassKeyStepTakesItsRootByNameAndStartsAnywhere) {
  Seed(env.registry, {
                         Str("HKCR\\CLSID\\{A}\\InprocServer32", "", "C:\\Gone\\a.dll"),
                         Str("HKCR\\CLSID\\{B}\\InprocServer32", "", "C:\\Gone\\b.dll"),
                     });
  auto task = Task();
  task->ScanClassKey("hkey_classes_root", "CLSID\\{B}");
  task->ScanClassKey("HKCR", "CLSID");
  task->ScanClassKey("HKEY_CLASSES_ROOT", "CLSID\\{Missing}");
  EXPECT_EQ(WithoutReasons(sink->Rows()),
            (std::vector<ProblemRow>{Row(ProblemId::CustomControlsIssue,
                                         "HKEY_CLASSES_ROOT\\CLSID\\{B}\\InprocServer32", "C:\\Gone\\b.dll", rkKey)}));
}

TEST_F(ClassScannersTest, ClassWalkAsksTheFileSystemOnceForEachRepeatedServer) {
  SeedFiles(env.files, {"C:\\Windows\\system32\\ole32.dll"});
  for (int i = 0; i < 200; ++i) {
    Seed(env.registry,
         {Str("HKCR\\CLSID\\{" + std::to_string(i) + "}\\InprocServer32", "", "C:\\Windows\\system32\\ole32.dll")});
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
  void StartCategory(CategoryCode) override {}
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

TEST_F(ClassScannersTest, ClassWalkEndsPromptlyAfterAStopRequest) {
  for (int i = 0; i < 100; ++i) {
    Seed(env.registry, {Str("HKCR\\CLSID\\{" + std::to_string(i) + "}\\InprocServer32", "", "C:\\Gone\\x.dll")});
  }
  auto stopper = std::make_shared<StopAfterKeys>(10);
  auto task = std::make_shared<TScanTaskThread>(env.platform, stopper, false, false);
  stopper->task = task.get();
  task->TestedDrives = "c";
  task->Categories = {CategoryCode::CustomControls, CategoryCode::CustomControls};
  task->Execute();
  EXPECT_LE(stopper->shown_, 11);
  EXPECT_LE(stopper->rows_, 5);
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

// ---- code 19 ----

TEST_F(ClassScannersTest, TypeLibrariesAreTestedUpToTheirDll) {
  SeedFiles(env.files, {"C:\\Apps\\here.dll", "C:\\Lib\\folder.dll\\"});
  const std::string lib = "HKCR\\TypeLib\\";
  Seed(env.registry, {
                         Str(lib + "{A}\\1.0\\0\\win32", "", "C:\\Gone\\a.dll"),
                         Str(lib + "{B}\\1.0\\0\\win32", "", "C:\\Gone\\b.tlb"),
                         Str(lib + "{C}\\1.0\\0\\win32", "", "C:\\Lib\\folder.dll"),
                         Str(lib + "{D}\\1.0\\0\\win32", "", "C:\\Apps\\HERE.DLL\\2"),
                         Str(lib + "{E}\\1.0\\HELPDIR", "", "C:\\Gone"),
                         Str(lib + "{F}\\1.0\\0\\win64", "", "C:\\Gone\\f.DLL\\3"),
                     });
  const test::ScanResult result = Scan({"19"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Invalid ActiveX..."});
  const std::string key = "HKEY_CLASSES_ROOT\\TypeLib\\";
  EXPECT_EQ(result.rows,
            (std::vector<ProblemRow>{
                Row(ProblemId::ActiveXIssue, key + "{A}\\1.0\\0\\win32\\", "C:\\Gone\\a.dll", rkValueInPath),
                Row(ProblemId::ActiveXIssue, key + "{C}\\1.0\\0\\win32\\", "C:\\Lib\\folder.dll", rkValueInPath),
                Row(ProblemId::ActiveXIssue, key + "{F}\\1.0\\0\\win64\\", "C:\\Gone\\f.DLL\\3", rkValueInPath),
            }));
}

}  // namespace
}  // namespace tamrisk
