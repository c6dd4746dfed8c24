// The Installer and Applications scanners (codes 21 and 22) on the memory platform.
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

class InstallerAndApplicationScannersTest : public test::MemoryScanTest {
 protected:
  void SetUp() override {
    SeedFiles(env.files, {"C:\\Apps\\here.exe", "C:\\Apps\\here.dll", "C:\\Data\\", "C:\\Lib\\folder.dll\\",
                          "C:\\Media\\ding.wav", "C:\\Docs\\report.txt", "C:\\Docs\\whole.txt"});
  }
};

// ---- code 21 ----

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
const std::string kCache = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";

TEST_F(InstallerAndApplicationScannersTest, InstallerReportsEntriesFoldersAndStaleCacheEntriesInThatOrder) {
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
  EXPECT_EQ(
      result.rows,
      (std::vector<ProblemRow>{
          Row(problem, machine + kUninstall + "\\App\\UninstallString", "\"C:\\Gone\\uninst.exe\" /S", rkValueInPath),
          Row(problem, machine + kUninstall + "\\Other\\Sub\\Helper", "C:\\Gone\\helper.EXE -x", rkValueInPath),
          Row(problem, machine + kFolders, "C:\\Gone\\Folder\\", rkValueInColumn),
          Row(problem, machine + kCache, "Stale", rkSubkeyInColumn),
      }));
}

TEST_F(InstallerAndApplicationScannersTest, CacheEntriesAreNotJudgedWithoutTheUninstallList) {
  Seed(env.registry, {Key("HKLM\\" + kCache + "\\App"), Key("HKLM\\" + kCache + "\\Other")});
  EXPECT_EQ(Scan({"21"}).rows, std::vector<ProblemRow>{}) << "no uninstall key at all";

  env.registry.CreateKey(RootKey::LocalMachine, kUninstall + "\\App");
  env.registry.DenyRights(RootKey::LocalMachine, kUninstall, rights::Read);
  EXPECT_EQ(Scan({"21"}).rows, std::vector<ProblemRow>{}) << "an uninstall key that cannot be read";
}

// ---- code 22 ----

const std::string kApplications = "Software\\Classes\\Applications";

TEST_F(InstallerAndApplicationScannersTest, EveryCommandOfAnApplicationIsTestedInPreOrder) {
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
  EXPECT_EQ(result.rows,
            (std::vector<ProblemRow>{
                Row(problem, key + "app.exe\\shell\\edit\\command", gone, rkDefaultValue),
                Row(problem, key + "app.exe\\shell\\open\\command", gone, rkDefaultValue),
                Row(problem, key + "itself.exe\\command", "C:\\Gone\\itself.exe %1", rkDefaultValue),
                Row(problem, key + "itself.exe\\shell\\open\\command", "C:\\Gone\\itself.exe /open", rkDefaultValue),
            }));
  EXPECT_EQ(Scan({"21", "22"}).tasks, std::vector<std::string>{"Scanning Installer..."});
}

}  // namespace
}  // namespace tamrisk
