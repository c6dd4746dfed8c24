// The scan of the unattended runs (-report, -cleanonce): the categories ticked when the window was
// last closed, on the calling thread, with no window.
#pragma once

#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/Categories.h"
#include "scan/ProblemRow.h"
#include "scan/ScanOutcome.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

// The codes options ticks, in the tree's order, as the main window collects them.
std::vector<CategoryCode> StoredCategories(const TOptionsSetting& options);

struct HeadlessScan {
  std::vector<ProblemRow> rows;  // as SettleScanRows leaves them: ticked, the ignored ones gone
  ScanOutcome outcome;           // never a stop: the categories a failure ended
};

// Scans the StoredCategories of options and settles the rows as the window does after its scan.
HeadlessScan ScanStoredCategories(const Platform& platform, const TOptionsSetting& options);

}  // namespace tamrisk
