// The main window's commands that hand work to other windows and programs: the backups, the restore
// dialog, the options, the help and the about box.
#include "ui/main/RegMain.h"

#include <cstdint>

#include "platform/Text.h"
#include "scan/ResultTexts.h"
#include "ui/common/WindowText.h"
#include "ui/dialogs/About.h"
#include "ui/dialogs/BackupHint.h"
#include "ui/dialogs/Options.h"
#include "ui/dialogs/Restore.h"
#include "ui/res/resource.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

bool TfrmHivora::RunCommandWithHint(const std::string& commandLine, const std::string& hintText) {
  if (!platform_.shell.StartHidden(commandLine, BackupProcess)) {
    Prompts().Message(Handle(), UiText(IDS_CHECK_REGEDIT), kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return false;
  }
  ProcessHandlesGuard handles(platform_.shell, BackupProcess);
  TfrmBackupHint hint(Prompts(), platform_.shell);
  hint.Process = BackupProcess;
  hint.HintText = hintText;
  return hint.ShowModal(Handle()) == IDOK;
}

void TfrmHivora::miBackupFullRegistryClick() {
  const std::optional<std::string> chosen =
      Prompts().SaveFileName(Handle(), UiText(IDS_SAVE_FULL_REGISTRY), UiText(IDS_REG_FILTER));
  if (!chosen) return;
  std::string file = *chosen;
  if (AsciiUpper(FileExtension(file)) != ".REG") file += ".reg";
  if (platform_.files.PathIsFile(file) &&
      Prompts().Message(Handle(), UiFormat(IDS_FILE_EXISTS_OVERWRITE, {file}), kMessageCaption,
                        MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  // Neither a finished nor a stopped export is reported.
  RunCommandWithHint(RegeditCommand(platform_, "/e \"" + file + "\""), UiText(IDS_BACKING_UP_REGISTRY));
}

void TfrmHivora::OpenOrSay(const std::string& what, const std::string& file, const std::string& parameters) {
  if (platform_.shell.Open(reinterpret_cast<std::uintptr_t>(Handle()), file, parameters, "", SW_SHOW)) return;
  ShowCannotOpen(Prompts(), Handle(), what, ::GetLastError());
}

void TfrmHivora::miWindowsBackupClick() {
  // By full path from the Windows folder, like the registry editor. Windows has not shipped
  // ntbackup.exe since XP; later versions have "Backup and Restore" (sdclt.exe) in its place.
  const std::string windows = platform_.system.WindowsFolder();
  const std::string folder = windows.empty() ? std::string() : windows + "system32\\";
  for (const char* program : {"ntbackup.exe", "sdclt.exe"}) {
    if (folder.empty() || !platform_.files.PathIsFile(folder + program)) continue;
    OpenOrSay(UiFormat(IDS_WINDOWS_BACKUP_PROGRAM, {folder + program}), folder + program, "");
    return;
  }
  Prompts().Message(Handle(),
                    UiFormat(IDS_NO_BACKUP_PROGRAM, {folder.empty() ? UiText(IDS_THE_SYSTEM_FOLDER) : folder}),
                    kMessageCaption, MB_OK | MB_ICONINFORMATION);
}

void TfrmHivora::miHelpClick() {
  // The help viewer by its full path too: opening the .chm itself would start whatever the file
  // type's entry names, and a per-user entry can name anything.
  const std::string windows = platform_.system.WindowsFolder();
  if (windows.empty()) return;
  OpenOrSay(UiText(IDS_THE_HELP), windows + "hh.exe", "\"" + platform_.system.ExecutableFolder() + "Hivora.chm\"");
}

void TfrmHivora::miHomePageClick() {
  const std::string address = ResourceText(instance_, IDS_HOME_PAGE);
  if (address.empty()) return;
  OpenOrSay(UiFormat(IDS_THE_HOME_PAGE, {address}), address, "");
}

void TfrmHivora::bRestoreRegistryClick() {
  // Told at once rather than after a file is chosen; the dialog asks again for each restore.
  if (!TakeRepairTurnOrSay(platform_, Prompts(), Handle())) return;
  TfrmRestore restore(platform_, Prompts(), [this](const std::string& commandLine, const std::string& hintText) {
    return RunCommandWithHint(commandLine, hintText);
  });
  restore.ShowModal(Handle());
  // The status bar tells what the last restore did, not the repair before it.
  if (restore.LastResult.empty()) return;
  actionNotice_ = restore.LastResult;
  UpdateCounts();
}

void TfrmHivora::miAboutClick() {
  TAboutBox about(Prompts());
  about.ShowModal(Handle());
}

// The commands below belong to the full-backup, options and restore work, which hooks in here.
void TfrmHivora::miOptionsClick() {
  TfrmOptions options(Prompts(), platform_);
  if (options.ShowModal(Handle()) == IDOK) SaveSettingsNow();
}

}  // namespace tamrisk
