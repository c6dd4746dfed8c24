#include "ui/main/ShownTexts.h"

#include <optional>

#include "repair/Repair.h"
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
  if (const std::optional<KeptReasonParts> kept = KeptReasonPartsOf(reason)) {
    return ShownPhrase(KeptReasonPhrase(kept->why, ShownReason(kept->listed)));
  }
  const std::optional<reason::Parts> parts = reason::PartsOf(reason);
  if (!parts) return reason;
  const std::string english = reason::Patterns()[static_cast<std::size_t>(parts->id)].english;
  return FormatText(ShownEngineText(IDS_REASON_FIRST + static_cast<UINT>(parts->id), english), {parts->argument});
}

std::string ShownPhrase(const Phrase& phrase) {
  return Worded(phrase, [](RepairText id, std::string_view english) {
    return ShownEngineText(IDS_REPAIR_TEXT_FIRST + static_cast<UINT>(id), std::string(english));
  });
}

}  // namespace tamrisk
