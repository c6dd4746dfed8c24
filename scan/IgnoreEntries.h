// The ignore-list entries that the results list's "Ignore this value" and "Ignore this key" add for a
// row, derived so that the ignore filter then covers that row.
#pragma once

#include <optional>
#include <string>

#include "scan/ProblemRow.h"

namespace tamrisk {

// The value entry that covers exactly this row: its key path + "\" + value name, "@" for a default
// value. nullopt for rows that name a whole key and for rows the ignore lists never cover.
std::optional<std::string> IgnoreValueEntryOf(const ProblemRow& row);
// The key entry for the key the row names or whose value it names: that key's full path. nullopt for
// rows the ignore lists never cover.
std::optional<std::string> IgnoreKeyEntryOf(const ProblemRow& row);

}  // namespace tamrisk
