#include "repair/BeforeRepair.h"

#include "scan/AfterScan.h"

namespace tamrisk {

std::optional<RepairPlan> PlanRepair(const Platform& platform, const TOptionsSetting& options,
                                     const std::vector<CategoryCode>& scannedCodes,
                                     const std::function<bool(const Phrase& question)>& askYesNo) {
  if (!EnsureBackupFolder(platform, options.OutputDirectory, askYesNo)) return std::nullopt;
  return RepairPlan{NewBackupFileName(platform, options.OutputDirectory),
                    ScopeAfterScan(scannedCodes, IgnoreListsOf(platform, options))};
}

}  // namespace tamrisk
