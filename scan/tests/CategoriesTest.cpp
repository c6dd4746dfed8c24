#include "scan/Categories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace tamrisk {
namespace {

// The tree, the scan, the settings and the progress window all read the table: a row that breaks one
// of these would build a tree with a node in the wrong place, a tick stored under another's key, or a
// ticked category that scans nothing.
TEST(Categories, TheTableIsOneTreeWithAScannerAndAStoredKeyForEveryCategory) {
  const std::span<const CategoryRow> table = CategoryTable();
  ASSERT_FALSE(table.empty());
  EXPECT_FALSE(table.front().parent) << "the root comes first";
  std::set<CategoryCode> seen;
  std::set<std::string> keys;
  for (const CategoryRow& row : table) {
    const int number = NumberOf(row.code);
    SCOPED_TRACE(number);
    EXPECT_TRUE(seen.insert(row.code).second) << "one row per code";
    EXPECT_TRUE(keys.insert(row.optionsKey).second) << "one tick per key";
    EXPECT_EQ(row.optionsKey, std::to_string(number)) << "the key options.ini has always used";
    EXPECT_TRUE(number >= 1 && number <= kHighestCategoryCode);
    EXPECT_EQ(row.parent.has_value(), &row != &table.front()) << "one root";
    if (row.parent) {
      EXPECT_TRUE(seen.count(*row.parent)) << "the parent comes before its children";
      EXPECT_TRUE(IsGroup(*row.parent)) << "only a group has nodes below it";
    }
    EXPECT_NE(row.name, nullptr);
    EXPECT_GE(row.weight, 0);
    if (row.scan == nullptr) {
      EXPECT_EQ(row.weight, 0) << "a group takes no time";
      EXPECT_FALSE(row.hiveWalk);
    } else {
      EXPECT_GT(row.weight, 0) << "a category moves the bar";
    }
  }
  EXPECT_EQ(static_cast<int>(table.size()), kHighestCategoryCode) << "every code up to the highest has a row";
  for (const CategoryRow& row : table) {
    if (!IsGroup(row.code)) continue;
    const bool hasChild =
        std::any_of(table.begin(), table.end(), [&](const CategoryRow& other) { return other.parent == row.code; });
    EXPECT_TRUE(hasChild) << "a group gathers at least one category: " << row.name;
  }
  EXPECT_EQ(CategoryName(CategoryCode::SharedDlls), "Shared DLLs");
  EXPECT_EQ(CategoryName(static_cast<CategoryCode>(99)), "Category 99");
  EXPECT_EQ(CategoryCodeOf(28), std::nullopt);
}

}  // namespace
}  // namespace tamrisk
