#include "ui/main/ShownTexts.h"

#include <optional>

#include "scan/ProblemNames.h"
#include "scan/Reasons.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {

std::string ShownProblem(const std::string& problem) {
  const std::optional<int> number = ProblemNumber(problem);
  return number ? ShownEngineText(IDS_PROBLEM_FIRST + static_cast<UINT>(*number), problem) : problem;
}

std::string ShownReason(const std::string& reason) {
  const std::optional<reason::Parts> parts = reason::PartsOf(reason);
  if (!parts) return reason;
  const std::string english = reason::Patterns()[static_cast<std::size_t>(parts->id)].english;
  return FormatText(ShownEngineText(IDS_REASON_FIRST + static_cast<UINT>(parts->id), english), {parts->argument});
}

}  // namespace tamrisk
