#include "settings/IgnoreListEdit.h"

#include <algorithm>

#include "platform/Text.h"

namespace tamrisk {
namespace {

std::size_t CountedEntries(std::int32_t count, const std::vector<std::string>& list) {
  return std::min(static_cast<std::size_t>(std::max<std::int32_t>(count, 0)), list.size());
}

void AddCountedEntry(std::int32_t& count, std::vector<std::string>& list, const std::string& entry) {
  // Entries past the count are read by nobody and saved by nobody; the new one goes right after the
  // counted ones so that it is seen.
  list.resize(CountedEntries(count, list));
  const bool known =
      std::any_of(list.begin(), list.end(), [&](const std::string& each) { return EqualsNoCase(each, entry); });
  if (!known) list.push_back(entry);
  count = static_cast<std::int32_t>(list.size());
}

}  // namespace

std::vector<std::string> CountedList(std::int32_t count, const std::vector<std::string>& list) {
  return {list.begin(), list.begin() + static_cast<std::ptrdiff_t>(CountedEntries(count, list))};
}

void AddIgnoreValue(TOptionsSetting& options, const std::string& entry) {
  AddCountedEntry(options.IgnoreValueCount, options.IgnoreValues, entry);
}

void AddIgnoreKey(TOptionsSetting& options, const std::string& entry) {
  AddCountedEntry(options.IgnoreKeyCount, options.IgnoreKeys, entry);
}

}  // namespace tamrisk
