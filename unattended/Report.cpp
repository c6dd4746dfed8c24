#include "unattended/Report.h"

#include <exception>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "settings/RegGlobal.h"
#include "settings/Schedule.h"
#include "unattended/HeadlessScan.h"
#include "unattended/RunLog.h"

namespace tamrisk {
namespace {

constexpr const char* kLineEnd = "\r\n";
// Spreadsheet programs and PowerShell's Import-Csv read the text as UTF-8 when it begins with this.
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// A spreadsheet runs a cell that begins with one of these as a formula; a leading "'" keeps
// registry text text.
bool LooksLikeFormula(std::string_view field) {
  return !field.empty() &&
         (field.front() == '=' || field.front() == '+' || field.front() == '-' || field.front() == '@');
}

void AppendField(std::string& out, std::string_view text) {
  const std::string field = LooksLikeFormula(text) ? "'" + std::string(text) : std::string(text);
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

void AppendLine(std::string& out, std::initializer_list<std::string_view> fields) {
  const char* separator = "";
  for (const std::string_view field : fields) {
    out += separator;
    AppendField(out, field);
    separator = ",";
  }
  out += kLineEnd;
}

}  // namespace

std::string FormatReportCsv(const std::vector<ProblemRow>& rows, const std::string& note) {
  std::string csv = kByteOrderMark;
  // Program last, so readers of the first five columns keep working.
  AppendLine(csv, {"Problem", "Registry key", "Value", "Kind", "Reason", "Program"});
  for (const ProblemRow& row : rows) {
    // Scripts read the report: its texts are English in every language.
    const std::string program = row.program ? Worded(ProgramPhrase(*row.program)) : std::string();
    AppendLine(csv, {ProblemName(row.problem), row.registryKey, row.value, RowKindName(row.kind), Worded(row.reason),
                     program});
  }
  if (!note.empty()) AppendLine(csv, {note});
  return csv;
}

bool WriteReport(const Platform& platform, const std::string& file, const std::vector<ProblemRow>& rows,
                 std::string* error, const std::string& note) {
  return platform.files.WriteFile(file, FormatReportCsv(rows, note), error);
}

namespace {

// The report folder of the options, named with the computer so that many machines can share it, or
// else the backup folder; "" when the folder can be neither found nor made.
std::string ScheduledReportTarget(const Platform& platform, const TOptionsSetting& options) {
  const bool shared = !options.ReportDirectory.empty();
  const std::string& folder = shared ? options.ReportDirectory : options.OutputDirectory;
  if (!MakeFolderPath(platform.files, folder)) return {};
  return ScheduledReportFile(folder, platform.system.Now(), shared ? platform.system.ComputerName() : "");
}

// The last line of a report of an incomplete scan, so that whoever reads only the file knows that
// more may be wrong than it lists.
std::string IncompleteNote(const ScanOutcome& outcome) {
  const std::string note = ScanOutcomeNote(outcome);
  return note.empty() ? note : note + ". These categories ended on a failure; what they found before it is listed.";
}

}  // namespace

int RunReport(const Platform& platform, const std::string& file, bool scheduled) {
  RunLogEntry log;
  log.mode = "-report";
  log.scheduled = scheduled;
  try {
    // A record of its own: the run reads options.ini and never writes it back.
    TOptionsSetting options;
    LoadOptions(platform, WindowMetrics{}, options);
    // A scan of every category would report what the user's ignore lists leave out.
    if (!options.Unreadable.empty()) throw SettingsReadError(SettingsFilePath(platform), options.Unreadable);
    log.categories = CodeTexts(StoredCategories(options));
    HeadlessScan scan = ScanStoredCategories(platform, options);
    log.found = scan.rows.size();
    log.programs = CountPrograms(scan.rows);
    log.incomplete = CategoryNames(scan.outcome.incomplete);
    std::string target = file;
    if (target.empty() && scheduled) target = ScheduledReportTarget(platform, options);
    if (target.empty()) {
      log.error = "No report file was given.";
    } else if (!WriteReport(platform, target, scan.rows, &log.error, IncompleteNote(scan.outcome))) {
      if (log.error.empty()) log.error = "Cannot write " + target;
    }
  } catch (const std::exception& error) {
    // Nobody watches the run: what stopped it goes to the log, never to a box.
    log.error = error.what();
  }
  log.exitCode = UnattendedExitCode(log.error.empty(), !log.incomplete.empty());
  AppendRunLog(platform, log);
  return log.exitCode;
}

}  // namespace tamrisk
