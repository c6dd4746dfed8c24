// The main window's repair and its undo.
#include "ui/main/RegMain.h"

#include "repair/Repair.h"
#include "ui/dialogs/Restore.h"
#include "ui/common/Language.h"
#include "ui/common/Prompt.h"
#include "ui/main/ShownTexts.h"
#include "ui/res/resource.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

void TfrmHivora::bRepairRegistryClick() {
  const auto askYesNo = [this](const Phrase& question) {
    return Prompts().Message(Handle(), ShownPhrase(question), kMessageCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES;
  };
  // Held until the repair ends: no other process repairs or restores meanwhile.
  const std::unique_ptr<RepairTurn> turn = TakeRepairTurnOrSay(platform_, Prompts(), Handle());
  if (!turn) return;
  try {
    if (!EnsureBackupFolder(platform_, OptionsSetting.OutputDirectory, askYesNo)) return;
    if (results_.RowCount() == 0) return;
    BackupFileName = NewBackupFileName(platform_, OptionsSetting.OutputDirectory);
    const RepairScope scope = ScopeAfterScan(ScanCodes.value_or(std::vector<CategoryCode>{}),
                                             IgnoreListsOf(platform_, IgnoredValues(), IgnoredKeys()));
    actionNotice_ = ShownPhrase(RepairSummaryPhrase(RepairRows(platform_, results_, BackupFileName, scope)));
  } catch (const RepairError& error) {
    // The backup folder could not be made, or the backup could not be written whole, so nothing (or,
    // for emptied program keys, nothing more) was deleted: the status bar says why, as the error box does.
    actionNotice_ = ShownPhrase(error.phrase());
    UpdateCounts();
    ShowStandardError(Prompts(), Handle(), actionNotice_);
    return;
  } catch (...) {
    actionNotice_ = UiText(IDS_REPAIR_STOPPED);
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
  const std::unique_ptr<RepairTurn> turn = TakeRepairTurnOrSay(platform_, Prompts(), Handle());
  if (!turn) return;
  const std::string backup = BackupFileName;
  const RestoreResult result = RestoreVerified(
      platform_, Prompts(), Handle(),
      [this](const std::string& command) { return RunCommandWithHint(command, UiText(IDS_RESTORING_REGISTRY)); },
      backup);
  // As in the restore dialog: the backup goes only when all of it is back, and only when asked.
  if (result.status == RestoreResult::Status::Restored && OptionsSetting.DeleteBackupFile) {
    ShellDeleteFile(platform_, backup);
  }
  actionNotice_ = ShownPhrase(UndoSummaryPhrase(result, backup));
  UpdateCounts();
}

}  // namespace tamrisk
