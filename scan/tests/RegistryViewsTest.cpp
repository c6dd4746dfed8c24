// The 32-bit registry view, read by every category whose fixed key 64-bit Windows keeps apart for
// 32-bit programs, and one row for each entry however many names reach it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/RegistryViews.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using namespace test;

constexpr char kGone[] = "C:\\Gone\\app.exe";
constexpr char kWow[] = "HKLM\\Software\\Wow6432Node\\";

struct ViewCase {
  const char* code;
  std::vector<RegRow> seed;  // an entry in the 32-bit view only
  const char* rowKey;        // the "Registry key" text of the row it gives
};

const ViewCase kViewCases[] = {
    {"6",
     {Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", "", kGone)},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe"},
    {"8",
     {Str(std::string(kWow) + "Microsoft\\Windows\\Help", "app.hlp", "C:\\Gone")},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\Help\\app.hlp"},
    {"9",
     {Dword(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\SharedDlls", kGone, 1)},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"},
    {"10",
     {Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\Run", "App", kGone)},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\App"},
    {"10",
     {Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\RunOnce", "App", kGone)},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\App"},
    {"10",
     {Str(std::string(kWow) + "Microsoft\\Shared Tools\\MSConfig\\startupreg\\App", "command", kGone)},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Shared Tools\\MSConfig\\startupreg\\App"},
    {"11",
     {Key(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\Uninstall\\App")},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {"13",
     {Str("HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{A}\\InprocServer32", "", "C:\\Gone\\app.dll")},
     "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{A}\\InprocServer32"},
    {"14", {Key(std::string(kWow) + "Vendor\\App")}, "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node"},
    {"21",
     {Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", "DisplayIcon", kGone)},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\DisplayIcon"},
    {"21",
     {Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\Installer\\Folders", "C:\\Gone\\", "")},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders"},
    {"21",
     {Key("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"),
      Key(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\App")},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache"},
    {"25",
     {Str(std::string(kWow) + "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers", kGone, "WIN98")},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers"},
    {"26",
     {Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\App", "",
          "{Unregistered}")},
     "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
     "ShellIconOverlayIdentifiers\\App"},
    {"22",
     {Str("HKLM\\Software\\Classes\\Wow6432Node\\Applications\\app.exe\\shell\\open\\command", "", kGone)},
     "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\Applications\\app.exe\\shell\\open\\command"},
};

TEST(RegistryViewsTest, EachCategoryReadsThe32BitCopyOfItsKeys) {
  for (const ViewCase& c : kViewCases) {
    SCOPED_TRACE(std::string("code ") + c.code + ": " + c.rowKey);
    MemoryPlatform env;
    Seed(env.registry, c.seed);
    const std::vector<ProblemRow> rows = RunScan(env.platform, {c.code}).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].registryKey, c.rowKey);
  }
}

// Windows and Wine make the keys both views share links: such a copy is the 64-bit key again.
TEST(RegistryViewsTest, AKeyBothViewsShareIsReadOnce) {
  MemoryPlatform env;
  const std::string appPaths = "Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe";
  Seed(env.registry, {Str("HKLM\\Software\\" + appPaths, "", kGone), Str(kWow + appPaths, "", kGone)});
  env.registry.MarkLink(RootKey::LocalMachine, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths");
  EXPECT_EQ(RunScan(env.platform, {"6"}).rows.size(), 1u);
}

// An uninstall entry of either view keeps its add/remove cache entry.
TEST(RegistryViewsTest, ACacheEntryOfOneViewIsKeptByTheUninstallEntryOfTheOther) {
  MemoryPlatform env;
  Seed(env.registry,
       {Str("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wide", "DisplayName", "W"),
        Str(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Narrow", "DisplayName", "N"),
        Key("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\Narrow"),
        Key(std::string(kWow) + "Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\Wide")});
  EXPECT_EQ(RunScan(env.platform, {"21"}).rows, std::vector<ProblemRow>{});
}

struct NameCase {
  const char* label;
  RegLocation a;
  RegLocation b;
  bool same;
};

const NameCase kNameCases[] = {
    {"the current user's hive under both roots",
     {"HKEY_USERS", "S-1-5-21-7\\Software\\App", "Path", true},
     {"HKEY_CURRENT_USER", "software\\app", "PATH", true},
     true},
    {"the user's classes hive",
     {"HKEY_USERS", "S-1-5-21-7_Classes\\CLSID\\{A}", "", false},
     {"HKEY_CURRENT_USER", "Software\\Classes\\CLSID\\{A}", "", false},
     true},
    {"another user's hive",
     {"HKEY_USERS", "S-1-5-21-8\\Software\\App", "", false},
     {"HKEY_CURRENT_USER", "Software\\App", "", false},
     false},
    {"the system's two names",
     {"HKEY_USERS", "S-1-5-18\\Software", "", false},
     {"HKEY_USERS", ".DEFAULT\\Software", "", false},
     true},
    {"a class key and the machine's classes",
     {"HKEY_CLASSES_ROOT", "CLSID\\{A}", "", false},
     {"HKEY_LOCAL_MACHINE", "Software\\Classes\\CLSID\\{A}", "", false},
     true},
    {"the two names of the 32-bit classes",
     {"HKEY_LOCAL_MACHINE", "Software\\Wow6432Node\\Classes\\CLSID\\{A}", "", false},
     {"HKEY_CLASSES_ROOT", "Wow6432Node\\CLSID\\{A}", "", false},
     true},
    {"the two views are two keys",
     {"HKEY_LOCAL_MACHINE", "Software\\Wow6432Node\\App", "", false},
     {"HKEY_LOCAL_MACHINE", "Software\\App", "", false},
     false},
    {"a key and its default value",
     {"HKEY_CURRENT_USER", "Software\\App", "", false},
     {"HKEY_CURRENT_USER", "Software\\App", "", true},
     false},
    {"a key whose path runs on as a value's name",
     {"HKEY_CURRENT_USER", "Software\\App\\Path", "", false},
     {"HKEY_CURRENT_USER", "Software\\App", "Path", true},
     false},
    {"a shortcut file in another letter case",
     {"", "C:\\Users\\a.lnk", "", false},
     {"", "c:\\users\\A.LNK", "", false},
     true},
};

TEST(RegistryViewsTest, CanonicalLocationsAreEqualExactlyForOneEntry) {
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(CanonicalLocation(c.a, "S-1-5-21-7") == CanonicalLocation(c.b, "S-1-5-21-7"), c.same);
  }
}

// The sound scan's row stays and the walk's goes, whichever came first; two walks keep the first.
TEST(RegistryViewsTest, DuplicateRowsKeepTheMostSpecificCategorysRow) {
  const auto row = [](const std::string& key, int category) {
    ProblemRow made(false, ProblemId::InvalidFileOrFolder, key, "", rkDefaultValue);
    made.category = static_cast<CategoryCode>(category);
    return made;
  };
  VectorResults results(
      {row("HKEY_USERS\\S-1-5-21-7\\AppEvents\\Schemes\\Apps\\A", 5), row("HKEY_CURRENT_USER\\Software\\Other", 4),
       row("HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\A", 18), row("HKEY_USERS\\S-1-5-21-7\\Software\\Other", 5)});
  DropDuplicateRows(results, "S-1-5-21-7");
  std::vector<int> kept;
  for (const ProblemRow& r : results.rows) kept.push_back(NumberOf(r.category));
  EXPECT_EQ(kept, (std::vector<int>{4, 18}));
}

// A walk's row of a value inside a key another category lists whole goes; one beside it stays.
TEST(RegistryViewsTest, AWalksRowInsideAKeyListedWholeIsDropped) {
  const auto row = [](const std::string& key, const std::string& value, RowKind kind, int category) {
    ProblemRow made(false, ProblemId::InvalidFileOrFolder, key, value, kind);
    made.category = static_cast<CategoryCode>(category);
    return made;
  };
  const std::string paths = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  VectorResults results({
      row("HKEY_USERS\\S-1-5-21-7\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe\\@", "C:\\a.exe",
          rkValueInPath, 5),
      row(paths + "a.exe\\Path", "C:\\Gone\\", rkValueInPath, 4),
      row(paths + "a.exe", "C:\\a.exe", rkKey, 27),
      row(paths + "a.exe2\\@", "C:\\a.exe", rkValueInPath, 4),
  });
  DropDuplicateRows(results, "S-1-5-21-7");
  std::vector<std::string> kept;
  for (const ProblemRow& r : results.rows) kept.push_back(r.registryKey);
  EXPECT_EQ(kept, (std::vector<std::string>{paths + "a.exe", paths + "a.exe2\\@"}));
}

}  // namespace
}  // namespace tamrisk
