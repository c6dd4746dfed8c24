// The Start Menu and Shortcuts scanners (codes 16 and 17) on the memory platform.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {

namespace {

using namespace test;

class StartMenuAndShortcutScannersTest : public test::MemoryScanTest {
 protected:
  void SetUp() override { SeedFiles(env.files, {"C:\\Apps\\here.exe", "C:\\Data\\", "D:\\Other\\"}); }
};

// ---- code 16 ----

struct VersionCase {
  VersionInfo version;
  const char* orderKey;
};

class StartMenuVersionTest : public StartMenuAndShortcutScannersTest,
                             public ::testing::WithParamInterface<VersionCase> {};

TEST_P(StartMenuVersionTest, TheOrderKeyFollowsTheWindowsVersion) {
  const std::string base = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\";
  for (const char* key : {"Start Menu2\\Programs", "Start Menu\\Programs", "Start Menu\\&Programs"}) {
    env.registry.CreateKey(RootKey::CurrentUser, base + key + "\\Gone");
  }
  env.system.SetVersion(GetParam().version);
  EXPECT_EQ(Scan({"16"}).rows,
            (std::vector<ProblemRow>{Row(ProblemId::OldStartMenuKey, "HKEY_CURRENT_USER\\" + base + GetParam().orderKey,
                                         "Gone", rkSubkeyInColumn)}));
}

INSTANTIATE_TEST_SUITE_P(Versions, StartMenuVersionTest,
                         ::testing::Values(VersionCase{{2, 5, 1}, "Start Menu2\\Programs"},     // XP
                                           VersionCase{{2, 6, 1}, "Start Menu2\\Programs"},     // 7, Wine
                                           VersionCase{{2, 5, 2}, "Start Menu2\\Programs"},     // 2003
                                           VersionCase{{0, 0, 0}, "Start Menu2\\Programs"},     // query failed
                                           VersionCase{{2, 5, 0}, "Start Menu\\Programs"},      // 2000
                                           VersionCase{{1, 4, 90}, "Start Menu\\Programs"},     // Me
                                           VersionCase{{1, 4, 0}, "Start Menu\\&Programs"},     // 95
                                           VersionCase{{1, 4, 10}, "Start Menu\\&Programs"},    // 98
                                           VersionCase{{2, 4, 0}, "Start Menu\\&Programs"},     // NT 4
                                           VersionCase{{2, 3, 51}, "Start Menu\\&Programs"}));  // NT 3.51

// A Programs menu that cannot be looked into may hold any folder: nothing is stale then.
TEST_F(StartMenuAndShortcutScannersTest, NoOrderKeyIsStaleWhileAProgramsMenuCannotBeLookedInto) {
  env.system.SetSpecialFolder(csidl::Programs, "C:\\Users\\Me\\Start Menu\\Programs");
  env.system.SetSpecialFolder(csidl::CommonPrograms, "C:\\ProgramData\\Start Menu\\Programs");
  env.files.AddFolder("C:\\Users\\Me\\Start Menu\\Programs\\Accessories");
  env.files.AddFolder("C:\\ProgramData\\Start Menu\\Programs\\Games");
  env.files.SetUnreadable("C:\\ProgramData\\Start Menu\\Programs");
  const std::string order = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";
  for (const char* name : {"Accessories", "Games", "Zed"})
    env.registry.CreateKey(RootKey::CurrentUser, order + "\\" + name);
  EXPECT_EQ(Scan({"16"}).rows, std::vector<ProblemRow>{});
}

TEST_F(StartMenuAndShortcutScannersTest, OrderKeysMatchFoldersOfEitherProgramsMenuIgnoringCase) {
  env.system.SetSpecialFolder(csidl::Programs, "C:\\Users\\Me\\Start Menu\\Programs");
  env.system.SetSpecialFolder(csidl::CommonPrograms, "C:\\ProgramData\\Start Menu\\Programs\\");
  env.files.AddFolder("C:\\Users\\Me\\Start Menu\\Programs\\ACCESSORIES");
  env.files.AddFolder("C:\\Users\\Me\\Start Menu\\Programs\\Hidden Tools",
                      fileattr::Directory | fileattr::Hidden | fileattr::System);
  env.files.AddFile("C:\\Users\\Me\\Start Menu\\Programs\\Notes");
  env.files.AddFolder("C:\\ProgramData\\Start Menu\\Programs\\Games");
  const std::string order = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";
  for (const char* name : {"Accessories\\Gone Below", "games", "Hidden Tools", "Notes", "Zed"}) {
    env.registry.CreateKey(RootKey::CurrentUser, order + "\\" + name);
  }
  const std::string key = "HKEY_CURRENT_USER\\" + order;
  const test::ScanResult result = Scan({"16"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Start Menu..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(ProblemId::OldStartMenuKey, key, "Notes", rkSubkeyInColumn),
                             Row(ProblemId::OldStartMenuKey, key, "Zed", rkSubkeyInColumn),
                         }));

  // Without the Programs folders nothing matches.
  env.system.SetSpecialFolder(csidl::Programs, "");
  env.system.SetSpecialFolder(csidl::CommonPrograms, "");
  EXPECT_EQ(Scan({"16"}).rows.size(), 5u);
}

// ---- code 17 ----

class ShortcutScanTest : public StartMenuAndShortcutScannersTest {
 protected:
  void SetUp() override {
    StartMenuAndShortcutScannersTest::SetUp();
    env.system.SetSpecialFolder(csidl::CommonDesktop, "C:\\Users\\Public\\Desktop");
    env.system.SetSpecialFolder(csidl::AppData, "C:\\Users\\Me\\AppData");
    env.system.SetSpecialFolder(csidl::Recent, "C:\\Users\\Me\\Recent");
    env.system.SetSpecialFolder(csidl::StartMenu, "C:\\Users\\Me\\AppData\\Start Menu\\");
    env.system.SetSpecialFolder(csidl::Desktop, "C:\\Users\\Me\\Desktop");
    env.files.AddFolder("C:\\Users\\Me\\Desktop");
  }

  static ProblemRow Missing(const std::string& shortcut, const std::string& target) {
    return Row(ProblemId::MissingShortcutReference, shortcut, target, rkShortcutFile);
  }
};

TEST_F(ShortcutScanTest, ShortcutsWithMissingTargetsAreReportedFolderByFolder) {
  const std::string desk = "C:\\Users\\Me\\Desktop\\";
  env.files.AddShortcut("C:\\Users\\Public\\Desktop\\pub.lnk", "C:\\Gone\\pub.exe");
  env.files.AddShortcut("C:\\Users\\Me\\AppData\\Start Menu\\Programs\\app.lnk", "C:\\Gone\\app.exe");
  env.files.AddFolder("C:\\RecentStore");
  env.files.AddShortcut("C:\\RecentStore\\doc.lnk", "C:\\Gone\\doc.txt");
  env.files.AddLink("C:\\Users\\Me\\Recent", "C:\\RecentStore");  // a root that is a link is still scanned
  env.files.AddShortcut(desk + "a.lnk", "C:gone.exe");            // no root: passed over on its own
  env.files.AddShortcut(desk + "b.lnk", "C:\\Gone\\b.exe");
  env.files.AddShortcut(desk + "d.lnk", "D:\\Gone\\d.exe");
  env.files.AddShortcut(desk + "e.lnk", "C:\\Data");
  env.files.AddShortcut(desk + "f.lnk", "C:\\Apps\\here.exe");
  env.files.AddShortcut(desk + "g.lnk", "\\\\server\\share\\g.exe");
  env.files.AddFile(desk + "h.lnk", "not a shell link");
  env.files.AddShortcut(desk + "Readme.LNK", "C:\\Gone\\readme.exe");
  env.files.AddFolder(desk + "Sub", fileattr::Directory | fileattr::Hidden);
  env.files.AddShortcut(desk + "Sub\\deep.lnk", "C:\\Gone\\deep.exe");
  env.files.AddShortcut(desk + "x.lnk.txt", "C:\\Gone\\x.exe");
  env.files.AddShortcut(desk + "noextension", "C:\\Gone\\y.exe");

  const test::ScanResult result = Scan({"17"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Shortcuts..."});
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Missing("C:\\Users\\Public\\Desktop\\pub.lnk", "C:\\Gone\\pub.exe"),
                             // The start menu lies inside the application data folder, so it is met twice.
                             Missing("C:\\Users\\Me\\AppData\\Start Menu\\Programs\\app.lnk", "C:\\Gone\\app.exe"),
                             Missing("C:\\Users\\Me\\Recent\\doc.lnk", "C:\\Gone\\doc.txt"),
                             Missing("C:\\Users\\Me\\AppData\\Start Menu\\Programs\\app.lnk", "C:\\Gone\\app.exe"),
                             Missing(desk + "b.lnk", "C:\\Gone\\b.exe"),
                             Missing(desk + "Readme.LNK", "C:\\Gone\\readme.exe"),
                             Missing(desk + "Sub\\deep.lnk", "C:\\Gone\\deep.exe"),
                         }));
  EXPECT_EQ(Scan({"17"}, "cd").rows.size(), result.rows.size() + 1) << "d.lnk once D: is tested";
}

TEST_F(ShortcutScanTest, LinkedFoldersBelowTheShellFoldersAreNotEntered) {
  const std::string desk = "C:\\Users\\Me\\Desktop\\";
  env.files.AddShortcut(desk + "here.lnk", "C:\\Gone\\here.exe");
  env.files.AddLink(desk + "Loop", "C:\\Users\\Me");  // back to an ancestor: would never end
  env.files.AddFolder("C:\\Elsewhere");
  env.files.AddShortcut("C:\\Elsewhere\\far.lnk", "C:\\Gone\\far.exe");
  env.files.AddLink(desk + "Elsewhere", "C:\\Elsewhere");
  EXPECT_EQ(Scan({"17"}).rows, (std::vector<ProblemRow>{Missing(desk + "here.lnk", "C:\\Gone\\here.exe")}));
}

TEST_F(ShortcutScanTest, AShellLinkObjectThatCannotBeMadeEndsTheCategory) {
  env.files.AddShortcut("C:\\Users\\Me\\Desktop\\a.lnk", "C:\\Gone\\a.exe");
  env.registry.CreateKey(RootKey::CurrentUser, "Software\\Empty");
  env.files.FailShortcutObject();
  const test::ScanResult result = Scan({"17", "14"});
  ASSERT_EQ(result.rows.size(), 1u);  // only the obsolete key of the next category
  EXPECT_EQ(result.rows[0].value, "Empty");
  EXPECT_EQ(result.incomplete, std::vector<int>{17});
  EXPECT_TRUE(result.ended);
}

}  // namespace
}  // namespace tamrisk
