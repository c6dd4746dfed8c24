// What a repair of a scan's rows starts from, the same for the window and the unattended run: the
// backup folder there, the backup file named, and the scope that the scanned categories give.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "repair/Repair.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

struct RepairPlan {
  std::string backupFile;  // NewBackupFileName in the backup folder; made only when something goes in
  RepairScope scope;
};

// Makes sure the backup folder of options is there (EnsureBackupFolder: askYesNo decides whether a
// missing one is made, RepairError when it cannot be), then names the backup file and sets the
// scope for a repair of the rows a scan of scannedCodes found. nullopt on No.
std::optional<RepairPlan> PlanRepair(const Platform& platform, const TOptionsSetting& options,
                                     const std::vector<CategoryCode>& scannedCodes,
                                     const std::function<bool(const Phrase& question)>& askYesNo);

}  // namespace tamrisk
