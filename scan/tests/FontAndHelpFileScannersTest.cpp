// The Windows Fonts and Invalid Help Files scanners (codes 7 and 8) on the memory platform.
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

constexpr char kFontsNt[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kFonts9x[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr char kHelp[] = "HKLM\\Software\\Microsoft\\Windows\\Help";
constexpr char kHtmlHelp[] = "HKLM\\Software\\Microsoft\\Windows\\Html Help";
constexpr char kSharedDlls[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

using FontAndHelpFileScannersTest = test::MemoryScanTest;

// ---- Code 7: fonts ----

TEST_F(FontAndHelpFileScannersTest, FontsAreFoundByBareNameInTheFontsFolderOrByTheirFullPath) {
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
  EXPECT_EQ(
      result.rows,
      (std::vector<ProblemRow>{
          Row(ProblemId::FontsIssue, key + "\\Gone", "gone.ttf", rkValueInPath),
          Row(ProblemId::FontsIssue, key + "\\Folder", "sub.ttf", rkValueInPath),
          Row(ProblemId::FontsIssue, key + "\\Outside gone", "C:\\Other\\gone.ttf", rkValueInPath),
          Row(ProblemId::FontsIssue, key + "\\Full path to a folder", "C:\\Windows\\Fonts\\sub.ttf", rkValueInPath),
          Row(ProblemId::FontsIssue, key + "\\Network", "\\\\server\\fonts\\net.ttf", rkValueInPath),
          Row(ProblemId::FontsIssue, key + "\\Relative", "Other\\elsewhere.ttf", rkValueInPath),
          // A key + name row would name the value "user" of a key "Fonts\Per".
          Row(ProblemId::FontsIssue, key, "Per\\user", rkValueInColumn),
      }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"));
}

TEST_F(FontAndHelpFileScannersTest, UnderWineBareNamesAreAlsoFoundInWinesOwnFontsFolder) {
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

TEST_F(FontAndHelpFileScannersTest, FontsKeyFollowsTheWindowsFamily) {
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

TEST_F(FontAndHelpFileScannersTest, AFontsFolderThatCannotBeFoundOrListedReportsNoFont) {
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

TEST_F(FontAndHelpFileScannersTest, HelpFilesAreLookedForInTheFolderTheirValueNames) {
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
                             Row(ProblemId::InvalidHelpFiles, help + "gone.hlp", "C:\\Help\\gone.hlp", rkValueInPath),
                             Row(ProblemId::InvalidHelpFiles, help + "relative.hlp", "relative.hlp", rkValueInPath),
                             Row(ProblemId::InvalidHelpFiles, html + "e.chm", "E:\\Docs\\e.chm", rkValueInPath),
                         }));
  EXPECT_EQ(result.lastKey, BreakKeyText("Software\\Microsoft\\Windows\\Html Help"));
}

TEST_F(FontAndHelpFileScannersTest, HelpValuesThatAreNotTextAreSkippedAndTheScanGoesOn) {
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
  EXPECT_EQ(result.rows[2].problem, ProblemId::MissingSharedDlls);
  EXPECT_EQ(result.finished, 2);
}

TEST_F(FontAndHelpFileScannersTest, AMissingHelpKeyDoesNotStopTheHtmlHelpPass) {
  Seed(env.registry, {Str(kHtmlHelp, "gone.chm", "C:\\Gone")});
  EXPECT_EQ(Scan({"8"}).rows.size(), 1u);
}

}  // namespace
}  // namespace tamrisk
