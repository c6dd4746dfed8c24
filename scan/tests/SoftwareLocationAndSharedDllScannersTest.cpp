// The Software Locations and Shared DLLs scanners (codes 6 and 9) on the memory platform: what each
// examines, what it reports and how, and what it skips.
#include <gtest/gtest.h>

#include <cstdint>
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

constexpr char kAppPaths[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kAppPathsRow[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr char kSharedDlls[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr char kSharedDllsRow[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

using SoftwareLocationAndSharedDllScannersTest = test::MemoryScanTest;

// ---- Code 6: App Paths ----

struct AppPathCase {
  const char* label;
  const char* subkey;
  std::uint32_t defaultType;  // regtype::None: no default value, only a search path
  const char* text;
  std::vector<std::string> files;
  bool reported;
};

// The default value is read as a command line: its program decides, never the entry's own name.
const AppPathCase kAppPathCases[] = {
    {"a missing program, arguments cut off", "winword.exe", regtype::String, "C:\\Office\\WINWORD.EXE /n", {}, true},
    {"the program exists in another letter case",
     "winword.exe",
     regtype::String,
     "C:\\Office\\WINWORD.EXE /n",
     {"C:\\Office\\winword.exe"},
     false},
    {"another extension is not a program", "Foo.EXE.old", regtype::String, "C:\\Gone\\foo.exe", {}, false},
    {"a short name with a dot", "a.b", regtype::String, "C:\\Gone\\a.b", {}, false},
    {"a name that is not in the path: its missing program is listed",
     "orvnotes.exe",
     regtype::String,
     "C:\\Program Files\\Orvane Notes\\notes.exe",
     {},
     true},
    {"a folder that begins with the name decides nothing: the program is there",
     "Orvane",
     regtype::String,
     "C:\\Program Files\\Orvane Notes\\orvane.exe",
     {"C:\\Program Files\\Orvane Notes\\orvane.exe"},
     false},
    {"a folder where the program should be counts as missing",
     "app.exe",
     regtype::String,
     "C:\\Apps\\app.exe",
     {"C:\\Apps\\app.exe\\"},
     true},
    {"a drive that is not tested", "app.exe", regtype::String, "D:\\Apps\\app.exe", {}, false},
    {"empty default text", "app.exe", regtype::String, "", {}, false},
    {"integer default value", "app.exe", regtype::Dword, "", {}, false},
    {"no default value; the search path is not examined", "app.exe", regtype::None, "C:\\Gone\\", {}, false},
    {"expandable default text", "APP.EXE", regtype::ExpandString, "C:\\Gone\\app.exe", {}, true},
};

TEST_F(SoftwareLocationAndSharedDllScannersTest, AppPathsEntriesAreJudgedByTheProgramTheirDefaultValueNames) {
  for (const AppPathCase& c : kAppPathCases) {
    SCOPED_TRACE(c.label);
    MemoryPlatform local;
    const std::string key = std::string(kAppPaths) + "\\" + c.subkey;
    switch (c.defaultType) {
      case regtype::None: Seed(local.registry, {Str(key, "Path", c.text)}); break;
      case regtype::Dword: Seed(local.registry, {Dword(key, "", 1)}); break;
      default: Seed(local.registry, {Raw(key, "", c.defaultType, TextBytes(c.text))}); break;
    }
    SeedFiles(local.files, c.files);
    const std::vector<ProblemRow> expected =
        c.reported ? std::vector<ProblemRow>{Row(ProblemId::SoftwareLocationsIssue,
                                                 std::string(kAppPathsRow) + c.subkey, c.text, rkKey)}
                   : std::vector<ProblemRow>{};
    EXPECT_EQ(WithoutReasons(test::RunScan(local.platform, {"6"}, "c").rows), expected);
  }
}

TEST_F(SoftwareLocationAndSharedDllScannersTest, AppPathsRowsFollowTheSubkeyListAndUnopenableEntriesAreSkipped) {
  Seed(env.registry, {
                         Str(std::string(kAppPaths) + "\\alpha.exe", "", "C:\\Gone\\alpha.exe"),
                         Str(std::string(kAppPaths) + "\\beta.exe", "", "C:\\Gone\\beta.exe"),
                         Str(std::string(kAppPaths) + "\\gamma.exe", "", "C:\\Gone\\gamma.exe"),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\beta.exe",
                          rights::Read);
  const test::ScanResult result = Scan({"6"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Software Locations..."});
  EXPECT_EQ(
      result.rows,
      (std::vector<ProblemRow>{
          Row(ProblemId::SoftwareLocationsIssue, std::string(kAppPathsRow) + "alpha.exe", "C:\\Gone\\alpha.exe", rkKey),
          Row(ProblemId::SoftwareLocationsIssue, std::string(kAppPathsRow) + "gamma.exe", "C:\\Gone\\gamma.exe", rkKey),
      }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gamma.exe"));
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(SoftwareLocationAndSharedDllScannersTest, ScannersNeedOnlyReadRights) {
  // A key the user may read but not change (as HKEY_LOCAL_MACHINE is for most users) is still scanned.
  constexpr std::uint32_t kSetValue = 0x2;
  Seed(env.registry, {
                         Str(std::string(kAppPaths) + "\\app.exe", "", "C:\\Gone\\app.exe"),
                         Dword(kSharedDlls, "C:\\Gone\\x.dll", 1),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", kSetValue);
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe",
                          kSetValue);
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", kSetValue);
  EXPECT_EQ(Scan({"6", "9"}).rows.size(), 2u);
}

// ---- Code 9: shared DLLs ----

TEST_F(SoftwareLocationAndSharedDllScannersTest, SharedDllsAreReportedWhenMissingOrNoLongerCounted) {
  SeedFiles(env.files, {"C:\\Windows\\system32\\x.dll", "C:\\Windows\\system32\\y.dll", "D:\\Lib\\d.dll"});
  Seed(env.registry, {
                         Dword(kSharedDlls, "C:\\Windows\\system32\\x.dll", 0),
                         Dword(kSharedDlls, "C:\\Windows\\system32\\y.dll", 3),
                         Dword(kSharedDlls, "C:\\Windows\\system32\\gone.dll", 2),
                         Str(kSharedDlls, "C:\\Windows\\system32\\text.dll", "1"),
                         Dword(kSharedDlls, "D:\\Lib\\d.dll", 1),
                         Dword(kSharedDlls, "E:\\Lib\\e.dll", 1),
                     });
  const test::ScanResult result = Scan({"9"});  // every drive, whatever the tested drives
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Shared DLLs..."});
  EXPECT_EQ(result.rows,
            (std::vector<ProblemRow>{
                Row(ProblemId::MissingSharedDlls, kSharedDllsRow, "C:\\Windows\\system32\\x.dll", rkValueInColumn),
                Row(ProblemId::MissingSharedDlls, kSharedDllsRow, "C:\\Windows\\system32\\gone.dll", rkValueInColumn),
                Row(ProblemId::MissingSharedDlls, kSharedDllsRow, "E:\\Lib\\e.dll", rkValueInColumn),
            }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"));
}

TEST_F(SoftwareLocationAndSharedDllScannersTest, SharedDllCountIsReadOnlyForFilesThatExist) {
  SeedFiles(env.files, {"C:\\Here\\here.dll"});
  Seed(env.registry, {
                         Dword(kSharedDlls, "C:\\Gone\\gone.dll", 1),
                         Dword(kSharedDlls, "C:\\Here\\here.dll", 1),
                     });
  // An unreadable count of a missing file is never read: the row comes and the scan goes on.
  env.registry.FailReads(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                         "C:\\Gone\\gone.dll");
  const test::ScanResult first = Scan({"9", "9"});
  EXPECT_EQ(first.rows.size(), 2u);
  EXPECT_EQ(first.finished, 2);

  // The count of an existing file is read; a read failure there ends the category, and the scan goes on.
  env.registry.FailReads(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                         "C:\\Here\\here.dll");
  const test::ScanResult second = Scan({"9", "9"});
  EXPECT_EQ(second.rows.size(), 2u);  // the missing file's row, once from each run of the category
  EXPECT_EQ(second.finished, 0);
  EXPECT_EQ(second.incomplete, (std::vector<int>{9, 9}));
  EXPECT_TRUE(second.ended);
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(SoftwareLocationAndSharedDllScannersTest, MissingKeysGiveNoRowsButTheCaptionIsShown) {
  const test::ScanResult result = Scan({"6", "7", "8", "9"});
  EXPECT_EQ(result.rows, std::vector<ProblemRow>{});
  EXPECT_EQ(result.tasks, (std::vector<std::string>{"Scanning Software Locations...", "Scanning Windows Fonts...",
                                                    "Scanning Invalid Help Files...", "Scanning Shared DLLs..."}));
  EXPECT_EQ(result.finished, 4);
}

}  // namespace
}  // namespace tamrisk
