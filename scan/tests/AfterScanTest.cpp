// What follows a scan: how it ended (where a stop left it, what a failure ended, and the English
// note saved results carry), and the rows the window and the unattended runs both go on with.
#include "scan/AfterScan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "scan/ScanOutcome.h"
#include "testkit/ScanHarness.h"

namespace tamrisk {
namespace {

using test::Row;

TEST(ScanOutcomeTest, AStopNamesWhereItCameAndWhatItNeverReached) {
  // Where the stop came (0: between categories) and what it never reached, as numbers.
  struct Stop {
    int in;
    std::vector<int> notReached;
  };
  struct Case {
    const char* name;
    std::vector<std::string> codes;
    std::size_t started, settled;
    bool stopped;
    std::vector<int> incomplete;
    std::optional<Stop> stop;
    std::string note;
  };
  const Case cases[] = {
      {"ran to its end", {"1", "2", "3", "10"}, 4, 4, false, {}, std::nullopt, ""},
      {"a stop after the last category is none", {"3", "10"}, 2, 2, true, {}, std::nullopt, ""},
      {"in a category, groups before it",
       {"1", "2", "3", "10"},
       3,
       2,
       true,
       {},
       Stop{3, {10}},
       "Scan stopped in Files and Folders - HKEY_LOCAL_MACHINE; not scanned: Startup Programs"},
      {"in the last category", {"6", "7"}, 2, 1, true, {}, Stop{7, {}}, "Scan stopped in Windows Fonts"},
      {"between two categories",
       {"6", "7", "9"},
       1,
       1,
       true,
       {},
       Stop{0, {7, 9}},
       "Scan stopped before Windows Fonts; not scanned: Windows Fonts, Shared DLLs"},
      {"in a group: between categories",
       {"1", "2", "3"},
       1,
       0,
       true,
       {},
       Stop{0, {3}},
       "Scan stopped before Files and Folders - HKEY_LOCAL_MACHINE; not scanned: Files and Folders - "
       "HKEY_LOCAL_MACHINE"},
      {"only groups left", {"1", "2"}, 0, 0, true, {}, Stop{0, {}}, "Scan stopped"},
      {"a failure, then to the end", {"9", "10"}, 2, 2, false, {9}, std::nullopt, "Scan incomplete: Shared DLLs"},
      {"a failure, then a stop",
       {"9", "10", "11"},
       2,
       1,
       true,
       {9},
       Stop{10, {11}},
       "Scan stopped in Startup Programs; not scanned: Add/Remove Programs; Scan incomplete: Shared DLLs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<CategoryCode> incomplete;
    for (const int number : c.incomplete) incomplete.push_back(CategoryCode{number});
    const ScanOutcome outcome = OutcomeOfScan(test::Codes(c.codes), c.started, c.settled, c.stopped, incomplete);
    ASSERT_EQ(outcome.stop.has_value(), c.stop.has_value());
    if (c.stop) {
      EXPECT_EQ(outcome.stop->stoppedIn.value_or(CategoryCode{}), CategoryCode{c.stop->in});
      EXPECT_EQ(test::Numbers(outcome.stop->notReached), c.stop->notReached);
    }
    EXPECT_EQ(test::Numbers(outcome.incomplete), c.incomplete);
    EXPECT_EQ(ScanOutcomeNote(outcome), c.note);
  }
}

// The window and the unattended runs go on with the same rows: every one ticked, the current user's
// hive named once whichever root a row came by, and what the options ignore gone.
TEST(AfterScanTest, RowsAreTickedListedOnceAndFilteredByTheOptionsLists) {
  MemoryPlatform env;
  env.system.SetCurrentUserSid("S-1-5-21-7");
  TOptionsSetting options;
  options.IgnoreKeys = {"HKEY_CURRENT_USER\\Software\\Kept", "HKEY_CURRENT_USER\\Software\\NotInUse"};
  options.IgnoreKeyCount = 1;
  VectorResults results({
      Row(ProblemId::MissingSoundFile, "HKEY_USERS\\S-1-5-21-7\\AppEvents\\A", "", rkKey),
      Row(ProblemId::MissingSoundFile, "HKEY_CURRENT_USER\\AppEvents\\A", "", rkKey),
      Row(ProblemId::InvalidFileOrFolder, "HKEY_CURRENT_USER\\Software\\Kept\\Path", "C:\\a.exe", rkValueInPath),
      Row(ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Software\\NotInUse", "", rkKey),
  });
  SettleScanRows(env.platform, results, IgnoreListsOf(env.platform, options));
  EXPECT_EQ(results.rows,
            (std::vector<ProblemRow>{
                test::Ticked(Row(ProblemId::MissingSoundFile, "HKEY_USERS\\S-1-5-21-7\\AppEvents\\A", "", rkKey)),
                test::Ticked(Row(ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Software\\NotInUse", "", rkKey)),
            }));
}

}  // namespace
}  // namespace tamrisk
