#include "scan/ResultFind.h"

#include "platform/Text.h"

namespace tamrisk {

bool RowMatches(const ProblemRow& row, const FindQuery& query, const Wording& wording) {
  if (query.text.empty()) return false;
  const std::string problem = wording.Problem(row.problem);
  const std::string reason = Worded(row.reason, wording);
  const std::string program = row.program ? Worded(ProgramPhrase(*row.program), wording) : std::string();
  for (const std::string* text : {&problem, &row.registryKey, &row.value, &program, &reason}) {
    const std::size_t at = query.matchCase ? text->find(query.text) : FindNoCase(*text, query.text);
    if (at != std::string::npos) return true;
  }
  return false;
}

std::optional<std::size_t> FindNextRow(const std::vector<ProblemRow>& rows, std::optional<std::size_t> current,
                                       const FindQuery& query, const Wording& wording) {
  const std::size_t count = rows.size();
  if (count == 0) return std::nullopt;
  if (current && *current >= count) current.reset();
  // Steps from the current row; without one, the first step lands on the first (or last) row.
  const std::size_t start = current ? *current : (query.down ? count - 1 : 0);
  for (std::size_t step = 1; step <= count; ++step) {
    const std::size_t index = query.down ? (start + step) % count : (start + count - step % count) % count;
    if (RowMatches(rows[index], query, wording)) return index;
  }
  return std::nullopt;
}

}  // namespace tamrisk
