// Which problem rows the ignore lists remove, by row kind, entry form and root.
#include "scan/IgnoreFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"

namespace tamrisk {
namespace {

constexpr const char* kSid = "S-1-5-21-1004336348-1177238915-682003330-1000";

// A row at key.
ProblemRow At(const std::string& key, const std::string& value, RowKind kind) {
  return test::Row(ProblemId::InvalidFileOrFolder, key, value, kind);
}

struct IgnoreCase {
  const char* name;
  ProblemRow row;
  std::vector<std::string> values;
  std::vector<std::string> keys;
  bool ignored;
};

void ExpectCases(const std::vector<IgnoreCase>& cases, const std::string& sid) {
  for (const IgnoreCase& c : cases) {
    const IgnoreLists lists{c.values, c.keys, sid};
    EXPECT_EQ(IsIgnored(c.row, lists), c.ignored) << c.name;
  }
}

TEST(IgnoreFilterTest, ValueEntriesMatchTheWholeValuePathOrCoverTheKeyAbove) {
  const std::string tool = "HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool";
  // clang-format off
  ExpectCases(
      {
          {"value in path, other case", At("hkey_local_machine\\software\\x\\run\\tool", "C:\\t.exe", rkValueInPath),
           {tool}, {}, true},
          {"value in path, other value", At("HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool2", "", rkValueInPath),
           {tool}, {}, false},
          {"value in path is no substring match", At("HKEY_LOCAL_MACHINE\\Software\\X\\Run\\To", "", rkValueInPath),
           {tool}, {}, false},
          {"value in column", At("HKEY_LOCAL_MACHINE\\Software\\X\\Run", "TOOL", rkValueInColumn), {tool}, {}, true},
          {"value in column, shared DLL path as name",
           At("HKEY_LOCAL_MACHINE\\Software\\Dlls", "C:\\a\\b.dll", rkValueInColumn),
           {"HKEY_LOCAL_MACHINE\\Software\\Dlls\\c:\\A\\B.DLL"}, {}, true},
          {"default value is @", At("HKEY_CLASSES_ROOT\\.txt", "C:\\x.exe", rkDefaultValue),
           {"HKEY_CLASSES_ROOT\\.txt\\@"}, {}, true},
          {"default value needs @", At("HKEY_CLASSES_ROOT\\.txt", "C:\\x.exe", rkDefaultValue),
           {"HKEY_CLASSES_ROOT\\.txt\\"}, {}, false},
          {"key row above the value", At("HKEY_LOCAL_MACHINE\\Software\\X", "C:\\x.exe", rkKey), {tool}, {}, true},
          {"key row elsewhere", At("HKEY_LOCAL_MACHINE\\Software\\Y", "", rkKey), {tool}, {}, false},
          {"key row, entry in other case", At("HKEY_LOCAL_MACHINE\\SOFTWARE\\x\\run", "", rkKey), {tool}, {}, true},
          {"subkey row above the value", At("HKEY_LOCAL_MACHINE\\Software", "X", rkSubkeyInColumn), {tool}, {}, true},
          {"subkey row beside the value", At("HKEY_LOCAL_MACHINE\\Software", "Z", rkSubkeyInColumn), {tool}, {}, false},
          {"key row whose name only begins the entry's key", At("HKEY_LOCAL_MACHINE\\Software\\X\\Ru", "", rkKey),
           {tool}, {}, false},
          {"key row named like the value", At("HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool", "", rkKey), {tool}, {},
           false},
          {"subkey row whose name only begins a step", At("HKEY_LOCAL_MACHINE\\Software\\X", "Ru", rkSubkeyInColumn),
           {tool}, {}, false},
          {"empty entry never matches", At("HKEY_LOCAL_MACHINE\\Software\\X", "", rkKey), {""}, {}, false},
      },
      "");
  // clang-format on
}

TEST(IgnoreFilterTest, KeyEntriesCoverTheKeyTheyNameAndEverythingBelowItAtWholeSteps) {
  const std::string fileExts = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
  // clang-format off
  ExpectCases(
      {
          {"the entry's own key", At(fileExts, ".ab", rkSubkeyInColumn), {}, {fileExts + "\\.ab"}, true},
          {"a key below it", At(fileExts + "\\.ab\\OpenWithList", "a", rkValueInColumn), {}, {fileExts + "\\.AB"},
           true},
          {"a name that only begins with the entry's last step", At(fileExts, ".abc", rkSubkeyInColumn), {},
           {fileExts + "\\.ab"}, false},
          {"a name that only ends with the entry's first step", At("HKEY_LOCAL_MACHINE\\Software\\MyVendor", "", rkKey),
           {}, {"Vendor"}, false},
          {"a partial path in the middle of the key", At("HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Run", "", rkKey),
           {}, {"Software\\Vendor"}, true},
          {"a partial path at its end", At("HKEY_CURRENT_USER\\Software\\Vendor", "", rkKey), {}, {"software\\vendor"},
           true},
          {"a partial path whose look-alike comes first", At("HKEY_LOCAL_MACHINE\\Software\\VendorX\\Software\\Vendor",
                                                              "", rkKey), {}, {"Software\\Vendor"}, true},
          {"an entry ending in \\ covers only what is below", At("HKEY_LOCAL_MACHINE\\Software\\Vendor", "", rkKey),
           {}, {"Software\\Vendor\\"}, false},
          {"an entry ending in \\, a key below", At("HKEY_LOCAL_MACHINE\\Software\\Vendor\\App", "", rkKey),
           {}, {"Software\\Vendor\\"}, true},
          {"any root, any case", At("HKEY_CURRENT_USER\\SOFTWARE\\X\\Run\\Tool", "", rkValueInPath),
           {}, {"Software\\X"}, true},
          {"machine root too", At("HKEY_LOCAL_MACHINE\\software\\x", "", rkKey), {}, {"Software\\X"}, true},
          {"subkey in column", At("HKEY_LOCAL_MACHINE\\Software", "X", rkSubkeyInColumn), {}, {"Software\\X"}, true},
          {"value name is not part of the key", At("HKEY_LOCAL_MACHINE\\Software", "X", rkValueInColumn),
           {}, {"Software\\X"}, false},
          {"value name in path is not part of the key", At("HKEY_LOCAL_MACHINE\\Software\\X", "", rkValueInPath),
           {}, {"Software\\X"}, false},
          {"a longer entry does not cover a shorter key", At("HKEY_LOCAL_MACHINE\\Software", "", rkKey),
           {}, {"HKEY_LOCAL_MACHINE\\Software\\X"}, false},
          {"empty entry never matches", At("HKEY_LOCAL_MACHINE\\Software", "", rkKey), {}, {""}, false},
          {"later entry matches", At("HKEY_LOCAL_MACHINE\\Software\\B", "", rkKey), {}, {"\\A", "\\B"}, true},
      },
      "");
  // clang-format on
}

TEST(IgnoreFilterTest, RowsThatNameNoRegistryKeyAreNeverRemoved) {
  // clang-format off
  ExpectCases(
      {
          {"shortcut file", At("C:\\Users\\me\\Desktop\\Tool.lnk", "C:\\Tool.exe", rkShortcutFile),
           {"C:\\Users\\me\\Desktop\\Tool.lnk\\C:\\Tool.exe"}, {"Desktop"}, false},
          {"no backslash", At("HKEY_LOCAL_MACHINE", "", rkKey), {"HKEY_LOCAL_MACHINE"}, {"HKEY"}, false},
          {"unknown kind", At("HKEY_LOCAL_MACHINE\\Software", "", static_cast<RowKind>(7)), {}, {"Software"}, false},
      },
      "");
  // clang-format on
}

TEST(IgnoreFilterTest, CurrentUserHiveMatchesThroughBothRoots) {
  const std::string hku = std::string("HKEY_USERS\\") + kSid;
  // clang-format off
  ExpectCases(
      {
          {"HKCU value entry, HKU row", At(hku + "\\Software\\X\\Run\\Tool", "", rkValueInPath),
           {"HKEY_CURRENT_USER\\Software\\X\\Run\\Tool"}, {}, true},
          {"HKU value entry, HKCU row", At("HKEY_CURRENT_USER\\Software\\X\\Run\\Tool", "", rkValueInPath),
           {hku + "\\Software\\X\\Run\\Tool"}, {}, true},
          {"HKU value entry in other case, HKCU row", At("hkey_current_user\\Software\\X\\Run", "Tool", rkValueInColumn),
           {"hkey_users\\" + std::string(kSid) + "\\SOFTWARE\\X\\Run\\Tool"}, {}, true},
          {"HKCU value entry covers HKU key row", At(hku + "\\Software\\X", "", rkKey),
           {"HKEY_CURRENT_USER\\Software\\X\\Run\\Tool"}, {}, true},
          {"HKU value entry covers HKCU key row", At("HKEY_CURRENT_USER\\Software\\X", "", rkKey),
           {hku + "\\Software\\X\\Run\\Tool"}, {}, true},
          {"HKCU default value, HKU row", At(hku + "\\Software\\Classes\\.t", "x", rkDefaultValue),
           {"HKEY_CURRENT_USER\\Software\\Classes\\.t\\@"}, {}, true},
          {"HKCU key entry, HKU row", At(hku + "\\Software\\X\\Sub", "", rkKey), {}, {"HKEY_CURRENT_USER\\Software\\X"},
           true},
          {"HKU key entry, HKCU row", At("HKEY_CURRENT_USER\\Software\\X", "Sub", rkSubkeyInColumn),
           {}, {hku + "\\Software\\X"}, true},
          {"whole HKU hive entry, HKCU row", At("HKEY_CURRENT_USER\\Software", "", rkKey), {}, {hku}, true},
          {"whole HKCU entry, HKU row", At(hku + "\\Software", "", rkKey), {}, {"HKEY_CURRENT_USER"}, true},
          {"HKCU key entry does not cover other keys", At(hku + "\\Software\\Y", "", rkKey),
           {}, {"HKEY_CURRENT_USER\\Software\\X"}, false},
      },
      kSid);
  // clang-format on
}

TEST(IgnoreFilterTest, AClassRegistrationMatchesOnEveryRoadToIt) {
  const std::string hku = std::string("HKEY_USERS\\") + kSid;
  const std::vector<std::string> roads = {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
                                          "HKEY_CURRENT_USER\\Software\\Classes", hku + "\\Software\\Classes",
                                          hku + "_Classes"};
  std::vector<IgnoreCase> cases;
  for (const std::string& entryRoad : roads) {
    for (const std::string& rowRoad : roads) {
      cases.push_back({"key entry", At(rowRoad + "\\.ab\\shell", "", rkKey), {}, {entryRoad + "\\.ab"}, true});
      cases.push_back({"value entry", At(rowRoad + "\\.ab", "x", rkDefaultValue), {entryRoad + "\\.ab\\@"}, {}, true});
      cases.push_back({"whole steps", At(rowRoad + "\\.abc", "", rkKey), {}, {entryRoad + "\\.ab"}, false});
    }
  }
  cases.push_back({"the classes key itself",
                   At("HKEY_LOCAL_MACHINE\\Software", "Classes", rkSubkeyInColumn),
                   {},
                   {"HKEY_CLASSES_ROOT"},
                   true});
  cases.push_back({"outside the classes",
                   At("HKEY_LOCAL_MACHINE\\Software\\ClassesX\\.ab", "", rkKey),
                   {},
                   {"HKEY_CLASSES_ROOT\\.ab"},
                   false});
  cases.push_back({"another user's classes",
                   At("HKEY_USERS\\S-1-5-21-9_Classes\\.ab", "", rkKey),
                   {},
                   {"HKEY_CLASSES_ROOT\\.ab"},
                   false});
  ExpectCases(cases, kSid);
}

TEST(IgnoreFilterTest, OtherUsersHivesAreMatchedOnlyAsWritten) {
  const std::string other = "HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::string longer = std::string("HKEY_USERS\\") + kSid + "0";  // the SID is a prefix of this one
  // clang-format off
  ExpectCases(
      {
          {"other SID row, HKCU entry", At(other + "\\Software\\X", "", rkKey), {}, {"HKEY_CURRENT_USER\\Software\\X"},
           false},
          {"longer SID row, HKCU entry", At(longer + "\\Software\\X", "", rkKey), {}, {"HKEY_CURRENT_USER\\Software"},
           false},
          {"HKCU row, other SID entry", At("HKEY_CURRENT_USER\\Software\\X", "", rkKey), {}, {other + "\\Software"},
           false},
          {"other SID row, its own entry", At(other + "\\Software\\X", "", rkKey), {}, {other + "\\Software"}, true},
          {"default user row", At("HKEY_USERS\\.DEFAULT\\Software\\X", "", rkKey), {},
           {"HKEY_CURRENT_USER\\Software\\X"}, false},
          {"the classes hive is not the user's hive", At(std::string("HKEY_USERS\\") + kSid + "_Classes\\.txt", "",
                                                          rkKey), {}, {"HKEY_CURRENT_USER\\.txt"}, false},
          {"root name prefix only", At("HKEY_CURRENT_USER_X\\Software\\X", "", rkKey), {},
           {std::string("HKEY_USERS\\") + kSid + "_X\\Software"}, false},
      },
      kSid);
  // clang-format on
}

TEST(IgnoreFilterTest, WithoutAKnownSidTheRootsStayApart) {
  const std::string hku = std::string("HKEY_USERS\\") + kSid;
  // clang-format off
  ExpectCases(
      {
          {"HKCU entry, HKU row", At(hku + "\\Software\\X", "", rkKey), {}, {"HKEY_CURRENT_USER\\Software\\X"}, false},
          {"HKU entry, HKCU row", At("HKEY_CURRENT_USER\\Software\\X", "", rkKey), {}, {hku + "\\Software"}, false},
      },
      "");
  // clang-format on
}

TEST(IgnoreFilterTest, ApplyRemovesEveryIgnoredRowAndKeepsTheOrderOfTheRest) {
  VectorResults results({
      At("HKEY_LOCAL_MACHINE\\Software\\A", "", rkKey),
      At("HKEY_LOCAL_MACHINE\\Software\\B", "", rkKey),
      At("HKEY_LOCAL_MACHINE\\Software\\A\\Run\\Tool", "", rkValueInPath),
      At("C:\\Desktop\\A.lnk", "C:\\A.exe", rkShortcutFile),
      At("HKEY_CURRENT_USER\\Software\\C", "", rkKey),
      At("HKEY_LOCAL_MACHINE\\Software\\A", "", rkKey),
  });
  ApplyIgnoreLists(results, IgnoreLists{{"HKEY_CURRENT_USER\\Software\\C\\Value"}, {"Software\\A"}, ""});
  ASSERT_EQ(results.rows.size(), 2u);
  EXPECT_EQ(results.rows[0].registryKey, "HKEY_LOCAL_MACHINE\\Software\\B");
  EXPECT_EQ(results.rows[1].registryKey, "C:\\Desktop\\A.lnk");
}

TEST(IgnoreFilterTest, EmptyListsKeepEveryRow) {
  VectorResults results({At("HKEY_LOCAL_MACHINE\\Software\\A", "", rkKey)});
  ApplyIgnoreLists(results, IgnoreLists{});
  EXPECT_EQ(results.rows.size(), 1u);
}

TEST(IgnoreListsTest, CarryTheUsersSid) {
  MemoryPlatform memory;
  memory.system.SetCurrentUserSid("S-1-5-21-1-2-3-1000");
  const IgnoreLists lists = IgnoreListsOf(memory.platform, {"a"}, {});
  EXPECT_EQ(lists.values, (std::vector<std::string>{"a"}));
  EXPECT_EQ(lists.currentUserSid, "S-1-5-21-1-2-3-1000");
}

}  // namespace
}  // namespace tamrisk
