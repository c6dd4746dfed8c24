// The main window's commands that hand work to other windows and programs: the backups, the restore
// dialog, the options, the help and the about box.
#include "ui/main/RegMain.h"

#include <shlwapi.h>

#include <cstdint>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Wide.h"
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
  const bool ended =
      RunCommandWithHint(RegeditCommand(platform_, "/e \"" + file + "\""), UiText(IDS_BACKING_UP_REGISTRY));
  ReportFullBackup(file, ended);
}

// The registry editor says nothing of an export, not even a failed one: the file it leaves does.
void TfrmHivora::ReportFullBackup(const std::string& file, bool ended) {
  const std::vector<FileEntry> found = platform_.files.ListFolder(file);
  const std::uint64_t size = found.empty() ? 0 : found.front().size;
  // Not ended and nothing written: the editor could not start, which was said already.
  if (!ended && size == 0) return;
  if (ended && size > 0) {
    wchar_t shown[64] = {};
    ::StrFormatByteSizeW(static_cast<LONGLONG>(size), shown, 64);
    actionNotice_ = UiFormat(IDS_FULL_BACKUP_WRITTEN, {file, win32::Utf8(shown)});
  } else {
    actionNotice_ = UiFormat(ended ? IDS_FULL_BACKUP_EMPTY : IDS_FULL_BACKUP_STOPPED, {file});
    Prompts().Message(Handle(), actionNotice_, kMessageCaption, MB_OK | (ended ? MB_ICONERROR : MB_ICONWARNING));
  }
  UpdateCounts();
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
