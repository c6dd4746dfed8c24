#include "repair/Report.h"

#include <memory>

#include "scan/IgnoreFilter.h"
#include "scan/ScanSink.h"
#include "scan/ScanTask.h"
#include "settings/RegGlobal.h"

namespace tamrisk {
namespace {

constexpr const char* kLineEnd = "\r\n";
// Spreadsheet programs and PowerShell's Import-Csv read the text as UTF-8 when it begins with this.
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// A spreadsheet runs a cell that begins with one of these as a formula; a leading "'" keeps
// registry text text.
bool LooksLikeFormula(const std::string& field) {
  return !field.empty() && (field.front() == '=' || field.front() == '+' || field.front() == '-' || field.front() == '@');
}

void AppendField(std::string& out, const std::string& text) {
  const std::string field = LooksLikeFormula(text) ? "'" + text : text;
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendLine(std::string& out, const std::string& problem, const std::string& key, const std::string& value,
                const std::string& kind) {
  AppendField(out, problem);
  out += ',';
  AppendField(out, key);
  out += ',';
  AppendField(out, value);
  out += ',';
  AppendField(out, kind);
  out += kLineEnd;
}

// The ticked categories in the tree's order, as the main window collects them.
std::vector<std::string> StoredCategories(const TOptionsSetting& options) {
  std::vector<std::string> codes;
  for (int code = TNodeChecks::First; code <= TNodeChecks::Last; ++code) {
    if (options.TreeViewNodeCheck[code]) codes.push_back(std::to_string(code));
  }
  return codes;
}

std::vector<ProblemRow> ScanHeadless(const Platform& platform, const TOptionsSetting& options) {
  auto sink = std::make_shared<HeadlessSink>();
  auto task = std::make_shared<TScanTaskThread>(platform, sink, options.IncludeRemoveMedia, options.IncludeCDdrive);
  task->Categories = StoredCategories(options);
  task->Execute();
  return sink->Rows();
}

}  // namespace

std::string FormatReportCsv(const std::vector<ProblemRow>& rows) {
  std::string csv = kByteOrderMark;
  AppendLine(csv, "Problem", "Registry key", "Value", "Kind");
  for (const ProblemRow& row : rows) AppendLine(csv, row.problem, row.registryKey, row.value, RowKindName(row.kind));
  return csv;
}

bool WriteReport(const Platform& platform, const std::string& file, const std::vector<ProblemRow>& rows,
                 std::string* error) {
  return platform.files.WriteFile(file, FormatReportCsv(rows), error);
}

int RunReport(const Platform& platform, const std::string& file) {
  // A record of its own: the run reads options.ini and never writes it back.
  TOptionsSetting options;
  LoadOptions(platform, WindowMetrics{}, options);
  VectorResults results(ScanHeadless(platform, options));
  ApplyIgnoreLists(results, IgnoreListsOf(platform, options));
  return WriteReport(platform, file, results.rows) ? 0 : 1;
}

}  // namespace tamrisk
