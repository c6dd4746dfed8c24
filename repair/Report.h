// The results list as CSV (the -report switch and "Save Results...").
#pragma once

#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

// "Problem,Registry key,Value,Kind" then one line per row; UTF-8 after a byte-order mark, RFC 4180
// quoting, CRLF. A field that begins with "=", "+", "-" or "@" gets a leading "'".
std::string FormatReportCsv(const std::vector<ProblemRow>& rows);

// Writes the CSV to file; false (with error text) when it cannot be written.
bool WriteReport(const Platform& platform, const std::string& file, const std::vector<ProblemRow>& rows,
                 std::string* error = nullptr);

// The -report run: loads options.ini, scans the stored categories without any window, applies the ignore
// lists and writes file. 0 when the file was written, 1 when it could not be. options.ini is not rewritten.
int RunReport(const Platform& platform, const std::string& file);

}  // namespace tamrisk
