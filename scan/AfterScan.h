// What happens to the rows a scan found before anyone sees or repairs them: the same steps for the
// window and for the unattended runs.
#pragma once

#include "platform/System.h"
#include "scan/IgnoreFilter.h"
#include "scan/ProblemRow.h"
#include "settings/RegGlobal.h"

namespace tamrisk {

// The ignore lists of options (the entries in use of each) as the filter and the repair take them.
IgnoreLists IgnoreListsOf(const Platform& platform, const TOptionsSetting& options);

// Ticks every row for repair, keeps one row for each entry (DropDuplicateRows), drops the rows the
// lists cover and gives each row the program it belongs to, where that can be told.
void SettleScanRows(const Platform& platform, ResultsModel& results, const IgnoreLists& ignore);

// Gives each row the program it belongs to (ProgramAttribution), from the uninstall entries now.
void AttributePrograms(const Platform& platform, ResultsModel& results);

}  // namespace tamrisk
