#include "scan/IgnoreEntries.h"

#include "scan/IgnoreFilter.h"

namespace tamrisk {

std::optional<std::string> IgnoreValueEntryOf(const ProblemRow& row) {
  const std::optional<RowTarget> target = TargetOf(row);
  if (!target || target->value.empty()) return std::nullopt;
  return target->key + "\\" + target->value;
}

std::optional<std::string> IgnoreKeyEntryOf(const ProblemRow& row) {
  const std::optional<RowTarget> target = TargetOf(row);
  if (!target) return std::nullopt;
  // A value straight under a root names the root itself; as a key entry it would hide a whole hive.
  std::string key = target->key;
  while (!key.empty() && key.back() == '\\') key.pop_back();
  if (key.find('\\') == std::string::npos) return std::nullopt;
  return target->key;
}

}  // namespace tamrisk
