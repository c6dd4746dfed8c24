// The order the results list sorts its rows in: by one column, case-insensitive, with runs of digits
// compared as numbers, so "App2" comes before "App10".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "scan/ProblemRow.h"

namespace tamrisk {

// The list's columns, in the order it shows them.
enum ResultColumn { colProblem = 0, colRegistryKey = 1, colValue = 2, colProgram = 3 };

// A column's text; the problem and the program worded as the list shows them (no program: "").
std::string ColumnText(const ProblemRow& row, int column, const Wording& wording = English());

// Below zero, zero or above zero as a orders before, with or after b. Letters compare by their
// upper-case bytes (ASCII folding only, as everywhere in the program); a run of ASCII digits in both
// texts compares by its number, and equal numbers by their leading zeros (fewer first). A "\" comes
// before every other character, so a key's subkeys follow it before its siblings ("Key\Sub" before
// "Key 2" and "KeyA").
int CompareNatural(std::string_view a, std::string_view b);

// The row indexes in sorted order by one column, ascending or descending. Rows that compare equal
// keep the order they had, either way, so a second sort refines the first. By program, the rows of
// no program come after all others when ascending (before them when descending).
std::vector<std::size_t> SortedOrder(const std::vector<ProblemRow>& rows, int column, bool descending,
                                     const Wording& wording = English());
// The same order of the texts a column shows; emptyLast puts the empty texts after the others when
// ascending.
std::vector<std::size_t> SortedOrder(const std::vector<std::string>& texts, bool descending, bool emptyLast = false);

}  // namespace tamrisk
