#include "scan/AfterScan.h"

#include "scan/ProgramAttribution.h"
#include "scan/RegistryViews.h"

namespace tamrisk {

IgnoreLists IgnoreListsOf(const Platform& platform, const TOptionsSetting& options) {
  return IgnoreListsOf(platform, IgnoredValues(options), IgnoredKeys(options));
}

void SettleScanRows(const Platform& platform, ResultsModel& results, const IgnoreLists& ignore) {
  results.SetAllChecked(true);
  if (results.RowCount() == 0) return;
  DropDuplicateRows(results, ignore.currentUserSid);
  ApplyIgnoreLists(results, ignore);
  AttributePrograms(platform, results);
}

void AttributePrograms(const Platform& platform, ResultsModel& results) {
  if (results.RowCount() == 0) return;
  const ProgramIndex index = ProgramIndex::Build(platform);
  std::vector<std::optional<ProgramRef>> programs;
  programs.reserve(results.RowCount());
  for (std::size_t i = 0; i < results.RowCount(); ++i) programs.push_back(Attribute(results.Row(i), index));
  results.SetPrograms(std::move(programs));
}

}  // namespace tamrisk
