#include "unattended/CleanOnce.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "repair/BeforeRepair.h"
#include "repair/Repair.h"
#include "settings/RegGlobal.h"
#include "unattended/HeadlessScan.h"
#include "unattended/RunLog.h"

namespace tamrisk {
namespace {

void AddError(RunLogEntry& log, const std::string& error) { log.error += (log.error.empty() ? "" : " ") + error; }

// Repairs every row, as the window does after a scan of the same categories; what it came to goes
// into the log. The backup file, when one was written; emptiedKeysError gets the error when the rows
// were repaired but the emptied program keys could not be backed up, and so were kept.
std::string RepairAll(const Platform& platform, const TOptionsSetting& options, std::vector<ProblemRow> rows,
                      RunLogEntry& log, std::string& emptiedKeysError) {
  VectorResults results(std::move(rows));
  std::string backup;
  try {
    if (!results.rows.empty()) {
      // The user asked for unattended repairs with backups: the folder is made without a question,
      // and only when there is something to back up.
      const RepairPlan plan =
          *PlanRepair(platform, options, StoredCategories(options), [](const Phrase&) { return true; });
      backup = plan.backupFile;
      log.emptiedKeys = RepairRows(platform, results, backup, plan.scope).emptiedKeys;
    }
  } catch (const EmptiedKeysKeptError& error) {
    emptiedKeysError = error.what();
    AddError(log, error.what());
  } catch (const std::exception& error) {
    AddError(log, error.what());
  }
  // A repair that failed part-way has still removed the rows below the one it failed at.
  log.kept = std::min(results.rows.size(), log.found);
  log.repaired = log.found - log.kept;
  return backup;
}

}  // namespace

int RefuseCleanOnce(const Platform& platform, bool scheduled, const std::string& why) {
  RunLogEntry log;
  log.mode = "-cleanonce";
  log.scheduled = scheduled;
  log.exitCode = 1;
  log.error = why;
  AppendRunLog(platform, log);
  return log.exitCode;
}

int RunCleanOnce(const Platform& platform, bool scheduled) {
  RepairHolder holder = RepairHolder::AnotherProgram;
  const std::unique_ptr<RepairTurn> turn = platform.shell.TakeRepairTurn(true, holder);
  if (!turn) return RefuseCleanOnce(platform, scheduled, RepairBusyText(holder) + " Nothing was scanned or repaired.");

  TOptionsSetting options;
  LoadOptions(platform, WindowMetrics{}, options);
  // Defaults in place of settings that are there but unknown would repair what the user ignored.
  if (!options.Unreadable.empty()) {
    const SettingsReadError unread(SettingsFilePath(platform), options.Unreadable);
    return RefuseCleanOnce(platform, scheduled, std::string(unread.what()) + ". Nothing was scanned or repaired.");
  }
  RunLogEntry log;
  log.mode = "-cleanonce";
  log.scheduled = scheduled;
  std::string backup;
  std::string emptiedKeysError;  // the rows were repaired all the same
  log.categories = CodeTexts(StoredCategories(options));
  try {
    HeadlessScan scan = ScanStoredCategories(platform, options);
    log.found = scan.rows.size();
    log.programs = CountPrograms(scan.rows);
    log.incomplete = CategoryNames(scan.outcome.incomplete);
    backup = RepairAll(platform, options, std::move(scan.rows), log, emptiedKeysError);
  } catch (const std::exception& error) {
    AddError(log, error.what());
  }
  try {
    SaveOptionsWithoutWindow(platform, options);
  } catch (const std::exception& error) {
    AddError(log, error.what());
  }
  if (!backup.empty() && platform.files.PathIsFile(backup)) log.backupFile = backup;
  const bool onlyEmptiedKeysKept = !emptiedKeysError.empty() && log.error == emptiedKeysError;
  log.exitCode = UnattendedExitCode(log.error.empty(), !log.incomplete.empty(), onlyEmptiedKeysKept);
  AppendRunLog(platform, log);
  return log.exitCode;
}

}  // namespace tamrisk
