// The repair: every checked row is first written to a registry editor backup file, then deleted.
// Window-free; the main window supplies the question and the results list.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/System.h"
#include "scan/Categories.h"
#include "scan/Phrase.h"
#include "scan/IgnoreFilter.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

// "Cannot create " + folder, and the backup file's I/O failures (with the system's message).
class RepairError : public WordedError {
 public:
  using WordedError::WordedError;
};

// Makes sure the backup folder exists. When it is missing, askYesNo gets the question; on No the
// result is false (nothing to do); on Yes every missing level is made, or RepairError is thrown.
bool EnsureBackupFolder(const Platform& platform, const std::string& folder,
                        const std::function<bool(const Phrase& question)>& askYesNo);

// folder + "\Backup" + YYYYMMDDhhmmss + ".reg" for the current local time.
std::string NewBackupFileName(const Platform& platform, const std::string& folder);

// What a repair did with the checked rows.
struct RepairSummary {
  std::size_t repaired = 0;     // rows that left the list: their entries are gone
  std::size_t kept = 0;         // checked rows that stayed, each with why in its reason
  std::string backupFile;       // the backup file when the repair wrote to it, else empty
  std::size_t emptiedKeys = 0;  // programs' keys under Software that the repair emptied, and removed

  friend bool operator==(const RepairSummary&, const RepairSummary&) = default;
};

// The checked rows were repaired (the summary), but the backup of the emptied program keys could not
// be written, so those keys were kept. The phrase says both.
class EmptiedKeysKeptError : public RepairError {
 public:
  EmptiedKeysKeptError(const RepairSummary& summary, Phrase why);
  const RepairSummary& Summary() const { return summary_; }

 private:
  RepairSummary summary_;
};

// What a repair removes besides the checked rows.
struct RepairScope {
  // The scan judged obsolete software: a program's key under Software (one the Obsolete Software
  // category would list) that the repair leaves with no value anywhere below it goes as well, into
  // the same backup, so that the next scan does not find what this repair left. The ignore lists
  // keep such a key as they would keep its row.
  bool removeEmptiedSoftwareKeys = false;
  IgnoreLists ignore;
};

// The scope of a repair of the rows a scan of these categories found.
RepairScope ScopeAfterScan(const std::vector<CategoryCode>& scannedCodes, IgnoreLists ignore);

// Repairs every checked row: their entries (taken from the last row to the first) all go into the
// backup file backupFileName, written whole and flushed to the disk (the file is made only when
// something goes into it), and only then are they deleted. A handled row leaves results unless its
// entry is still there: refused (a key at most one level below its root, a row without a subkey
// name, a shortcut path with wildcards or naming a folder), not backed up faithfully, or not
// deleted; such a row's reason then begins with "kept: " and why. Shortcuts go to the Recycle Bin.
// Throws RepairError, saying why, when the backup file cannot take the whole backup: then nothing
// is deleted and the rows stay as they were.
RepairSummary RepairRows(const Platform& platform, ResultsModel& results, const std::string& backupFileName,
                         const RepairScope& scope = {});

// The reason of a row the repair kept: "kept: <why>; <listed>", or "kept: <why>" for a row listed
// without a reason. A reason that was already a kept reason keeps what it was listed for.
Phrase KeptReason(TextId why, const Phrase& listed);

// Who is repairing or restoring when this process could not take the repair lock, as one sentence
// for a message or a log line.
Phrase RepairBusyPhrase(RepairHolder holder);
std::string RepairBusyText(RepairHolder holder);

// "Repaired 3 problems, kept 1", with ", removed 1 emptied program key" when there were such, and,
// when there is one, the backup file's name in brackets.
Phrase RepairSummaryPhrase(const RepairSummary& summary);
std::string RepairSummaryText(const RepairSummary& summary);

}  // namespace tamrisk
