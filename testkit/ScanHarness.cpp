#include "testkit/ScanHarness.h"

#include <memory>

#include "platform/Text.h"
#include "scan/ScanTask.h"

namespace tamrisk {

void PrintTo(const ProblemRow& row, std::ostream* os) {
  *os << "{" << row.problem << " | " << row.registryKey << " | " << row.value << " | " << RowKindName(row.kind) << "}";
}

}  // namespace tamrisk

namespace tamrisk::test {

ScanResult RunScan(const Platform& platform, const std::vector<std::string>& codes, const std::string& drives) {
  auto sink = std::make_shared<HeadlessSink>();
  auto task = std::make_shared<TScanTaskThread>(platform, sink, false, false);
  task->TestedDrives = drives;
  task->Categories = codes;
  task->Execute();
  ScanResult result;
  result.rows = sink->Rows();
  result.tasks = sink->Tasks();
  result.lastKey = sink->LastKey();
  result.started = sink->Started();
  result.finished = sink->Finished();
  result.ended = sink->Ended();
  return result;
}

std::vector<ProblemRow> RowsMentioning(const std::vector<ProblemRow>& rows, const std::string& marker) {
  std::vector<ProblemRow> mine;
  for (const ProblemRow& row : rows) {
    if (FindNoCase(row.registryKey, marker) != std::string::npos) mine.push_back(row);
  }
  return mine;
}

}  // namespace tamrisk::test
