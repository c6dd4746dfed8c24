#include "repair/Repair.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "repair/ClassStubs.h"
#include "repair/RegBackup.h"
#include "scan/ObsoleteSoftware.h"
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

bool HoldsNul(const RegLocation& where) {
  return where.rootName.find('\0') != std::string::npos || where.key.find('\0') != std::string::npos ||
         where.value.find('\0') != std::string::npos;
}

// A checked row on its way through the repair: its registry entry in the backup, or its outcome
// when it names none that may go, or the shortcut file it names.
struct RowRepair {
  std::size_t row;
  std::optional<std::size_t> entry;  // in the backup
  std::optional<RemoveOutcome> outcome;
  std::string shortcut;
};

RowRepair QueueRow(RegBackup& backup, std::size_t index, const ProblemRow& row) {
  const RegLocation& where = row.location;
  // The registry allows a NUL inside a name, but the system's calls end a name at its first NUL:
  // such a row would back up and delete another entry.
  if (HoldsNul(where)) return {index, std::nullopt, RemoveOutcome::Refused, {}};
  if (row.kind == rkShortcutFile) return {index, std::nullopt, std::nullopt, where.key};
  // A row without a root, or a subkey row without its subkey's name, names no entry of its own.
  if (where.rootName.empty() || (!where.namesValue && where.key.empty())) {
    return {index, std::nullopt, RemoveOutcome::Refused, {}};
  }
  const std::size_t entry = where.namesValue ? backup.AddValue(where.rootName, where.key, where.value)
                                             : backup.AddKey(where.rootName, where.key);
  return {index, entry, std::nullopt, {}};
}

// A program's key under Software that an entry at where lies in: (root, Software key, name).
struct ProgramKey {
  RootKey root;
  std::string software;
  std::string name;

  friend auto operator<=>(const ProgramKey&, const ProgramKey&) = default;
};

void AddProgramKeys(const RegLocation& where, std::set<ProgramKey>& keys) {
  const std::optional<RootKey> root = RootFromName(where.rootName);
  if (!root) return;
  for (const SoftwareKey& software : ObsoleteSoftwareKeys()) {
    if (software.root != *root) continue;
    const std::string prefix = std::string(software.path) + "\\";
    if (!StartsWithNoCase(where.key, prefix)) continue;
    const std::string below = where.key.substr(prefix.size());
    const std::string name = below.substr(0, below.find('\\'));
    // The program's key itself went with a key row; a value in it leaves it behind.
    if (!name.empty() && (where.namesValue || name.size() < below.size())) keys.insert({*root, software.path, name});
  }
}

// Removes, with their backup, the program keys that the repair left with no value below them, and
// the class keys it left as stubs.
std::size_t RemoveEmptiedSoftwareKeys(const Platform& platform, RegBackup& backup, const std::set<ProgramKey>& keys,
                                      const ClassStubs& classStubs, const IgnoreLists& ignore) {
  std::vector<std::size_t> entries;
  for (const RegLocation& stub : classStubs.Stubs(platform)) {
    if (IsIgnored(RegistryRow(ProblemId::CustomControlsIssue, rkKey, stub, "", {}), ignore)) continue;
    entries.push_back(backup.AddKey(stub.rootName, stub.key));
  }
  for (const ProgramKey& key : keys) {
    if (!IsObsoleteSoftwareKey(platform, key.root, key.software, key.name)) continue;
    const RegLocation where{RootName(key.root), key.software + "\\" + key.name, "", false};
    if (IsIgnored(RegistryRow(ProblemId::ObsoleteSoftwareKey, rkSubkeyInColumn, where, "", {}), ignore)) continue;
    entries.push_back(backup.AddKey(where.rootName, where.key));
  }
  if (entries.empty()) return 0;
  try {
    backup.BackUp();
  } catch (const RepairError& error) {
    throw RepairError({TextId::EmptiedKeysKept, {error.phrase()}});
  }
  backup.DeleteBackedUp();
  return std::count_if(entries.begin(), entries.end(),
                       [&](std::size_t entry) { return backup.Outcome(entry) == RemoveOutcome::Removed; });
}

TextId WhyKept(RemoveOutcome outcome) {
  switch (outcome) {
    case RemoveOutcome::Refused: return TextId::KeptRefused;
    case RemoveOutcome::NotBackedUp: return TextId::KeptNotBackedUp;
    case RemoveOutcome::NeedsAdministrator: return TextId::KeptNeedsAdministrator;
    case RemoveOutcome::ChangedSinceBackup: return TextId::KeptChangedSinceBackup;
    default: return TextId::KeptStillPresent;
  }
}

}  // namespace

bool EnsureBackupFolder(const Platform& platform, const std::string& folder,
                        const std::function<bool(const Phrase& question)>& askYesNo) {
  if (platform.files.PathIsFolder(folder)) return true;
  if (!askYesNo({TextId::BackupFolderQuestion, {folder}})) return false;
  if (!MakeFolderPath(platform.files, folder) || !platform.files.PathIsFolder(folder)) {
    throw RepairError({TextId::CannotCreateFolder, {folder}});
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

RepairScope ScopeAfterScan(const std::vector<CategoryCode>& scannedCodes, IgnoreLists ignore) {
  RepairScope scope;
  for (const CategoryCode code : scannedCodes) {
    if (code == CategoryCode::ObsoleteSoftware) scope.removeEmptiedSoftwareKeys = true;
  }
  scope.ignore = std::move(ignore);
  return scope;
}

RepairSummary RepairRows(const Platform& platform, ResultsModel& results, const std::string& backupFileName,
                         const RepairScope& scope) {
  RegBackup backup(platform, backupFileName);
  std::vector<RowRepair> repairs;
  for (std::size_t i = results.RowCount(); i-- > 0;) {
    const ProblemRow row = results.Row(i);
    if (row.checked) repairs.push_back(QueueRow(backup, i, row));
  }
  // Every entry is in the backup, on the disk, before the first goes; when the backup cannot be
  // written whole nothing goes, and the rows stay as they were.
  try {
    backup.BackUp();
  } catch (const RepairError& error) {
    throw RepairError({TextId::NothingDeleted, {error.phrase()}});
  }
  backup.DeleteBackedUp();

  RepairSummary summary;
  std::set<ProgramKey> touched;
  ClassStubs classStubs;
  std::vector<bool> gone(results.RowCount());
  for (const RowRepair& repair : repairs) {
    const ProblemRow row = results.Row(repair.row);
    const RemoveOutcome outcome = repair.entry     ? backup.Outcome(*repair.entry)
                                  : repair.outcome ? *repair.outcome
                                                   : RemoveShortcut(platform.files, repair.shortcut);
    // A row leaves the list unless its entry is still there; then it says why.
    if (IsKept(outcome)) {
      results.SetReason(repair.row, KeptReason(WhyKept(outcome), row.reason));
      ++summary.kept;
    } else {
      gone[repair.row] = true;
      ++summary.repaired;
      if (outcome == RemoveOutcome::Removed && scope.removeEmptiedSoftwareKeys) AddProgramKeys(row.location, touched);
      if (outcome == RemoveOutcome::Removed) classStubs.NoteRemoved(row.location);
    }
  }
  results.RemoveRows(gone);
  if (backup.Written()) summary.backupFile = backupFileName;
  try {
    summary.emptiedKeys = RemoveEmptiedSoftwareKeys(platform, backup, touched, classStubs, scope.ignore);
  } catch (const RepairError& error) {
    throw EmptiedKeysKeptError(summary, error.phrase());
  }
  if (backup.Written()) summary.backupFile = backupFileName;
  return summary;
}

Phrase KeptReason(TextId why, const Phrase& listed) {
  // A row kept again keeps the reason it was listed for, with only the latest why.
  const bool keptBefore = (listed.id == TextId::Kept || listed.id == TextId::KeptThen) && !listed.arguments.empty();
  if (keptBefore && listed.id == TextId::Kept) return KeptReason(why, Phrase{});
  if (keptBefore && listed.arguments.size() == 2 && !listed.arguments[1].phrase.empty()) {
    return KeptReason(why, listed.arguments[1].phrase.front());
  }
  if (listed == Phrase{}) return {TextId::Kept, {Phrase{why, {}}}};
  return {TextId::KeptThen, {Phrase{why, {}}, listed}};
}

Phrase RepairBusyPhrase(RepairHolder holder) {
  switch (holder) {
    case RepairHolder::UnattendedRun: return {TextId::UnattendedRunRepairing, {}};
    case RepairHolder::LockDenied: return {TextId::RepairLockDenied, {std::string(kRepairLockName)}};
    case RepairHolder::LockNameTaken: return {TextId::RepairLockNameTaken, {std::string(kRepairLockName)}};
    default: return {TextId::AnotherTamriskRepairing, {}};
  }
}

std::string RepairBusyText(RepairHolder holder) { return Worded(RepairBusyPhrase(holder)); }

Phrase RepairSummaryPhrase(const RepairSummary& summary) {
  Phrase phrase{summary.repaired == 1 ? TextId::RepairedOne : TextId::RepairedMany,
                {std::to_string(summary.repaired), std::to_string(summary.kept)}};
  if (summary.emptiedKeys > 0) {
    phrase = {summary.emptiedKeys == 1 ? TextId::RemovedEmptiedKey : TextId::RemovedEmptiedKeys,
              {std::move(phrase), std::to_string(summary.emptiedKeys)}};
  }
  if (summary.backupFile.empty()) return phrase;
  return {TextId::WithBackupFile, {std::move(phrase), summary.backupFile.substr(summary.backupFile.rfind('\\') + 1)}};
}

std::string RepairSummaryText(const RepairSummary& summary) { return Worded(RepairSummaryPhrase(summary)); }

EmptiedKeysKeptError::EmptiedKeysKeptError(const RepairSummary& summary, Phrase why)
    : RepairError({TextId::SummaryThenError, {RepairSummaryPhrase(summary), std::move(why)}}), summary_(summary) {}

}  // namespace tamrisk
