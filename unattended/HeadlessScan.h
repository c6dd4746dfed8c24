// The scan of the unattended runs (-report, -cleanonce): the categories ticked when the window was
// last closed, on the calling thread, with no window.
#pragma once

#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/Categories.h"
#include "scan/ProblemRow.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

// The codes options ticks, in the tree's order, as the main window collects them.
std::vector<CategoryCode> StoredCategories(const TOptionsSetting& options);

struct HeadlessScan {
  std::vector<ProblemRow> rows;         // found and not covered by the ignore lists, unticked
  std::vector<std::string> incomplete;  // names of the categories a failure ended
};

// Scans the StoredCategories of options, lists each entry once and drops the rows its ignore lists
// cover.
HeadlessScan ScanStoredCategories(const Platform& platform, const TOptionsSetting& options);

}  // namespace tamrisk
