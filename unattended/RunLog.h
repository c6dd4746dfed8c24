// Tamrisk.log beside options.ini: one line per unattended run (-cleanonce, -report), so an
// administrator can see what a scheduled run did. The window program does not log.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

struct RunLogEntry {
  std::string mode;  // "-cleanonce" or "-report"
  bool scheduled = false;
  std::vector<std::string> categories;  // codes scanned
  std::size_t found = 0;
  std::size_t programs = 0;  // programs that left the rows found (CountPrograms)
  std::size_t repaired = 0;
  std::size_t kept = 0;
  std::size_t emptiedKeys = 0;          // programs' keys the repair emptied and removed as well
  std::string backupFile;               // "" when nothing was backed up
  std::vector<std::string> incomplete;  // names of categories that did not finish
  int exitCode = 0;
  std::string error;  // "" when none
};

// Exit code of an unattended run: 0 done, 1 an error (nothing or not all done), 2 done but the scan
// was incomplete (some category ended by a failure), 3 the rows repaired but the emptied program keys
// kept, their backup not written (and no other error).
constexpr int UnattendedExitCode(bool done, bool scanIncomplete, bool onlyEmptiedKeysKept = false) {
  return onlyEmptiedKeysKept ? 3 : !done ? 1 : scanIncomplete ? 2 : 0;
}

// SettingsFolder + "Tamrisk.log".
std::string RunLogPath(const Platform& platform);

// "2026-12-07 13:05:09  -cleanonce  categories 3,4  found 12  repaired 10  kept 2  backup <file>
//  exit 0", with "scheduled", "programs N" (after "found"), "emptied N" (after "kept"),
//  "incomplete: <names>" and "error: <text>" where they apply.
std::string FormatRunLogLine(const LocalDateTime& when, const RunLogEntry& entry);

// Appends the line (UTF-8, CR LF). A log that cannot be written must not change the run's outcome,
// so this never throws and only reports success.
bool AppendRunLog(const Platform& platform, const RunLogEntry& entry);

// How many programs the rows belong to: the programs that left entries behind.
std::size_t CountPrograms(const std::vector<ProblemRow>& rows);

}  // namespace tamrisk
