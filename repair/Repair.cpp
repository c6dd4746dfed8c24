#include "repair/Repair.h"

#include "repair/RegBackup.h"
#include "settings/RegGlobal.h"

namespace tamrisk {
namespace {

// Shortcut rows name a file that no backup holds, so it goes to the Recycle Bin rather than away
// for good. A path with wildcards, or one that is a folder, would take more than the one shortcut.
RemoveOutcome RemoveShortcut(FileSystem& files, const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return RemoveOutcome::Kept;
  if (!files.PathIsFile(path)) return files.PathIsFolder(path) ? RemoveOutcome::Kept : RemoveOutcome::NotFound;
  files.ShellDelete(path, true);
  return files.PathIsFile(path) ? RemoveOutcome::Kept : RemoveOutcome::Removed;
}

RemoveOutcome RepairRow(const Platform& platform, RegBackup& backup, const ProblemRow& row) {
  const std::size_t slash = row.registryKey.find('\\');
  if (slash == std::string::npos) return RemoveOutcome::Kept;
  const std::string rootName = row.registryKey.substr(0, slash);
  const std::string rest = row.registryKey.substr(slash + 1);

  switch (row.kind) {
    case rkKey:
      return backup.RemoveKeyWithBackup(rootName, rest);
    case rkValueInPath: {
      const std::size_t last = rest.rfind('\\');
      const std::string path = last == std::string::npos ? std::string() : rest.substr(0, last);
      const std::string name = last == std::string::npos ? rest : rest.substr(last + 1);
      return backup.RemoveValueWithBackup(rootName, path, name);
    }
    case rkValueInColumn:
      return backup.RemoveValueWithBackup(rootName, rest, row.value);
    case rkSubkeyInColumn:
      // Without a subkey name the row would name its parent key instead.
      if (row.value.empty()) return RemoveOutcome::Kept;
      return backup.RemoveKeyWithBackup(rootName, rest + "\\" + row.value);
    case rkShortcutFile:
      return RemoveShortcut(platform.files, row.registryKey);
    case rkDefaultValue:
      return backup.RemoveValueWithBackup(rootName, rest, "");
  }
  return RemoveOutcome::NotFound;
}

}  // namespace

bool EnsureBackupFolder(const Platform& platform, const std::string& folder,
                        const std::function<bool(const std::string& question)>& askYesNo) {
  if (platform.files.PathIsFolder(folder)) return true;
  if (!askYesNo(folder + "," + "The backup directory does not exist." + "\r\n" + "creates a new directory?")) {
    return false;
  }
  if (!MakeFolderPath(platform.files, folder) || !platform.files.PathIsFolder(folder)) {
    throw RepairError("Cannot create " + folder);
  }
  return true;
}

std::string NewBackupFileName(const Platform& platform, const std::string& folder) {
  const LocalDateTime now = platform.system.Now();
  std::string name = folder;
  if (name.empty() || name.back() != '\\') name += '\\';
  return name + "Backup" + std::to_string(now.year) + TwoDigits(now.month) + TwoDigits(now.day) +
         TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second) + ".reg";
}

void RepairRows(const Platform& platform, ResultsModel& results, const std::string& backupFileName) {
  RegBackup backup(platform, backupFileName);
  for (std::size_t i = results.RowCount(); i-- > 0;) {
    const ProblemRow row = results.Row(i);
    if (!row.checked) continue;
    // A row leaves the list unless its entry is still there.
    if (RepairRow(platform, backup, row) != RemoveOutcome::Kept) results.RemoveRow(i);
  }
}

}  // namespace tamrisk
