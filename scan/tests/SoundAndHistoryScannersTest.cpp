// The Sound and Appevents and MRU and History Lists scanners (codes 18 and 20) on the memory platform.
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

class SoundAndHistoryScannersTest : public test::MemoryScanTest {
 protected:
  void SetUp() override {
    SeedFiles(env.files, {"C:\\Apps\\here.exe", "C:\\Apps\\here.dll", "C:\\Data\\", "C:\\Lib\\folder.dll\\",
                          "C:\\Media\\ding.wav", "C:\\Docs\\report.txt", "C:\\Docs\\whole.txt"});
  }
};

// ---- code 18 ----

TEST_F(SoundAndHistoryScannersTest, OnlySchemeKeysNamingAMissingSoundAreReported) {
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
                Row(ProblemId::MissingSoundFile, key + ".Default\\SystemExit\\.CURRENT", "C:\\Data", rkDefaultValue),
                Row(ProblemId::MissingSoundFile, key + ".Default\\SystemStart\\.Current", "C:\\Media\\start.wav",
                    rkDefaultValue),
                Row(ProblemId::MissingSoundFile, key + "Explorer\\Navigating\\utopia0", "C:\\Media\\navigate.wav",
                    rkDefaultValue),
            }));
}

// ---- code 20 ----

const std::string kHistory = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";

TEST_F(SoundAndHistoryScannersTest, HistoryEntriesAreTriedWithEachExtensionThenEachListIsWalked) {
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
  ProblemId problem = ProblemId::MissingMruFile;
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, key + "\\b", "C:\\Docs\\gone", rkValueInPath),
                             Row(problem, key + "\\*\\a", "C:\\Docs\\any.doc", rkValueInPath),
                             Row(problem, key + "\\txt\\a", "C:\\Docs\\old.txt", rkValueInPath),
                         }));
}

TEST_F(SoundAndHistoryScannersTest, HistoryEntriesAreNeverTestedAsTheyStand) {
  // "*" names no extension and the entry itself is not tried, so even an existing file is reported.
  Seed(env.registry, {Str("HKCU\\" + kHistory, "a", "C:\\Docs\\whole.txt"), Key("HKCU\\" + kHistory + "\\*")});
  const std::string key = "HKEY_CURRENT_USER\\" + kHistory;
  const std::vector<ProblemRow> expected = {
      Row(ProblemId::MissingMruFile, key + "\\a", "C:\\Docs\\whole.txt", rkValueInPath)};
  EXPECT_EQ(Scan({"20"}).rows, expected);
  env.registry.CreateKey(RootKey::CurrentUser, kHistory + "\\txt");
  EXPECT_EQ(Scan({"20"}).rows, expected) << "whole.txt.txt does not exist either";
}

}  // namespace
}  // namespace tamrisk
