#include "testkit/ScanHarness.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <utility>

#include "platform/Text.h"
#include "scan/ScanTask.h"

namespace tamrisk {

void PrintTo(const ProblemRow& row, std::ostream* os) {
  *os << "{" << ProblemName(row.problem) << " | " << row.registryKey << " | " << row.value << " | "
      << RowKindName(row.kind);
  if (row.reason != Phrase{}) *os << " | " << Worded(row.reason);
  *os << "}";
}

}  // namespace tamrisk

namespace tamrisk::test {

ProblemRow Row(ProblemId problem, const std::string& key, const std::string& value, RowKind kind, Phrase reason) {
  return ProblemRow{false, problem, key, value, kind, std::move(reason)};
}

ProblemRow Ticked(ProblemRow row, bool ticked) {
  row.checked = ticked;
  return row;
}

std::vector<ProblemRow> Sorted(std::vector<ProblemRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const ProblemRow& a, const ProblemRow& b) {
    return a.registryKey + "|" + a.value < b.registryKey + "|" + b.value;
  });
  return rows;
}

std::vector<CategoryCode> Codes(const std::vector<std::string>& texts) {
  std::vector<CategoryCode> codes;
  for (const std::string& text : texts) {
    int number = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, number);
    codes.push_back(static_cast<CategoryCode>(ec == std::errc() && ptr == end ? number : 0));
  }
  return codes;
}

std::vector<int> Numbers(const std::vector<CategoryCode>& codes) {
  std::vector<int> numbers;
  for (const CategoryCode code : codes) numbers.push_back(NumberOf(code));
  return numbers;
}

ScanResult RunScan(const Platform& platform, const std::vector<std::string>& codes, const std::string& drives) {
  auto sink = std::make_shared<HeadlessSink>();
  auto task = std::make_shared<TScanTaskThread>(platform, sink, false, false);
  task->TestedDrives = drives;
  task->Categories = Codes(codes);
  task->Execute();
  ScanResult result;
  result.rows = sink->Rows();
  result.tasks = sink->Tasks();
  result.lastKey = sink->LastKey();
  result.keysShown = sink->KeysShown();
  result.started = sink->Started();
  result.finished = sink->Finished();
  result.ended = sink->Ended();
  result.incomplete = Numbers(task->IncompleteCategories());
  return result;
}

std::vector<ProblemRow> WithoutReasons(std::vector<ProblemRow> rows) {
  for (ProblemRow& row : rows) {
    if (row.reason == Phrase{}) ADD_FAILURE() << "a row without a reason: " << ::testing::PrintToString(row);
    row.reason = {};
  }
  return rows;
}

std::vector<ProblemRow> ReasonsInEnglish(std::vector<ProblemRow> rows) {
  for (ProblemRow& row : rows) {
    if (row.reason != Phrase{}) row.reason = Verbatim(Worded(row.reason));
  }
  return rows;
}

ScanResult WithoutReasons(ScanResult result) {
  result.rows = WithoutReasons(std::move(result.rows));
  return result;
}

std::vector<ProblemRow> RowsMentioning(const std::vector<ProblemRow>& rows, const std::string& marker) {
  std::vector<ProblemRow> mine;
  for (const ProblemRow& row : rows) {
    if (FindNoCase(row.registryKey, marker) != std::string::npos) mine.push_back(row);
  }
  return mine;
}

std::string FillFixture(std::string text, const std::string& name, const std::string& folder) {
  std::string escaped;
  for (char c : folder) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  for (const auto& [mark, with] : {std::pair<std::string, std::string>{"$N", name}, {"$F", escaped}}) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + with.size())) {
      text.replace(at, mark.size(), with);
    }
  }
  return text;
}

std::vector<ProblemRow> ValuesMentioning(const std::vector<ProblemRow>& rows, const std::string& marker) {
  std::vector<ProblemRow> mine;
  for (const ProblemRow& row : rows) {
    if (FindNoCase(row.value, marker) != std::string::npos) mine.push_back(row);
  }
  return mine;
}

}  // namespace tamrisk::test
