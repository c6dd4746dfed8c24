// The entries "Ignore this value" and "Ignore this key" derive from a row, and how they join the
// counted lists of the options record.
#include "scan/IgnoreEntries.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/IgnoreListEdit.h"

namespace tamrisk {
namespace {

TEST(IgnoreEntries, EachRowKindGivesTheEntriesThatCoverIt) {
  struct Case {
    const char* what;
    ProblemRow row;
    std::optional<std::string> value;
    std::optional<std::string> key;
  };
  const std::vector<Case> cases = {
      {"whole key",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\X", "C:\\x.exe", rkKey},
       std::nullopt,
       "HKEY_LOCAL_MACHINE\\Software\\X"},
      {"value in the path",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool", "", rkValueInPath},
       "HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool",
       "HKEY_LOCAL_MACHINE\\Software\\X\\Run"},
      {"value in the column",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Run", "Tool", rkValueInColumn},
       "HKEY_CURRENT_USER\\Software\\Run\\Tool",
       "HKEY_CURRENT_USER\\Software\\Run"},
      {"subkey in the column",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_LOCAL_MACHINE\\Software\\Uninstall", "X", rkSubkeyInColumn},
       std::nullopt,
       "HKEY_LOCAL_MACHINE\\Software\\Uninstall\\X"},
      {"default value",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_CLASSES_ROOT\\.x", "C:\\x.exe", rkDefaultValue},
       "HKEY_CLASSES_ROOT\\.x\\@",
       "HKEY_CLASSES_ROOT\\.x"},
      // A value straight under a root: as a key entry the root would hide a whole hive.
      {"value under a root",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Tool", "", rkValueInPath},
       "HKEY_CURRENT_USER\\\\Tool",
       std::nullopt},
      {"shortcut file",
       {false, ProblemId::InvalidFileOrFolder, "C:\\Links\\a.lnk", "C:\\a.exe", rkShortcutFile},
       std::nullopt,
       std::nullopt},
      {"text without a backslash",
       {false, ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER", "", rkKey},
       std::nullopt,
       std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IgnoreValueEntryOf(c.row), c.value) << c.what;
    EXPECT_EQ(IgnoreKeyEntryOf(c.row), c.key) << c.what;
  }
}

TEST(IgnoreEntries, AnEntryJoinsRightAfterTheCountedOnesOnceInAnyLetterCase) {
  struct Case {
    const char* what;
    std::int32_t count;
    std::vector<std::string> before;
    std::string entry;
    std::vector<std::string> after;
  };
  const std::vector<Case> cases = {
      {"empty", 0, {}, "HKEY_A\\B", {"HKEY_A\\B"}},
      {"after the counted", 1, {"HKEY_A\\B"}, "HKEY_A\\C", {"HKEY_A\\B", "HKEY_A\\C"}},
      {"known in other case", 1, {"HKEY_A\\B"}, "hkey_a\\b", {"HKEY_A\\B"}},
      {"uncounted entries go", 1, {"HKEY_A\\B", "HKEY_A\\Stale"}, "HKEY_A\\C", {"HKEY_A\\B", "HKEY_A\\C"}},
      {"an uncounted match is no match", 0, {"HKEY_A\\B"}, "HKEY_A\\B", {"HKEY_A\\B"}},
      {"a count past the list", 5, {"HKEY_A\\B"}, "HKEY_A\\C", {"HKEY_A\\B", "HKEY_A\\C"}},
  };
  for (const Case& c : cases) {
    TOptionsSetting options;
    options.IgnoreValueCount = c.count;
    options.IgnoreValues = c.before;
    options.IgnoreKeyCount = c.count;
    options.IgnoreKeys = c.before;
    AddIgnoreValue(options, c.entry);
    AddIgnoreKey(options, c.entry);
    EXPECT_EQ(options.IgnoreValues, c.after) << c.what;
    EXPECT_EQ(options.IgnoreValueCount, static_cast<std::int32_t>(c.after.size())) << c.what;
    EXPECT_EQ(options.IgnoreKeys, c.after) << c.what;
    EXPECT_EQ(CountedList(options.IgnoreKeyCount, options.IgnoreKeys), c.after) << c.what;
  }
}

}  // namespace
}  // namespace tamrisk
