#include "scan/ScanOutcome.h"

#include <algorithm>
#include <utility>

namespace tamrisk {
namespace {

std::string NameList(const std::vector<CategoryCode>& codes) {
  std::string list;
  for (const std::string& name : CategoryNames(codes)) list += (list.empty() ? "" : ", ") + name;
  return list;
}

}  // namespace

std::vector<std::string> CategoryNames(const std::vector<CategoryCode>& codes) {
  std::vector<std::string> names;
  for (const CategoryCode code : codes) names.push_back(CategoryName(code));
  return names;
}

ScanOutcome OutcomeOfScan(const std::vector<CategoryCode>& codes, std::size_t started, std::size_t settled,
                          bool stopped, std::vector<CategoryCode> incomplete) {
  ScanOutcome outcome;
  outcome.incomplete = std::move(incomplete);
  if (!stopped || settled >= codes.size()) return outcome;
  ScanOutcome::Stop& stop = outcome.stop.emplace();
  const bool inCategory = started > settled;
  for (std::size_t i = settled; i < codes.size(); ++i) {
    const CategoryCode code = codes[i];
    if (IsGroup(code) || CategoryOf(code) == nullptr) continue;
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
    if (stop.stoppedIn) {
      note = "Scan stopped in " + CategoryName(*stop.stoppedIn);
    } else if (stop.notReached.empty()) {
      note = "Scan stopped";
    } else {
      note = "Scan stopped before " + CategoryName(stop.notReached.front());
    }
    if (!stop.notReached.empty()) note += "; not scanned: " + NameList(stop.notReached);
  }
  if (!outcome.incomplete.empty()) {
    note += (note.empty() ? "" : "; ") + std::string("Scan incomplete: ") + NameList(outcome.incomplete);
  }
  return note;
}

}  // namespace tamrisk
