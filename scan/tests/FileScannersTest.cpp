// The hive walk and the three files-and-folders scanners (codes 3 to 5) on the memory platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Text.h"
#include "platform/memory/MemoryPlatform.h"
#include "scan/ScanTask.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {

namespace {

using namespace test;

constexpr ProblemId kProblem = ProblemId::InvalidFileOrFolder;
constexpr const char* kGone = "C:\\Gone\\app.exe";

// A row of the hive walk's problem.
ProblemRow FileRow(const std::string& key, const std::string& value, RowKind kind = rkValueInPath,
                   ProblemId problem = kProblem) {
  return Row(problem, key, value, kind);
}

class HiveWalkTest : public test::MemoryScanTest {
 protected:
  void SetUp() override { SeedFiles(env.files, {"C:\\Apps\\here.exe", "C:\\Data\\", "D:\\Other\\"}); }
};

TEST_F(HiveWalkTest, LocalMachineScanWalksSoftwareOnlyAndReportsMissingTargets) {
  Seed(env.registry, {
                         Str("HKLM\\Software\\Vendor\\App", "Path", kGone),
                         Str("HKLM\\Software\\Vendor\\App", "Here", "C:\\Apps\\here.exe"),
                         Str("HKLM\\Software\\Vendor\\App", "Folder", "C:\\Data"),
                         Str("HKLM\\Software\\Vendor\\App", "OtherDrive", "D:\\Gone\\app.exe"),
                         Str("HKLM\\SYSTEM\\Setup", "Path", kGone),
                         Str("HKLM\\Hardware\\Thing", "Path", kGone),
                     });
  const test::ScanResult result = Scan({"3"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Files and Folders - HKEY_LOCAL_MACHINE..."});
  EXPECT_EQ(result.rows, std::vector<ProblemRow>{FileRow("HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Path", kGone)});
  EXPECT_EQ(Scan({"3"}, "D").rows, std::vector<ProblemRow>{FileRow(
                                       "HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\OtherDrive", "D:\\Gone\\app.exe")});
  EXPECT_EQ(Scan({"3"}, "").rows, std::vector<ProblemRow>{});
}

TEST_F(HiveWalkTest, RowsNameEachValueExactlyInPreOrder) {
  Seed(env.registry, {
                         Str("HKCU", "AtRoot", kGone),
                         Str("HKCU\\A", "", "C:\\Gone\\default.exe"),
                         ExpandStr("HKCU\\A", "Expand", "C:\\Gone\\expand.exe"),
                         Str("HKCU\\A", "C:\\Shared\\lib.dll", "C:\\Gone\\lib.dll"),
                         Str("HKCU\\A\\B", "Deep", "C:\\Gone\\deep.exe"),
                         Str("HKCU\\A\\C", "Deeper", "C:\\Gone\\deeper.exe"),
                         Str("HKCU\\D", "Last", "C:\\Gone\\last.exe"),
                         Dword("HKCU\\E", "Number", 7),
                         Raw("HKCU\\E", "Binary", regtype::Binary, TextBytes(kGone)),
                         Raw("HKCU\\E", "Multi", regtype::MultiString, TextBytes(std::string(kGone) + '\0')),
                         Raw("HKCU\\E", "Link", regtype::Link, TextBytes(kGone)),
                     });
  EXPECT_EQ(Scan({"4"}).rows, (std::vector<ProblemRow>{
                                  // Directly under the root the empty start path gives two backslashes.
                                  FileRow("HKEY_CURRENT_USER\\\\AtRoot", kGone),
                                  // The default value: the key's path and a trailing backslash.
                                  FileRow("HKEY_CURRENT_USER\\A\\", "C:\\Gone\\default.exe"),
                                  FileRow("HKEY_CURRENT_USER\\A\\Expand", "C:\\Gone\\expand.exe"),
                                  // A name holding "\" would be cut in a key + name row.
                                  FileRow("HKEY_CURRENT_USER\\A", "C:\\Shared\\lib.dll", rkValueInColumn),
                                  FileRow("HKEY_CURRENT_USER\\A\\B\\Deep", "C:\\Gone\\deep.exe"),
                                  FileRow("HKEY_CURRENT_USER\\A\\C\\Deeper", "C:\\Gone\\deeper.exe"),
                                  FileRow("HKEY_CURRENT_USER\\D\\Last", "C:\\Gone\\last.exe"),
                              }));
}

// Every entry of the two skip lists, spelt in another letter case than the list's, hides its
// subtree; a sibling whose name only starts like it, and the parent, are still walked.
struct SkipCase {
  const char* code;
  const char* root;
  const char* rowRoot;
  const char* path;
};

// The listed path in another letter case. Code 3 starts at "Software" as it names it, so there only
// the levels below change.
std::string Respelt(const SkipCase& c) {
  const std::string path = c.path;
  if (std::string(c.code) != "3") return AsciiUpper(path) == path ? AsciiLower(path) : AsciiUpper(path);
  return "Software" + AsciiLower(path.substr(path.find('\\')));
}

class SkipListTest : public HiveWalkTest, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(SkipListTest, ListedKeyIsSkippedWholeButNotItsLookalikeOrParent) {
  const SkipCase& c = GetParam();
  const std::string listed = Respelt(c);
  const std::string parent = listed.substr(0, listed.rfind('\\'));
  const std::string root = c.root;
  Seed(env.registry, {
                         Str(root + "\\" + listed, "Path", kGone),
                         Str(root + "\\" + listed + "\\Below", "Path", kGone),
                         Str(root + "\\" + listed + "X", "Path", kGone),
                         Str(root + "\\" + parent, "Parent", kGone),
                     });
  const std::string rowRoot = c.rowRoot;
  EXPECT_EQ(Scan({c.code}).rows, (std::vector<ProblemRow>{
                                     FileRow(rowRoot + "\\" + parent + "\\Parent", kGone),
                                     FileRow(rowRoot + "\\" + listed + "X\\Path", kGone),
                                 }));
}

INSTANTIATE_TEST_SUITE_P(
    LocalMachine, SkipListTest,
    ::testing::Values(
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Classes\\CLSID"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Classes\\TypeLib"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\Help"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\Html Help"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Classes\\Applications"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders"},
        SkipCase{"3", "HKLM", "HKEY_LOCAL_MACHINE",
                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache"}));

INSTANTIATE_TEST_SUITE_P(
    CurrentUser, SkipListTest,
    ::testing::Values(SkipCase{"4", "HKCU", "HKEY_CURRENT_USER", "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
                      SkipCase{"4", "HKCU", "HKEY_CURRENT_USER",
                               "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
                      SkipCase{"4", "HKCU", "HKEY_CURRENT_USER", "AppEvents\\Schemes\\Apps"},
                      SkipCase{"4", "HKCU", "HKEY_CURRENT_USER",
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU"}));

// 64-bit Windows and Wine keep a copy of Software for 32-bit programs under Software\Wow6432Node, and
// of the machine's classes under Software\Classes\Wow6432Node: the copies of a listed key are skipped.
TEST_F(HiveWalkTest, CopiesOfListedKeysForThirtyTwoBitProgramsAreSkippedToo) {
  struct Case {
    const char* code;
    const char* key;
    bool skipped;
  };
  const Case cases[] = {
      {"3", "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\iexplore.exe", true},
      {"3", "HKLM\\SOFTWARE\\WOW6432NODE\\Classes\\TypeLib\\{L}\\1.0\\0\\win32", true},
      {"3", "HKLM\\Software\\Classes\\Wow6432Node\\TypeLib\\{L}\\1.0\\0\\win64", true},
      {"3", "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{C}\\InprocServer32", true},
      {"3", "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", true},
      {"3", "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App PathsX", false},
      {"3", "HKLM\\Software\\Classes\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", false},
      {"3", "HKLM\\Software\\Wow6432Node\\Vendor\\App", false},
      {"4", "HKCU\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true},
      {"4", "HKCU\\Software\\Wow6432Node\\AppEvents\\Schemes\\Apps", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    MemoryPlatform local;
    Seed(local.registry, {Str(c.key, "Path", kGone)});
    EXPECT_EQ(test::RunScan(local.platform, {c.code}, "c").rows.size(), c.skipped ? 0u : 1u);
  }
}

TEST_F(HiveWalkTest, EachSkipListBelongsToItsOwnHive) {
  Seed(env.registry,
       {
           Str("HKCU\\Software\\Classes\\CLSID\\{X}", "Path", kGone),
           Str("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU", "a", kGone),
       });
  EXPECT_EQ(Scan({"4"}).rows,
            std::vector<ProblemRow>{FileRow("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{X}\\Path", kGone)});
  EXPECT_EQ(Scan({"3"}).rows,
            std::vector<ProblemRow>{FileRow(
                "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU\\a",
                kGone)});
}

// Each hive under one name: the current user's as HKEY_CURRENT_USER; S-1-5-18 is .DEFAULT under
// another name.
TEST_F(HiveWalkTest, UsersScanWalksEveryHiveOnceWithoutSkipping) {
  env.SetCurrentUserSid("S-1-5-21-7");
  Seed(env.registry, {
                         Str("HKCU\\AppEvents\\Schemes\\Apps\\.Default\\Start\\.Current", "", kGone),
                         Str("HKU\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool", kGone),
                         Str("HKU\\S-1-5-18\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool", kGone),
                     });
  EXPECT_EQ(Scan({"4"}).rows, std::vector<ProblemRow>{});
  const ProblemRow defaultUser =
      FileRow("HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tool", kGone);
  const ProblemRow currentUser =
      FileRow("HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default\\Start\\.Current\\", kGone);
  const test::ScanResult users = Scan({"5"});
  EXPECT_EQ(users.tasks, std::vector<std::string>{"Scanning Files and Folders - HKEY_USERS..."});
  EXPECT_EQ(users.rows, (std::vector<ProblemRow>{defaultUser, currentUser}));
}

TEST_F(HiveWalkTest, KeysAreOpenedForReadingOnlyAndUnreadableOnesArePassedOver) {
  Seed(env.registry, {
                         Str("HKCU\\Locked", "Path", "C:\\Gone\\locked.exe"),
                         Str("HKCU\\Locked\\Below", "Path", "C:\\Gone\\below.exe"),
                         Str("HKCU\\ReadOnly", "Path", "C:\\Gone\\readonly.exe"),
                         Str("HKCU\\ReadOnly\\Below", "Path", "C:\\Gone\\below.exe"),
                         Str("HKCU\\Zed", "Path", "C:\\Gone\\zed.exe"),
                     });
  env.registry.DenyRights(RootKey::CurrentUser, "Locked", rights::Read);
  env.registry.DenyRights(RootKey::CurrentUser, "ReadOnly", 0x0002 /* KEY_SET_VALUE */ | 0x10000 /* DELETE */);
  EXPECT_EQ(Scan({"4"}).rows, (std::vector<ProblemRow>{
                                  FileRow("HKEY_CURRENT_USER\\ReadOnly\\Path", "C:\\Gone\\readonly.exe"),
                                  FileRow("HKEY_CURRENT_USER\\ReadOnly\\Below\\Path", "C:\\Gone\\below.exe"),
                                  FileRow("HKEY_CURRENT_USER\\Zed\\Path", "C:\\Gone\\zed.exe"),
                              }));
}

TEST_F(HiveWalkTest, AFailedReadEndsTheCategoryKeepingTheRowsFoundBefore) {
  Seed(env.registry, {
                         Str("HKCU\\A", "Path", "C:\\Gone\\a.exe"),
                         Str("HKCU\\B", "Path", "C:\\Gone\\b.exe"),
                         Str("HKCU\\C", "Path", "C:\\Gone\\c.exe"),
                         Key("HKCU\\Software\\Empty"),
                     });
  env.registry.FailReads(RootKey::CurrentUser, "B", "Path");
  const test::ScanResult result = Scan({"4", "14"});
  ASSERT_EQ(result.rows.size(), 2u);  // A's row, then the next category's
  EXPECT_EQ(result.rows[0], FileRow("HKEY_CURRENT_USER\\A\\Path", "C:\\Gone\\a.exe"));
  EXPECT_EQ(result.tasks.size(), 2u) << "the next category runs";
  EXPECT_EQ(result.incomplete, std::vector<int>{4});
  EXPECT_TRUE(result.ended);
}

// A sink that notes how many registry keys are open whenever the walk shows a key, that is, while
// every ancestor of that key is open too. The walk's threads all report to it.
class OpenKeyProbe final : public ScanSink {
 public:
  explicit OpenKeyProbe(const MemoryRegistry& registry) : registry_(registry) {}
  void StartCategory(CategoryCode) override {}
  void FinishCategory() override {}
  void ShowTask(const std::string&) override {}
  void ShowCurrentKey(const std::string&) override {
    std::lock_guard lock(mutex_);
    peak = std::max(peak, registry_.OpenHandleCount());
    ++keys;
  }
  void AppendProblem(const ProblemRow&) override {}
  void ScanEnded() override {}

  std::size_t peak = 0;
  long keys = 0;

 private:
  const MemoryRegistry& registry_;
  std::mutex mutex_;
};

std::size_t PeakOpenKeys(MemoryPlatform& env, long& keys) {
  auto probe = std::make_shared<OpenKeyProbe>(env.registry);
  auto task = std::make_shared<TScanTaskThread>(env.platform, probe, false, false);
  task->TestedDrives = "c";
  task->Categories = {CategoryCode::CurrentUserFiles};
  task->Execute();
  keys = probe->keys;
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u) << "every key is closed again";
  return probe->peak;
}

TEST_F(HiveWalkTest, KeysHeldOpenAtOnceFollowTheDepthNotTheSize) {
  for (int i = 0; i < 300; ++i) env.registry.SetString(RootKey::CurrentUser, "Wide\\K" + std::to_string(i), "V", "x");
  std::string deep = "Deep";
  for (int level = 0; level < 40; ++level) deep += "\\L" + std::to_string(level);
  env.registry.CreateKey(RootKey::CurrentUser, deep);
  long keys = 0;
  // At most Deep and the 40 levels below it (the root is a predefined handle) and one key the walk's
  // other thread holds; the 300 wide keys add nothing.
  EXPECT_LE(PeakOpenKeys(env, keys), 42u);
  EXPECT_EQ(keys, 1 + 1 + 300 + 1 + 40);
}

// Keys "Big\Ai\Bj\Ck" with three values each.
void SeedBigTree(MemoryRegistry& registry, int fanOut) {
  for (int a = 0; a < fanOut; ++a) {
    for (int b = 0; b < fanOut; ++b) {
      for (int c = 0; c < fanOut; ++c) {
        const std::string path = "Big\\A" + std::to_string(a) + "\\B" + std::to_string(b) + "\\C" + std::to_string(c);
        registry.SetString(RootKey::CurrentUser, path, "Title", "item");
        registry.SetString(RootKey::CurrentUser, path, "Path", "C:\\Gone\\app.exe");
        registry.SetDword(RootKey::CurrentUser, path, "Size", 1);
      }
    }
  }
}

TEST(HiveWalkStop, AStopRequestEndsALongWalkPromptly) {
  MemoryPlatform env;
  SeedBigTree(env.registry, 20);  // 8000 keys with a missing file each: the whole walk takes seconds
  auto sink = std::make_shared<HeadlessSink>();
  auto task = std::make_shared<TScanTaskThread>(env.platform, sink, false, false);
  task->TestedDrives = "c";
  task->Categories = {CategoryCode::CurrentUserFiles, CategoryCode::UsersFiles};
  std::thread worker([task] { task->Execute(); });
  while (sink->KeysShown() < 500) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto asked = std::chrono::steady_clock::now();
  task->RequestStop();
  while (!task->Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto ended = std::chrono::steady_clock::now();
  worker.join();
  EXPECT_LT(ended - asked, std::chrono::milliseconds(200));
  EXPECT_LT(sink->KeysShown(), 8000) << "the walk did not run to its end";
  EXPECT_FALSE(sink->Ended()) << "a stopped scan sends no end-of-scan notice";
  EXPECT_EQ(env.registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tamrisk
