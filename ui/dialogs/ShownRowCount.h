// How many rows the results list will show of those a scan has handed over so far, for the progress
// window: one row per entry, whatever categories found it (DropDuplicateRows), and none that the
// ignore lists cover. A hive walk's value inside a key another category lists whole still counts here;
// the list drops it when the scan ends.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "scan/IgnoreFilter.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

class ShownRowCount {
 public:
  explicit ShownRowCount(IgnoreLists ignore) : ignore_(std::move(ignore)) {}
  void Add(const std::vector<ProblemRow>& rows);
  std::size_t Count() const { return count_; }

 private:
  IgnoreLists ignore_;
  std::unordered_set<std::string> entries_;
  std::size_t count_ = 0;
};

}  // namespace tamrisk
