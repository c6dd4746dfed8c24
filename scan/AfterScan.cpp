#include "scan/AfterScan.h"

#include "scan/RegistryViews.h"

namespace tamrisk {

IgnoreLists IgnoreListsOf(const Platform& platform, const TOptionsSetting& options) {
  return IgnoreListsOf(platform, IgnoredValues(options), IgnoredKeys(options));
}

void SettleScanRows(ResultsModel& results, const IgnoreLists& ignore) {
  results.SetAllChecked(true);
  if (results.RowCount() == 0) return;
  DropDuplicateRows(results, ignore.currentUserSid);
  ApplyIgnoreLists(results, ignore);
}

}  // namespace tamrisk
