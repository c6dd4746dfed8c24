#include "ui/dialogs/ShownRowCount.h"

#include "scan/RegistryViews.h"

namespace tamrisk {

void ShownRowCount::Add(const std::vector<ProblemRow>& rows) {
  for (const ProblemRow& row : rows) {
    if (IsIgnored(row, ignore_)) continue;
    const bool namesNoEntry = row.location.rootName.empty() && row.location.key.empty();
    if (namesNoEntry || entries_.insert(CanonicalLocation(row.location, ignore_.currentUserSid)).second) ++count_;
  }
}

}  // namespace tamrisk
