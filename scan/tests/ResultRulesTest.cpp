// The results list's rules that hold no window: the sort order and which row "Find" goes to.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scan/ResultFind.h"
#include "scan/Reasons.h"
#include "scan/ResultOrder.h"

namespace tamrisk {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(ResultOrder, ComparesIgnoringCaseWithNumbersByValue) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"App2", "App10", -1},                // numbers by value, not by their first digit
      {"app10", "APP9", 1},                 // and letters without case
      {"Invalid File", "invalid file", 0},  // equal ignoring case
      {"Key 2\\Sub10", "Key 2\\Sub9", 1},   // every run of digits counts
      {"App007", "App7", 1},                // equal numbers: fewer leading zeros first
      {"App007x", "App7y", -1},             // ... but only when the rest is equal
      {"App", "App1", -1},                  // a text before its own longer forms
      {"", "a", -1},
      {"99999999999999999999999", "100000000000000000000000", -1},  // beyond any integer type
      {"C:\\a", "C:\\B", -1},
      {"Ärger", "Zeit", 1},  // bytes above ASCII after every ASCII letter
      {"x2y", "x2Y", 0},
      {"Key\\Sub", "Key 2", -1},  // a key's subkeys before its siblings
      {"Key\\Sub", "KeyA", -1},
      {"Key\\", "Key\x01", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareNatural(c.a, c.b)), c.order) << c.a << " : " << c.b;
    EXPECT_EQ(Sign(CompareNatural(c.b, c.a)), -c.order) << c.b << " : " << c.a;
  }
}

// The problem names of a language the list might show: the first four problems as "b", "A", "a", "B".
class ShortNames final : public Wording {
 public:
  std::string Problem(ProblemId id) const override {
    constexpr const char* kNames[] = {"b", "A", "a", "B"};
    const auto at = static_cast<std::size_t>(id);
    return at < std::size(kNames) ? kNames[at] : ProblemName(id);
  }
};

TEST(ResultOrder, SortsByEachColumnBothWaysKeepingTiesInTheirOrder) {
  const auto problem = [](int number) { return static_cast<ProblemId>(number); };
  const std::vector<ProblemRow> rows = {
      {false, problem(0), "HKEY\\App10", "v2", rkKey},
      {true, problem(1), "HKEY\\app9", "v10", rkKey},
      {false, problem(2), "HKEY\\App100", "v1", rkKey},
      {true, problem(3), "HKEY\\App9", "V2", rkKey},
  };
  struct Case {
    int column;
    bool descending;
    std::vector<std::size_t> order;
  };
  const Case cases[] = {
      {colProblem, false, {1, 2, 0, 3}},    {colProblem, true, {0, 3, 1, 2}}, {colRegistryKey, false, {1, 3, 0, 2}},
      {colRegistryKey, true, {2, 0, 1, 3}}, {colValue, false, {2, 0, 3, 1}},  {colValue, true, {1, 0, 3, 2}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SortedOrder(rows, c.column, c.descending, ShortNames()), c.order)
        << c.column << (c.descending ? " down" : " up");
  }
}

TEST(ResultFind, GoesToTheNextMatchInEitherDirectionAndWrapsRound) {
  std::vector<ProblemRow> rows = {
      {false, ProblemId::InvalidFileOrFolder, "HKEY\\One", "C:\\one.exe", rkKey},
      {false, ProblemId::ObsoleteSoftwareKey, "HKEY\\Two", "", rkKey},
      {false, ProblemId::InvalidFileOrFolder, "HKEY\\Three", "C:\\three.exe", rkKey},
      {false, ProblemId::FontsIssue, "HKEY\\Four", "four.ttf", rkKey},
  };
  rows[1].reason = reason::NoValuesBelow();
  rows[2].program = ProgramRef{"Pintail Draw", ProgramState::FolderDeleted};
  struct Case {
    const char* what;
    FindQuery query;
    std::optional<std::size_t> current;
    std::optional<std::size_t> found;
  };
  const Case cases[] = {
      {"the next match down", {"invalid", false, true}, 0, 2},
      {"wraps past the last row", {"invalid", false, true}, 2, 0},
      {"up", {"invalid", false, false}, 2, 0},
      {"up wraps past the first row", {"invalid", false, false}, 0, 2},
      {"no current row: from the first", {"FILE", false, true}, std::nullopt, 0},
      {"no current row going up: from the last", {"file", false, false}, std::nullopt, 2},
      {"the current row itself comes last", {"four", false, true}, 3, 3},
      {"the reason counts", {"NO VALUES", false, true}, 3, 1},
      {"the key and value columns count", {"three.EXE", false, true}, std::nullopt, 2},
      {"the program and its state count", {"draw (folder", false, true}, std::nullopt, 2},
      {"match case", {"invalid", true, true}, 0, std::nullopt},
      {"match case finds the exact text", {"Issue", true, true}, 0, 3},
      {"nothing matches", {"gone", false, true}, 1, std::nullopt},
      {"an empty text matches nothing", {"", false, true}, 1, std::nullopt},
      {"a current row past the end counts as none", {"obsolete", false, true}, 9, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindNextRow(rows, c.current, c.query), c.found) << c.what;
  EXPECT_EQ(FindNextRow({}, std::nullopt, {"x", false, true}), std::nullopt);
  // The problem names are searched as the list shows them.
  EXPECT_EQ(FindNextRow(rows, std::nullopt, {"invalid", false, true}, ShortNames()), std::nullopt);
  EXPECT_EQ(FindNextRow(rows, std::nullopt, {"b", true, true}, ShortNames()), 0u);
}

}  // namespace
}  // namespace tamrisk
