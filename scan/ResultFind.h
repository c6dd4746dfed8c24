// Which row of the results list "Find" and "Find Next" go to: the next one, from the current row in
// the chosen direction, whose three columns or reason hold the text; past the last row the search
// goes on from the first (and past the first from the last, going up).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scan/ProblemRow.h"

namespace tamrisk {

struct FindQuery {
  std::string text;
  bool matchCase = false;
  bool down = true;
};

// Whether the row's Problem, Registry key, Value or Program text or its reason, each worded as the
// list shows it, holds the query's text. An empty text is found nowhere.
bool RowMatches(const ProblemRow& row, const FindQuery& query, const Wording& wording = English());

// The matching row after current (before it, going up), wrapping round, with current itself last;
// without a current row the search starts at the first row (the last, going up). nullopt when no row
// matches.
std::optional<std::size_t> FindNextRow(const std::vector<ProblemRow>& rows, std::optional<std::size_t> current,
                                       const FindQuery& query, const Wording& wording = English());

}  // namespace tamrisk
