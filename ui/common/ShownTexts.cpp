#include "ui/common/ShownTexts.h"

#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

// Where each family of the engine's texts starts in the language files' string tables; a verbatim
// text has no translation.
UINT FirstStringOf(TextFamily family) {
  switch (family) {
    case TextFamily::Reason: return IDS_REASON_FIRST;
    case TextFamily::Repair: return IDS_REPAIR_TEXT_FIRST;
    case TextFamily::Settings: return IDS_SETTINGS_NOT_WRITTEN;
    case TextFamily::Program: return IDS_PROGRAM_TEXT_FIRST;
    case TextFamily::Verbatim: break;
  }
  return 0;
}

class WindowWording final : public Wording {
 public:
  std::string Pattern(TextId id, std::string_view english) const override {
    const TextPlace place = PlaceOf(id);
    const UINT first = FirstStringOf(place.family);
    if (first == 0) return std::string(english);
    return ShownEngineText(first + static_cast<UINT>(place.index), std::string(english));
  }
  std::string Problem(ProblemId id) const override {
    return ShownEngineText(IDS_PROBLEM_FIRST + static_cast<UINT>(id), ProblemName(id));
  }
};

}  // namespace

const Wording& ShownWording() {
  static const WindowWording wording;
  return wording;
}

std::string ShownProblem(ProblemId problem) { return ShownWording().Problem(problem); }

std::string ShownPhrase(const Phrase& phrase) { return Worded(phrase, ShownWording()); }

}  // namespace tamrisk
