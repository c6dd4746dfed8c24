// Sound events, type libraries, open/save history, installer entries and application commands
// (codes 18 to 22) on the memory platform.
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

class SoundScannersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SeedFiles(env.files, {"C:\\Apps\\here.exe", "C:\\Apps\\here.dll", "C:\\Data\\", "C:\\Lib\\folder.dll\\",
                          "C:\\Media\\ding.wav", "C:\\Docs\\report.txt", "C:\\Docs\\whole.txt"});
  }

  test::ScanResult Scan(const std::vector<std::string>& codes, const std::string& drives = "c") {
    return test::RunScan(env.platform, codes, drives);
  }

  MemoryPlatform env;
};

// ---- code 18 ----

TEST_F(SoundScannersTest, OnlySchemeKeysNamingAMissingSoundAreReported) {
  const std::string apps = "HKCU\\AppEvents\\Schemes\\Apps\\";
  Seed(env.registry, {
                         Str(apps + ".Default\\SystemStart\\.Current", "", "C:\\Media\\start.wav"),
                         Str(apps + ".Default\\SystemStart\\.Default", "", "C:\\Media\\ding.wav"),
                         Str(apps + ".Default\\SystemStart\\MyScheme", "", "C:\\Media\\mine.wav"),
                         Str(apps + ".Default\\SystemExit\\.CURRENT", "", "C:\\Data"),
                         Str(apps + ".Default\\SystemExit\\Utopia0", "", ""),
                         ExpandStr(apps + "Explorer\\Navigating\\utopia0", "", "C:\\Media\\navigate.wav"),
                         Dword(apps + "Explorer\\Navigating\\.Default", "", 1),
                         Str(apps + "Explorer\\Navigating\\.Current", "Other", "C:\\Media\\other.wav"),
                         Str(apps + "Explorer\\Navigating\\.Current\\.Default", "", "D:\\Media\\untested.wav"),
                         Str("HKCU\\AppEvents\\Schemes\\Names\\.Current", "", "C:\\Media\\name.wav"),
                     });
  const test::ScanResult result = Scan({"18"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Sound and Appevents..."});
  const std::string key = "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\";
  EXPECT_EQ(result.rows,
            (std::vector<ProblemRow>{
                // An existing folder is no sound file.
                Row("Missing Sound File", key + ".Default\\SystemExit\\.CURRENT", "C:\\Data", rkDefaultValue),
                Row("Missing Sound File", key + ".Default\\SystemStart\\.Current", "C:\\Media\\start.wav",
                    rkDefaultValue),
                Row("Missing Sound File", key + "Explorer\\Navigating\\utopia0", "C:\\Media\\navigate.wav",
                    rkDefaultValue),
            }));
}

// ---- code 19 ----

TEST_F(SoundScannersTest, TypeLibrariesAreTestedUpToTheirDll) {
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
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row("ActiveX Issue", key + "{A}\\1.0\\0\\win32\\", "C:\\Gone\\a.dll", rkValueInPath),
                             Row("ActiveX Issue", key + "{C}\\1.0\\0\\win32\\", "C:\\Lib\\folder.dll", rkValueInPath),
                             Row("ActiveX Issue", key + "{F}\\1.0\\0\\win64\\", "C:\\Gone\\f.DLL\\3", rkValueInPath),
                         }));
}

// ---- code 20 ----

const std::string kHistory = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";

TEST_F(SoundScannersTest, HistoryEntriesAreTriedWithEachExtensionThenEachListIsWalked) {
  const std::string h = "HKCU\\" + kHistory;
  Seed(env.registry, {
                         Str(h, "a", "C:\\Docs\\report"),
                         Str(h, "b", "C:\\Docs\\gone"),
                         Str(h, "c", "relative\\file"),
                         Str(h, "d", "D:\\Docs\\gone"),
                         Dword(h, "e", 5),
                         Str(h, "MRUList", "abcd"),
                         Str(h + "\\txt", "a", "C:\\Docs\\old.txt"),
                         Str(h + "\\txt", "b", "C:\\Docs\\report.txt"),
                         Str(h + "\\txt", "MRUList", "ab"),
                         Str(h + "\\*", "a", "C:\\Docs\\any.doc"),
                     });
  const test::ScanResult result = Scan({"20"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning MRU and History Lists..."});
  const std::string key = "HKEY_CURRENT_USER\\" + kHistory;
  const std::string problem = "Missing MRU and History Lists file";
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, key + "\\b", "C:\\Docs\\gone", rkValueInPath),
                             Row(problem, key + "\\*\\a", "C:\\Docs\\any.doc", rkValueInPath),
                             Row(problem, key + "\\txt\\a", "C:\\Docs\\old.txt", rkValueInPath),
                         }));
}

TEST_F(SoundScannersTest, HistoryEntriesAreNeverTestedAsTheyStand) {
  // "*" names no extension and the entry itself is not tried, so even an existing file is reported.
  Seed(env.registry, {Str("HKCU\\" + kHistory, "a", "C:\\Docs\\whole.txt"), Key("HKCU\\" + kHistory + "\\*")});
  const std::string key = "HKEY_CURRENT_USER\\" + kHistory;
  const std::vector<ProblemRow> expected = {
      Row("Missing MRU and History Lists file", key + "\\a", "C:\\Docs\\whole.txt", rkValueInPath)};
  EXPECT_EQ(Scan({"20"}).rows, expected);
  env.registry.CreateKey(RootKey::CurrentUser, kHistory + "\\txt");
  EXPECT_EQ(Scan({"20"}).rows, expected) << "whole.txt.txt does not exist either";
}

// ---- code 21 ----

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
const std::string kCache = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";

TEST_F(SoundScannersTest, InstallerReportsEntriesFoldersAndStaleCacheEntriesInThatOrder) {
  Seed(env.registry, {
                         Str("HKLM\\" + kCache + "\\APP", "SlowInfoCache", "x"),
                         Key("HKLM\\" + kCache + "\\Stale"),
                         Str("HKLM\\" + kFolders, "C:\\Gone\\Folder\\", ""),
                         Str("HKLM\\" + kFolders, "C:\\Data\\", ""),
                         Dword("HKLM\\" + kFolders, "C:\\Data", 1),
                         Str("HKLM\\" + kUninstall + "\\App", "UninstallString", "\"C:\\Gone\\uninst.exe\" /S"),
                         Str("HKLM\\" + kUninstall + "\\App", "DisplayIcon", "C:\\Apps\\here.exe,0"),
                         Str("HKLM\\" + kUninstall + "\\App", "InstallLocation", "C:\\Gone"),
                         Str("HKLM\\" + kUninstall + "\\Other\\Sub", "Helper", "C:\\Gone\\helper.EXE -x"),
                     });
  const test::ScanResult result = Scan({"21"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Installer..."});
  const std::string problem = "Installer Refrence Issue";
  const std::string machine = "HKEY_LOCAL_MACHINE\\";
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, machine + kUninstall + "\\App\\UninstallString",
                                 "\"C:\\Gone\\uninst.exe\" /S", rkValueInPath),
                             Row(problem, machine + kUninstall + "\\Other\\Sub\\Helper", "C:\\Gone\\helper.EXE -x",
                                 rkValueInPath),
                             Row(problem, machine + kFolders, "C:\\Gone\\Folder\\", rkValueInColumn),
                             Row(problem, machine + kCache, "Stale", rkSubkeyInColumn),
                         }));
}

TEST_F(SoundScannersTest, CacheEntriesAreNotJudgedWithoutTheUninstallList) {
  Seed(env.registry, {Key("HKLM\\" + kCache + "\\App"), Key("HKLM\\" + kCache + "\\Other")});
  EXPECT_EQ(Scan({"21"}).rows, std::vector<ProblemRow>{}) << "no uninstall key at all";

  env.registry.CreateKey(RootKey::LocalMachine, kUninstall + "\\App");
  env.registry.DenyRights(RootKey::LocalMachine, kUninstall, rights::Read);
  EXPECT_EQ(Scan({"21"}).rows, std::vector<ProblemRow>{}) << "an uninstall key that cannot be read";
}

// ---- code 22 ----

const std::string kApplications = "Software\\Classes\\Applications";

TEST_F(SoundScannersTest, EveryCommandOfAnApplicationIsTestedInPreOrder) {
  const std::string apps = "HKLM\\" + kApplications + "\\";
  const std::string gone = "\"C:\\Gone\\app.exe\" \"%1\"";
  Seed(env.registry, {
                         Str(apps + "app.exe\\shell\\edit\\command", "", gone),
                         Str(apps + "app.exe\\shell\\open\\command", "", gone),
                         Str(apps + "app.exe\\shell\\print\\command", "", ""),
                         Str(apps + "app.exe\\shell\\view\\command", "Other", gone),
                         Str(apps + "good.exe\\shell\\open\\command", "", "\"C:\\Apps\\here.exe\" \"%1\""),
                         Str(apps + "itself.exe\\command", "", "C:\\Gone\\itself.exe %1"),
                         Str(apps + "itself.exe\\shell\\open\\command", "", "C:\\Gone\\itself.exe /open"),
                     });
  const test::ScanResult result = Scan({"22"});
  EXPECT_TRUE(result.tasks.empty()) << "code 22 keeps the caption it finds";
  const std::string key = "HKEY_LOCAL_MACHINE\\" + kApplications + "\\";
  const std::string problem = "Open with Application Issue";
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, key + "app.exe\\shell\\edit\\command", gone, rkDefaultValue),
                             Row(problem, key + "app.exe\\shell\\open\\command", gone, rkDefaultValue),
                             Row(problem, key + "itself.exe\\command", "C:\\Gone\\itself.exe %1", rkDefaultValue),
                             Row(problem, key + "itself.exe\\shell\\open\\command", "C:\\Gone\\itself.exe /open",
                                 rkDefaultValue),
                         }));
  EXPECT_EQ(Scan({"21", "22"}).tasks, std::vector<std::string>{"Scanning Installer..."});
}

}  // namespace
}  // namespace tamrisk
