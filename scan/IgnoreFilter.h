// Drops the rows that the user's ignore lists cover.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "scan/ProblemRow.h"

namespace tamrisk {

struct IgnoreLists {
  std::vector<std::string> values;  // full key path + "\" + value name ("@" for a default value)
  std::vector<std::string> keys;    // a full key path or any part of one
  // SID of the current user: HKEY_USERS\<sid> and HKEY_CURRENT_USER name the same hive.
  std::string currentUserSid;
};

// The lists as the filter takes them: the entries in use of each, and the current user's SID.
IgnoreLists IgnoreListsOf(const Platform& platform, std::vector<std::string> values, std::vector<std::string> keys);

// The key path a row names and the value name within it ("" when the row names a whole key, "@" for
// a default value). nullopt for rows the lists never cover: shortcut files and texts without "\".
struct RowTarget {
  std::string key;
  std::string value;
};
std::optional<RowTarget> TargetOf(const ProblemRow& row);

// Whether the lists remove this row.
bool IsIgnored(const ProblemRow& row, const IgnoreLists& lists);

// Removes every ignored row, walking from the last row to the first.
void ApplyIgnoreLists(ResultsModel& results, const IgnoreLists& lists);

}  // namespace tamrisk
