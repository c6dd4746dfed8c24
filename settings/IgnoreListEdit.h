// The two ignore lists as the options record holds them: a count and the entries, of which only the
// first count are read and saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/RegGlobal.h"

namespace tamrisk {

// The counted part of a list: entries 0 to count - 1, as every reader walks it.
std::vector<std::string> CountedList(std::int32_t count, const std::vector<std::string>& list);

// Append an entry after the counted ones and keep the count in step. An entry already counted
// (letter case aside, as the filter compares) is not added twice.
void AddIgnoreValue(TOptionsSetting& options, const std::string& entry);
void AddIgnoreKey(TOptionsSetting& options, const std::string& entry);

}  // namespace tamrisk
