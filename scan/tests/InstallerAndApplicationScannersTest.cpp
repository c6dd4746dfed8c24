// The Installer and Applications scanners (codes 21 and 22) on the memory platform.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <utility>
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
  ProblemId problem = ProblemId::InstallerReferenceIssue;
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

// An uninstall entry is judged by its uninstaller, machine-wide and per user alike: one whose
// uninstaller is there is never touched; one whose uninstaller is gone goes whole unless it still
// names something that is there, so that no program stays listed as installed with nothing to remove it.
TEST_F(InstallerAndApplicationScannersTest, UninstallEntriesAreJudgedByTheirUninstaller) {
  struct Case {
    const char* label;
    std::vector<std::pair<const char*, const char*>> values;
    bool wow64;
    std::vector<std::string> listed;  // below the entry: "" for the entry whole, else value names
  };
  const std::vector<Case> cases = {
      {"uninstaller there: other values gone are left alone",
       {{"UninstallString", "C:\\Apps\\here.exe /u"}, {"DisplayIcon", "C:\\Gone\\app.exe"}},
       false,
       {}},
      {"uninstaller gone and nothing else there: the whole entry",
       {{"UninstallString", "\"C:\\Gone\\uninstall.exe\""},
        {"DisplayIcon", "C:\\Gone\\app.exe,0"},
        {"InstallLocation", "C:\\Gone\\"},
        {"DisplayName", "Gone App"},
        {"URLInfoAbout", "https://example.com/"}},
       false,
       {""}},
      {"uninstaller gone but the entry names a file that is there: its values",
       {{"UninstallString", "C:\\Gone\\uninstall.exe"}, {"DisplayIcon", "C:\\Apps\\here.exe"}},
       false,
       {"UninstallString"}},
      {"an entry with keys below it: its values",
       {{"UninstallString", "C:\\Gone\\uninstall.exe"}, {"Sub\\Data", "x"}},
       false,
       {"UninstallString"}},
      {"a quiet uninstaller that is there keeps the entry",
       {{"UninstallString", "C:\\Gone\\uninstall.exe"}, {"QuietUninstallString", "C:\\Apps\\here.exe /S"}},
       false,
       {}},
      {"no uninstaller this program can test: its values",
       {{"UninstallString", "MsiExec.exe /X{1}"}, {"DisplayIcon", "C:\\Gone\\app.exe"}},
       false,
       {"DisplayIcon"}},
      {"an uninstaller that cannot be looked at is not gone",
       {{"UninstallString", "C:\\Users\\Other\\unins.exe"}, {"DisplayIcon", "C:\\Gone\\app.exe"}},
       false,
       {}},
      {"a 32-bit uninstaller in the system folder is where WoW64 put it",
       {{"UninstallString", "C:\\Windows\\System32\\unins32.exe"}, {"DisplayIcon", "C:\\Gone\\app.exe"}},
       true,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (const auto& [root, code, problem] :
         {std::tuple<std::string, const char*, ProblemId>{"HKLM\\", "21", ProblemId::InstallerReferenceIssue},
          {"HKCU\\", "27", ProblemId::PerUserProgramIssue}}) {
      if (c.wow64 && root == "HKCU\\") continue;
      MemoryPlatform local;
      SeedFiles(local.files,
                {"C:\\Apps\\here.exe", "C:\\Windows\\SysWOW64\\unins32.exe", "C:\\Users\\Other\\unins.exe"});
      local.files.SetUnreadable("C:\\Users\\Other");
      const std::string uninstall =
          c.wow64 ? "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall" : kUninstall;
      std::vector<RegRow> seed;
      for (const auto& [name, text] : c.values) {
        const std::string where = std::string(name).find('\\') == std::string::npos ? "" : "\\Sub";
        const std::string value = where.empty() ? name : std::string(name).substr(4);
        seed.push_back(Str(root + uninstall + "\\App" + where, value, text));
      }
      Seed(local.registry, seed);
      std::vector<std::string> listed;
      for (const ProblemRow& row : test::RunScan(local.platform, {code}).rows) {
        EXPECT_EQ(row.problem, problem);
        listed.push_back(row.kind == rkKey ? "" : row.registryKey.substr(row.registryKey.rfind('\\') + 1));
      }
      EXPECT_EQ(listed, c.listed) << code;
    }
  }
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
  ProblemId problem = ProblemId::OpenWithApplicationIssue;
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
