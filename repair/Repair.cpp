#include "repair/Repair.h"

#include <string_view>

#include "repair/RegBackup.h"
#include "settings/RegGlobal.h"

namespace tamrisk {
namespace {

// Shortcut rows name a file that no backup holds, so it goes to the Recycle Bin rather than away
// for good. A path with wildcards, or one that is a folder, would take more than the one shortcut.
RemoveOutcome RemoveShortcut(FileSystem& files, const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return RemoveOutcome::Refused;
  if (!files.PathIsFile(path)) return files.PathIsFolder(path) ? RemoveOutcome::Refused : RemoveOutcome::NotFound;
  files.ShellDelete(path, true);
  return files.PathIsFile(path) ? RemoveOutcome::NotDeleted : RemoveOutcome::Removed;
}

RemoveOutcome RepairRow(const Platform& platform, RegBackup& backup, const ProblemRow& row) {
  // The registry allows a NUL inside a name, but the system's calls end a name at its first NUL:
  // such a row would back up and delete another entry.
  if (row.registryKey.find('\0') != std::string::npos || row.value.find('\0') != std::string::npos) {
    return RemoveOutcome::Refused;
  }
  const std::size_t slash = row.registryKey.find('\\');
  if (slash == std::string::npos) return RemoveOutcome::Refused;
  const std::string rootName = row.registryKey.substr(0, slash);
  const std::string rest = row.registryKey.substr(slash + 1);

  switch (row.kind) {
    case rkKey: return backup.RemoveKeyWithBackup(rootName, rest);
    case rkValueInPath: {
      const std::size_t last = rest.rfind('\\');
      const std::string path = last == std::string::npos ? std::string() : rest.substr(0, last);
      const std::string name = last == std::string::npos ? rest : rest.substr(last + 1);
      return backup.RemoveValueWithBackup(rootName, path, name);
    }
    case rkValueInColumn: return backup.RemoveValueWithBackup(rootName, rest, row.value);
    case rkSubkeyInColumn:
      // Without a subkey name the row would name its parent key instead.
      if (row.value.empty()) return RemoveOutcome::Refused;
      return backup.RemoveKeyWithBackup(rootName, rest + "\\" + row.value);
    case rkShortcutFile: return RemoveShortcut(platform.files, row.registryKey);
    case rkDefaultValue: return backup.RemoveValueWithBackup(rootName, rest, "");
  }
  return RemoveOutcome::NotFound;
}

constexpr std::string_view kKept = "kept: ";
constexpr std::string_view kThen = "; ";

// Why a row stayed, in front of the reason it was listed ("kept: not backed up faithfully; file not
// found: C:\a.exe"). A row kept again replaces the earlier "why" instead of piling them up.
std::string KeptReason(RemoveOutcome outcome, const std::string& listed) {
  const char* why = outcome == RemoveOutcome::Refused              ? "refused, it would delete more than this entry"
                    : outcome == RemoveOutcome::NotBackedUp        ? "not backed up faithfully"
                    : outcome == RemoveOutcome::NeedsAdministrator ? "needs an administrator"
                                                                   : "still present after deletion";
  std::string_view rest = listed;
  if (rest.starts_with(kKept)) {
    const std::size_t end = rest.find(kThen);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + kThen.size());
  }
  std::string reason = std::string(kKept) + why;
  if (!rest.empty()) reason.append(kThen).append(rest);
  return reason;
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
  return name + "Backup" + std::to_string(now.year) + TwoDigits(now.month) + TwoDigits(now.day) + TwoDigits(now.hour) +
         TwoDigits(now.minute) + TwoDigits(now.second) + ".reg";
}

RepairSummary RepairRows(const Platform& platform, ResultsModel& results, const std::string& backupFileName) {
  RegBackup backup(platform, backupFileName);
  RepairSummary summary;
  for (std::size_t i = results.RowCount(); i-- > 0;) {
    const ProblemRow row = results.Row(i);
    if (!row.checked) continue;
    // A row leaves the list unless its entry is still there; then it says why.
    const RemoveOutcome outcome = RepairRow(platform, backup, row);
    if (IsKept(outcome)) {
      results.SetReason(i, KeptReason(outcome, row.reason));
      ++summary.kept;
    } else {
      results.RemoveRow(i);
      ++summary.repaired;
    }
  }
  if (backup.Written()) summary.backupFile = backupFileName;
  return summary;
}

std::string RepairSummaryText(const RepairSummary& summary) {
  std::string text = "Repaired " + std::to_string(summary.repaired) +
                     (summary.repaired == 1 ? " problem" : " problems") + ", kept " + std::to_string(summary.kept);
  if (summary.backupFile.empty()) return text;
  return text + " (" + summary.backupFile.substr(summary.backupFile.rfind('\\') + 1) + ")";
}

}  // namespace tamrisk
