// The restore dialog's listing of a backup folder: which files, in which order, with which texts.
#include "repair/BackupListing.h"

#include <gtest/gtest.h>

#include <vector>

namespace tamrisk {
namespace {

TEST(BackupListing, LargeSizesGroupTheirDigits) {
  struct Case {
    std::uint64_t bytes;
    const char* expected;
  };
  for (const Case& c : std::vector<Case>{{999 * 1024, "999 KB"},
                                         {999 * 1024 + 1, "1,000 KB"},
                                         {1073741824, "1,048,576 KB"},
                                         {5000000000ull, "4,882,813 KB"}}) {
    EXPECT_EQ(BackupSizeText(c.bytes), c.expected) << c.bytes;
  }
}

TEST(BackupListing, DatesCountSecondsInTwosAndMidnightIsTheDateAlone) {
  EXPECT_EQ(BackupListedTime({2024, 1, 31, 12, 0, 59}), (LocalDateTime{2024, 1, 31, 12, 0, 58}));
  EXPECT_TRUE(ShowsDateOnly(BackupListedTime({2024, 1, 31, 0, 0, 1})));
  EXPECT_FALSE(ShowsDateOnly(BackupListedTime({2024, 1, 31, 0, 0, 2})));
}

}  // namespace
}  // namespace tamrisk
