// The results list as CSV (the -report switch and "Save Results...").
#pragma once

#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

// "Problem,Registry key,Value,Kind,Reason" then one line per row; UTF-8 after a byte-order mark, RFC 4180
// quoting, CRLF. A field that begins with "=", "+", "-" or "@" gets a leading "'". A note (what a
// stopped or incomplete scan left out) is the last line, alone in its first field, so the file never
// passes for a whole scan's.
std::string FormatReportCsv(const std::vector<ProblemRow>& rows, const std::string& note = {});

// Writes the CSV to file; false (with error text) when it cannot be written.
bool WriteReport(const Platform& platform, const std::string& file, const std::vector<ProblemRow>& rows,
                 std::string* error = nullptr, const std::string& note = {});

// The -report run: loads options.ini, scans the stored categories without any window, applies the ignore
// lists, writes file and appends its line to Tamrisk.log. options.ini is not rewritten. Exit code as
// UnattendedExitCode: a report of an incomplete scan is still written, and gives 2. A scheduled run
// given no file writes ScheduledReportFile in the backup folder, making the folder when it is missing.
int RunReport(const Platform& platform, const std::string& file, bool scheduled = false);

}  // namespace tamrisk
