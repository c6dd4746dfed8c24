#include "scan/ResultOrder.h"

#include <algorithm>
#include <numeric>

#include "platform/Text.h"

namespace tamrisk {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The byte a character sorts by: upper case, with the path separator first of all.
unsigned SortByte(char c) { return c == '\\' ? 0u : static_cast<unsigned char>(AsciiUpperChar(c)); }

std::size_t DigitRunEnd(std::string_view text, std::size_t from) {
  while (from < text.size() && IsDigit(text[from])) ++from;
  return from;
}

// Compares the digit runs a[ia, ea) and b[ib, eb) by value; zeros is set by the leading zeros when
// the values are equal and it is still 0.
int CompareNumbers(std::string_view a, std::string_view b, int& zeros) {
  std::size_t ia = 0, ib = 0;
  while (ia + 1 < a.size() && a[ia] == '0') ++ia;
  while (ib + 1 < b.size() && b[ib] == '0') ++ib;
  const std::string_view va = a.substr(ia), vb = b.substr(ib);
  if (va.size() != vb.size()) return va.size() < vb.size() ? -1 : 1;
  if (const int digits = va.compare(vb); digits != 0) return digits < 0 ? -1 : 1;
  if (zeros == 0 && ia != ib) zeros = ia < ib ? -1 : 1;
  return 0;
}

}  // namespace

std::string ColumnText(const ProblemRow& row, int column, const Wording& wording) {
  switch (column) {
    case colRegistryKey: return row.registryKey;
    case colValue: return row.value;
    case colProgram: return row.program ? Worded(ProgramPhrase(*row.program), wording) : std::string();
    default: return wording.Problem(row.problem);
  }
}

int CompareNatural(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  int zeros = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::size_t endA = DigitRunEnd(a, i), endB = DigitRunEnd(b, j);
      if (const int order = CompareNumbers(a.substr(i, endA - i), b.substr(j, endB - j), zeros); order != 0) {
        return order;
      }
      i = endA;
      j = endB;
      continue;
    }
    const unsigned ca = SortByte(a[i]);
    const unsigned cb = SortByte(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return zeros;
}

std::vector<std::size_t> SortedOrder(const std::vector<std::string>& texts, bool descending, bool emptyLast) {
  std::vector<std::size_t> order(texts.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    int compared = CompareNatural(texts[x], texts[y]);
    if (emptyLast && texts[x].empty() != texts[y].empty()) compared = texts[x].empty() ? 1 : -1;
    return descending ? compared > 0 : compared < 0;
  });
  return order;
}

std::vector<std::size_t> SortedOrder(const std::vector<ProblemRow>& rows, int column, bool descending,
                                     const Wording& wording) {
  std::vector<std::string> texts;
  texts.reserve(rows.size());
  for (const ProblemRow& row : rows) texts.push_back(ColumnText(row, column, wording));
  return SortedOrder(texts, descending, column == colProgram);
}

}  // namespace tamrisk
