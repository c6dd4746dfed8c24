#include "scan/ScanOutcome.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

// Decimal text to a code as the scan reads it; anything else counts as 0, which has no scanner.
int CodeOfText(const std::string& text) {
  int code = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, code);
  return (ec == std::errc() && ptr == end) ? code : 0;
}

bool HasScanner(int code) {
  const auto& table = TScanTaskThread::DispatchTable();
  return std::any_of(table.begin(), table.end(), [code](const auto& category) { return category.code == code; });
}

std::string CategoryNames(const std::vector<int>& codes) {
  std::string names;
  for (const int code : codes) names += (names.empty() ? "" : ", ") + TScanTaskThread::CategoryName(code);
  return names;
}

}  // namespace

ScanOutcome OutcomeOfScan(const std::vector<std::string>& codes, std::size_t started, std::size_t settled, bool stopped,
                          std::vector<int> incomplete) {
  ScanOutcome outcome;
  outcome.incomplete = std::move(incomplete);
  if (!stopped || settled >= codes.size()) return outcome;
  ScanOutcome::Stop& stop = outcome.stop.emplace();
  const bool inCategory = started > settled;
  for (std::size_t i = settled; i < codes.size(); ++i) {
    const int code = CodeOfText(codes[i]);
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
    if (!stop.notReached.empty()) note += "; not scanned: " + CategoryNames(stop.notReached);
  }
  if (!outcome.incomplete.empty()) {
    note += (note.empty() ? "" : "; ") + std::string("Scan incomplete: ") + CategoryNames(outcome.incomplete);
  }
  return note;
}

}  // namespace tamrisk
