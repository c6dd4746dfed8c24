#include "unattended/HeadlessScan.h"

#include <memory>

#include "scan/AfterScan.h"
#include "scan/ScanSink.h"
#include "scan/ScanTask.h"

namespace tamrisk {

std::vector<std::string> StoredCategories(const TOptionsSetting& options) {
  std::vector<std::string> codes;
  for (int code = TNodeChecks::First; code <= TNodeChecks::Last; ++code) {
    if (options.TreeViewNodeCheck[code]) codes.push_back(std::to_string(code));
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
  SettleScanRows(results, IgnoreListsOf(platform, options));
  scan.rows = std::move(results.rows);
  return scan;
}

}  // namespace tamrisk
