#include "unattended/HeadlessScan.h"

#include <memory>

#include "scan/AfterScan.h"
#include "scan/ScanSink.h"
#include "scan/ScanTask.h"

namespace tamrisk {

std::vector<CategoryCode> StoredCategories(const TOptionsSetting& options) {
  std::vector<CategoryCode> codes;
  for (const CategoryRow& row : CategoryTable()) {
    if (options.TreeViewNodeCheck[row.code]) codes.push_back(row.code);
  }
  return codes;
}

HeadlessScan ScanStoredCategories(const Platform& platform, const TOptionsSetting& options) {
  HeadlessScan scan;
  auto sink = std::make_shared<HeadlessSink>();
  auto task = std::make_shared<TScanTaskThread>(platform, sink, options.IncludeRemoveMedia, options.IncludeCDdrive);
  task->Categories = StoredCategories(options);
  task->Execute();
  scan.outcome.incomplete = task->IncompleteCategories();
  VectorResults results(sink->Rows());
  SettleScanRows(platform, results, IgnoreListsOf(platform, options));
  scan.rows = std::move(results.rows);
  return scan;
}

}  // namespace tamrisk
