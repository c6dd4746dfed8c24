// The main window's repair, its undo and the unattended clean-once run.
#include "ui/main/RegMain.h"

#include <algorithm>
#include <exception>

#include "repair/Repair.h"
#include "settings/Schedule.h"
#include "ui/dialogs/Restore.h"
#include "ui/res/resource.h"

namespace tamrisk {

void TfrmHivora::bRepairRegistryClick() {
  const auto askYesNo = [this](const std::string& question) {
    return Prompts().Message(Handle(), question, kMessageCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES;
  };
  if (!EnsureBackupFolder(platform_, OptionsSetting.OutputDirectory, askYesNo)) return;
  if (results_.RowCount() == 0) return;
  BackupFileName = NewBackupFileName(platform_, OptionsSetting.OutputDirectory);
  try {
    const RepairScope scope = ScopeAfterScan(ScanCodes.value_or(std::vector<std::string>{}),
                                             IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
    actionNotice_ = RepairSummaryText(RepairRows(platform_, results_, BackupFileName, scope));
  } catch (...) {
    // The rows below the one it failed at are repaired; the list and the status bar must say so.
    actionNotice_ = "Repair stopped: the backup could not be written";
    UpdateCounts();
    throw;
  }
  UpdateCounts();
}

bool TfrmHivora::CanUndoRepair() { return !BackupFileName.empty() && platform_.files.PathIsFile(BackupFileName); }

void TfrmHivora::UpdateUndoState(HMENU menu) {
  ::EnableMenuItem(menu, IDM_UNDOREPAIR, MF_BYCOMMAND | (CanUndoRepair() ? MF_ENABLED : MF_GRAYED));
}

void TfrmHivora::miUndoRepairClick() {
  if (!CanUndoRepair()) return;
  const std::string backup = BackupFileName;
  const RestoreResult result = RestoreVerified(
      platform_, Prompts(), Handle(),
      [this](const std::string& command) { return RunCommandWithHint(command, "Restore registry..."); }, backup);
  // As in the restore dialog: the backup goes only when all of it is back, and only when asked.
  if (result.status == RestoreResult::Status::Restored && OptionsSetting.DeleteBackupFile) {
    ShellDeleteFile(platform_, backup);
  }
  actionNotice_ = UndoSummaryText(result, backup);
  UpdateCounts();
}

void TfrmHivora::RunCleanOnce() {
  try {
    ::ShowWindow(Handle(), SW_HIDE);
    bScanRegistryClick();
    cleanOnceLog_.categories = ScanCodes.value_or(std::vector<std::string>{});
    cleanOnceLog_.found = results_.RowCount();
    bRepairRegistryClick();
    if (!incomplete_.empty()) exitCode_ = 2;
  } catch (const std::exception& error) {
    // Nobody watches a clean-once run: the error goes to the log, and the run ends with a failure
    // code instead of staying alive hidden.
    ShowStandardError(Prompts(), Handle(), error.what());
    exitCode_ = 1;
  }
  // A repair that failed part-way has still removed the rows below the one it failed at.
  cleanOnceLog_.kept = std::min(results_.RowCount(), cleanOnceLog_.found);
  cleanOnceLog_.repaired = cleanOnceLog_.found - cleanOnceLog_.kept;
  CloseWindow();
}

void TfrmHivora::LogCleanOnce() {
  cleanOnceLog_.mode = "-cleanonce";
  cleanOnceLog_.scheduled = IsScheduledRun(start_.arguments);
  if (!BackupFileName.empty() && platform_.files.PathIsFile(BackupFileName)) cleanOnceLog_.backupFile = BackupFileName;
  for (const int code : incomplete_) cleanOnceLog_.incomplete.push_back(TScanTaskThread::CategoryName(code));
  cleanOnceLog_.exitCode = exitCode_;
  cleanOnceLog_.error = unattended_.Errors();
  AppendRunLog(platform_, cleanOnceLog_);
}

}  // namespace tamrisk
