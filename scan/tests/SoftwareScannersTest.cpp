// The software location, font, help file and shared DLL scanners (codes 6 to 9) on the memory
// platform: what each examines, what it reports and how, and what it skips.
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
constexpr char kFontsNt[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kFonts9x[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr char kHelp[] = "HKLM\\Software\\Microsoft\\Windows\\Help";
constexpr char kHtmlHelp[] = "HKLM\\Software\\Microsoft\\Windows\\Html Help";
constexpr char kSharedDlls[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr char kSharedDllsRow[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

class SoftwareScannersTest : public ::testing::Test {
 protected:
  test::ScanResult Scan(const std::vector<std::string>& codes, const std::string& drives = "c") {
    return test::RunScan(env.platform, codes, drives);
  }

  MemoryPlatform env;
};

// ---- Code 6: App Paths ----

struct AppPathCase {
  const char* label;
  const char* subkey;
  std::uint32_t defaultType;  // regtype::None: no default value, only a search path
  const char* text;
  std::vector<std::string> files;
  bool reported;
};

const AppPathCase kAppPathCases[] = {
    {"anchored at the subkey's name, arguments cut off", "winword.exe", regtype::String, "C:\\Office\\WINWORD.EXE /n",
     {}, true},
    {"the named program exists in another letter case", "winword.exe", regtype::String,
     "C:\\Office\\WINWORD.EXE /n", {"C:\\Office\\winword.exe"}, false},
    {"another extension is not a program", "Foo.EXE.old", regtype::String, "C:\\Gone\\foo.exe", {}, false},
    {"a short name with a dot", "a.b", regtype::String, "C:\\Gone\\a.b", {}, false},
    {"no dot: examined, but the text does not contain the name", "Tool", regtype::String, "C:\\Bin\\other.exe", {},
     false},
    {"the first occurrence of the name decides", "Tool", regtype::String, "C:\\Tools\\Tool.exe",
     {"C:\\Tools\\Tool.exe"}, true},
    {"no dot, the named file exists", "Tool", regtype::String, "C:\\Tools\\Tool.exe",
     {"C:\\Tools\\Tool.exe", "C:\\Tool"}, false},
    {"an existing folder of that name counts as missing", "app.exe", regtype::String, "C:\\Apps\\app.exe",
     {"C:\\Apps\\app.exe\\"}, true},
    {"a drive that is not tested", "app.exe", regtype::String, "D:\\Apps\\app.exe", {}, false},
    {"empty default text", "app.exe", regtype::String, "", {}, false},
    {"integer default value", "app.exe", regtype::Dword, "", {}, false},
    {"no default value; the search path is not examined", "app.exe", regtype::None, "C:\\Gone\\", {}, false},
    {"expandable default text", "APP.EXE", regtype::ExpandString, "C:\\Gone\\app.exe", {}, true},
};

TEST_F(SoftwareScannersTest, AppPathsEntriesAreJudgedByTheProgramTheyAreNamedAfter) {
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
        c.reported ? std::vector<ProblemRow>{Row("Software Locations Issue", std::string(kAppPathsRow) + c.subkey,
                                                 c.text, rkKey)}
                   : std::vector<ProblemRow>{};
    EXPECT_EQ(test::RunScan(local.platform, {"6"}, "c").rows, expected);
  }
}

TEST_F(SoftwareScannersTest, AppPathsRowsFollowTheSubkeyListAndUnopenableEntriesAreSkipped) {
  Seed(env.registry, {
                         Str(std::string(kAppPaths) + "\\alpha.exe", "", "C:\\Gone\\alpha.exe"),
                         Str(std::string(kAppPaths) + "\\beta.exe", "", "C:\\Gone\\beta.exe"),
                         Str(std::string(kAppPaths) + "\\gamma.exe", "", "C:\\Gone\\gamma.exe"),
                     });
  env.registry.DenyRights(RootKey::LocalMachine,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\beta.exe", rights::Read);
  const test::ScanResult result = Scan({"6"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Software Locations..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row("Software Locations Issue", std::string(kAppPathsRow) + "alpha.exe",
                                 "C:\\Gone\\alpha.exe", rkKey),
                             Row("Software Locations Issue", std::string(kAppPathsRow) + "gamma.exe",
                                 "C:\\Gone\\gamma.exe", rkKey),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gamma.exe"));
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

TEST_F(SoftwareScannersTest, ScannersNeedOnlyReadRights) {
  // A key the user may read but not change (as HKEY_LOCAL_MACHINE is for most users) is still scanned.
  constexpr std::uint32_t kSetValue = 0x2;
  Seed(env.registry, {
                         Str(std::string(kAppPaths) + "\\app.exe", "", "C:\\Gone\\app.exe"),
                         Dword(kSharedDlls, "C:\\Gone\\x.dll", 1),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", kSetValue);
  env.registry.DenyRights(RootKey::LocalMachine,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", kSetValue);
  env.registry.DenyRights(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                          kSetValue);
  EXPECT_EQ(Scan({"6", "9"}).rows.size(), 2u);
}

// ---- Code 7: fonts ----

TEST_F(SoftwareScannersTest, FontsAreFoundByBareNameInTheFontsFolderOrByTheirFullPath) {
  env.system.SetSpecialFolder(csidl::Fonts, "C:\\Windows\\Fonts");
  SeedFiles(env.files, {"C:\\Windows\\Fonts\\arial.ttf", "C:\\Windows\\Fonts\\sub.ttf\\", "C:\\Other\\elsewhere.ttf"});
  env.files.AddFile("C:\\Windows\\Fonts\\hidden.fon", {}, fileattr::Hidden | fileattr::System);
  Seed(env.registry, {
                         Str(kFontsNt, "Arial (TrueType)", "ARIAL.TTF"),
                         Str(kFontsNt, "Full path", "C:\\Windows\\Fonts\\arial.ttf"),
                         Str(kFontsNt, "Gone", "gone.ttf"),
                         Dword(kFontsNt, "Number", 7),
                         Str(kFontsNt, "Folder", "sub.ttf"),
                         Str(kFontsNt, "Hidden", "hidden.fon"),
                         ExpandStr(kFontsNt, "Expandable", "arial.ttf"),
                         Str(kFontsNt, "Outside", "c:\\other\\ELSEWHERE.TTF"),
                         Str(kFontsNt, "Outside gone", "C:\\Other\\gone.ttf"),
                         Str(kFontsNt, "Full path to a folder", "C:\\Windows\\Fonts\\sub.ttf"),
                         Str(kFontsNt, "Network", "\\\\server\\fonts\\net.ttf"),
                         Str(kFontsNt, "Relative", "Other\\elsewhere.ttf"),
                         Str(kFontsNt, "Per\\user", "gone.ttf"),
                         Str(kFonts9x, "Old", "gone.ttf"),
                     });
  const test::ScanResult result = Scan({"7"});
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Windows Fonts..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row("Fonts Issue", key + "\\Gone", "gone.ttf", rkValueInPath),
                             Row("Fonts Issue", key + "\\Folder", "sub.ttf", rkValueInPath),
                             Row("Fonts Issue", key + "\\Outside gone", "C:\\Other\\gone.ttf", rkValueInPath),
                             Row("Fonts Issue", key + "\\Full path to a folder", "C:\\Windows\\Fonts\\sub.ttf",
                                 rkValueInPath),
                             Row("Fonts Issue", key + "\\Network", "\\\\server\\fonts\\net.ttf", rkValueInPath),
                             Row("Fonts Issue", key + "\\Relative", "Other\\elsewhere.ttf", rkValueInPath),
                             // A key + name row would name the value "user" of a key "Fonts\Per".
                             Row("Fonts Issue", key, "Per\\user", rkValueInColumn),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"));
}

TEST_F(SoftwareScannersTest, UnderWineBareNamesAreAlsoFoundInWinesOwnFontsFolder) {
  env.system.SetSpecialFolder(csidl::Fonts, "C:\\windows\\Fonts");
  SeedFiles(env.files, {"C:\\windows\\Fonts\\added.ttf", "Z:\\usr\\share\\wine\\fonts\\coure.fon"});
  Seed(env.registry, {Str(kFontsNt, "Courier", "coure.fon"), Str(kFontsNt, "Gone", "gone.fon")});
  for (const char* dataFolder : {"\\??\\Z:\\usr\\share\\wine", "Z:\\usr\\share\\wine"}) {
    SCOPED_TRACE(dataFolder);
    env.system.SetVariable("WINEDATADIR", dataFolder);
    const test::ScanResult result = Scan({"7"});
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].value, "gone.fon");
  }
  env.system.RemoveVariable("WINEDATADIR");
  EXPECT_EQ(Scan({"7"}).rows.size(), 2u);
}

TEST_F(SoftwareScannersTest, FontsKeyFollowsTheWindowsFamily) {
  struct Case {
    VersionInfo version;
    bool nineX;
  };
  const Case cases[] = {
      {{1, 4, 0}, true},  {{1, 4, 10}, true}, {{1, 4, 90}, true},  {{1, 5, 0}, false},
      {{2, 4, 0}, false}, {{2, 5, 1}, false}, {{2, 10, 0}, false}, {{0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version.platformId << " " << c.version.major << "." << c.version.minor);
    MemoryPlatform local;
    local.system.SetVersion(c.version);
    local.system.SetSpecialFolder(csidl::Fonts, "C:\\Windows\\Fonts");
    SeedFiles(local.files, {"C:\\Windows\\Fonts\\arial.ttf"});
    Seed(local.registry, {Str(kFontsNt, "Nt", "gone.ttf"), Str(kFonts9x, "NineX", "gone.ttf")});
    const test::ScanResult result = test::RunScan(local.platform, {"7"}, "c");
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].registryKey,
              c.nineX ? "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\NineX"
                      : "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\Nt");
  }
}

TEST_F(SoftwareScannersTest, AFontsFolderThatCannotBeFoundOrListedReportsNoFont) {
  struct Case {
    const char* label;
    const char* folder;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"no shell folder", "", {"C:\\arial.ttf"}},
      {"the folder is missing", "C:\\Windows\\Fonts", {"C:\\Windows\\"}},
      {"the listing holds no file", "C:\\Windows\\Fonts", {"C:\\Windows\\Fonts\\"}},
      {"the listing holds only folders", "C:\\Windows\\Fonts", {"C:\\Windows\\Fonts\\Sub\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryPlatform local;
    local.system.SetSpecialFolder(csidl::Fonts, c.folder);
    SeedFiles(local.files, c.files);
    local.files.SetCurrentFolder("C:\\");
    Seed(local.registry, {Str(kFontsNt, "Arial", "arial.ttf"), Str(kFontsNt, "Full path", "C:\\Gone\\gone.ttf")});
    local.files.ResetCalls();
    const test::ScanResult result = test::RunScan(local.platform, {"7"}, "c");
    EXPECT_EQ(result.rows, std::vector<ProblemRow>{});
    EXPECT_EQ(result.finished, 1);
    // Without a known folder no listing is made: a mask of "\*" would list the current drive's root.
    if (std::string(c.folder).empty()) {
      EXPECT_EQ(local.files.Calls().listings, 0u);
    }
  }
}

// ---- Code 8: help files ----

TEST_F(SoftwareScannersTest, HelpFilesAreLookedForInTheFolderTheirValueNames) {
  SeedFiles(env.files, {"C:\\Help\\app.hlp", "C:\\Help\\slash.hlp", "C:\\Work\\here.hlp", "D:\\Docs\\d.chm"});
  env.files.SetCurrentFolder("C:\\Work");
  Seed(env.registry, {
                         Str(kHelp, "app.hlp", "C:\\Help"),
                         Str(kHelp, "slash.hlp", "C:\\Help\\"),
                         Str(kHelp, "gone.hlp", "C:\\Help"),
                         Str(kHelp, "here.hlp", ""),
                         Str(kHelp, "relative.hlp", ""),
                         Str(kHtmlHelp, "d.chm", "D:\\Docs"),
                         Str(kHtmlHelp, "e.chm", "E:\\Docs"),
                     });
  const test::ScanResult result = Scan({"8"});  // help files are tested on every drive
  const std::string help = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help\\";
  const std::string html = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Html Help\\";
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Invalid Help Files..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row("Invalid Help Files", help + "gone.hlp", "C:\\Help\\gone.hlp", rkValueInPath),
                             Row("Invalid Help Files", help + "relative.hlp", "relative.hlp", rkValueInPath),
                             Row("Invalid Help Files", html + "e.chm", "E:\\Docs\\e.chm", rkValueInPath),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows\\Html Help"));
}

TEST_F(SoftwareScannersTest, HelpValuesThatAreNotTextAreSkippedAndTheScanGoesOn) {
  Seed(env.registry, {
                         Dword(kHelp, "number.hlp", 1),
                         Raw(kHelp, "binary.hlp", regtype::Binary, {1, 2, 3}),
                         Raw(kHelp, "multi.hlp", regtype::MultiString, TextBytes("C:\\Gone")),
                         Str(kHelp, "gone.hlp", "C:\\Gone"),
                         Str(kHtmlHelp, "gone.chm", "C:\\Gone"),
                         Dword(kSharedDlls, "C:\\Gone\\x.dll", 1),
                     });
  const test::ScanResult result = Scan({"8", "9"});
  ASSERT_EQ(result.rows.size(), 3u);
  EXPECT_EQ(result.rows[0].value, "C:\\Gone\\gone.hlp");
  EXPECT_EQ(result.rows[1].value, "C:\\Gone\\gone.chm");
  EXPECT_EQ(result.rows[2].problem, "Missing Shared Dlls");
  EXPECT_EQ(result.finished, 2);
}

TEST_F(SoftwareScannersTest, AMissingHelpKeyDoesNotStopTheHtmlHelpPass) {
  Seed(env.registry, {Str(kHtmlHelp, "gone.chm", "C:\\Gone")});
  EXPECT_EQ(Scan({"8"}).rows.size(), 1u);
}

// ---- Code 9: shared DLLs ----

TEST_F(SoftwareScannersTest, SharedDllsAreReportedWhenMissingOrNoLongerCounted) {
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
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row("Missing Shared Dlls", kSharedDllsRow, "C:\\Windows\\system32\\x.dll",
                                 rkValueInColumn),
                             Row("Missing Shared Dlls", kSharedDllsRow, "C:\\Windows\\system32\\gone.dll",
                                 rkValueInColumn),
                             Row("Missing Shared Dlls", kSharedDllsRow, "E:\\Lib\\e.dll", rkValueInColumn),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"));
}

TEST_F(SoftwareScannersTest, SharedDllCountIsReadOnlyForFilesThatExist) {
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

TEST_F(SoftwareScannersTest, MissingKeysGiveNoRowsButTheCaptionIsShown) {
  const test::ScanResult result = Scan({"6", "7", "8", "9"});
  EXPECT_EQ(result.rows, std::vector<ProblemRow>{});
  EXPECT_EQ(result.tasks, (std::vector<std::string>{"Scanning Software Locations...", "Scanning Windows Fonts...",
                                                    "Scanning Invalid Help Files...", "Scanning Shared DLLs..."}));
  EXPECT_EQ(result.finished, 4);
}

}  // namespace
}  // namespace tamrisk
