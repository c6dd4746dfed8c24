// How a scan ended: where a stop left it and which categories a failure ended. The window words it
// for its status bar and tree; saved results carry the English note.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scan/Categories.h"

namespace tamrisk {

struct ScanOutcome {
  // Where a stop left the scan: in a category (none when between two), and the categories it never
  // reached, in scan order.
  struct Stop {
    std::optional<CategoryCode> stoppedIn;
    std::vector<CategoryCode> notReached;

    friend bool operator==(const Stop&, const Stop&) = default;
  };
  // nullopt for a scan that settled every category it was given.
  std::optional<Stop> stop;
  // Categories a failure ended before they finished, in scan order.
  std::vector<CategoryCode> incomplete;

  friend bool operator==(const ScanOutcome&, const ScanOutcome&) = default;
};

// The outcome of a scan of codes that began started of them
// and settled (scanned to the end, or ended by a failure) the first settled; stopped: a stop ended
// it. A code without a scanner (a group of the tree) is no category: a stop in it is a stop between
// categories, and it is never one left out.
ScanOutcome OutcomeOfScan(const std::vector<CategoryCode>& codes, std::size_t started, std::size_t settled,
                          bool stopped, std::vector<CategoryCode> incomplete);

// The categories' English names ("Shared DLLs"), in the order given.
std::vector<std::string> CategoryNames(const std::vector<CategoryCode>& codes);

// What the scan left out, in English, for the last line of saved results ("Scan stopped in Shared
// DLLs; not scanned: Installer; Scan incomplete: Windows Fonts"); "" for a whole scan.
std::string ScanOutcomeNote(const ScanOutcome& outcome);

}  // namespace tamrisk
