#include "scan/ScanOutcome.h"

#include <algorithm>
#include <utility>

#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

bool HasScanner(int code) {
  const auto& table = TScanTaskThread::DispatchTable();
  return std::any_of(table.begin(), table.end(), [code](const auto& category) { return category.code == code; });
}

std::string NameList(const std::vector<int>& codes) {
  std::string list;
  for (const std::string& name : CategoryNames(codes)) list += (list.empty() ? "" : ", ") + name;
  return list;
}

}  // namespace

std::vector<std::string> CategoryNames(const std::vector<int>& codes) {
  std::vector<std::string> names;
  for (const int code : codes) names.push_back(TScanTaskThread::CategoryName(code));
  return names;
}

ScanOutcome OutcomeOfScan(const std::vector<std::string>& codes, std::size_t started, std::size_t settled, bool stopped,
                          std::vector<int> incomplete) {
  ScanOutcome outcome;
  outcome.incomplete = std::move(incomplete);
  if (!stopped || settled >= codes.size()) return outcome;
  ScanOutcome::Stop& stop = outcome.stop.emplace();
  const bool inCategory = started > settled;
  for (std::size_t i = settled; i < codes.size(); ++i) {
    const int code = CategoryCodeOf(codes[i]);
    if (!HasScanner(code)) continue;
    if (i == settled && inCategory) {
      stop.stoppedIn = code;
    } else {
      stop.notReached.push_back(code);
    }
  }
  return outcome;
}

std::string ScanOutcomeNote(const ScanOutcome& outcome) {
  std::string note;
  if (outcome.stop) {
    const ScanOutcome::Stop& stop = *outcome.stop;
    if (stop.stoppedIn != 0) {
      note = "Scan stopped in " + TScanTaskThread::CategoryName(stop.stoppedIn);
    } else if (stop.notReached.empty()) {
      note = "Scan stopped";
    } else {
      note = "Scan stopped before " + TScanTaskThread::CategoryName(stop.notReached.front());
    }
    if (!stop.notReached.empty()) note += "; not scanned: " + NameList(stop.notReached);
  }
  if (!outcome.incomplete.empty()) {
    note += (note.empty() ? "" : "; ") + std::string("Scan incomplete: ") + NameList(outcome.incomplete);
  }
  return note;
}

}  // namespace tamrisk
