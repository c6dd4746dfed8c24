#include "scan/IgnoreFilter.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace tamrisk {

IgnoreLists IgnoreListsOf(const Platform& platform, std::vector<std::string> values, std::vector<std::string> keys) {
  return IgnoreLists{std::move(values), std::move(keys), platform.system.CurrentUserSid()};
}

std::optional<RowTarget> TargetOf(const ProblemRow& row) {
  const RegLocation& where = row.location;
  // A shortcut file is never covered by the registry ignore lists.
  if (where.rootName.empty() || row.kind == rkShortcutFile) return std::nullopt;
  std::string key = where.rootName + "\\" + where.key;
  if (!where.namesValue) return RowTarget{std::move(key), ""};
  return RowTarget{std::move(key), where.value.empty() ? "@" : where.value};
}

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER";
constexpr std::string_view kUsers = "HKEY_USERS";

// key begins with root, as a whole first part: "HKEY_USERS\S-1-5" begins with "HKEY_USERS" but
// "HKEY_USERS_X" does not.
bool StartsWithPart(std::string_view key, std::string_view root) {
  return StartsWithNoCase(key, root) && (key.size() == root.size() || key[root.size()] == '\\');
}

// Whether needle occurs in text at whole path steps: each end of the match is the end of text, a
// "\" of text, or a "\" that needle itself begins or ends with. "Software\Vendor" is found in
// "HKEY_LOCAL_MACHINE\Software\Vendor\App" but not in "...\Software\VendorTools".
bool OccursAtWholeSteps(std::string_view text, std::string_view needle) {
  if (needle.empty()) return false;
  const bool openStart = needle.front() == '\\';
  const bool openEnd = needle.back() == '\\';
  for (std::size_t from = 0; from + needle.size() <= text.size(); ++from) {
    const std::size_t found = FindNoCase(text.substr(from), needle);
    if (found == std::string_view::npos) return false;
    const std::size_t at = from + found;
    const std::size_t end = at + needle.size();
    const bool startsAtStep = openStart || at == 0 || text[at - 1] == '\\';
    const bool endsAtStep = openEnd || end == text.size() || text[end] == '\\';
    if (startsAtStep && endsAtStep) return true;
    from = at;
  }
  return false;
}

// Every spelling of one key that the lists may hold. The current user's hive is both
// HKEY_CURRENT_USER and HKEY_USERS\<sid>; a class registration is reached through
// HKEY_CLASSES_ROOT, the machine's and the user's Software\Classes, and the user's classes hive
// HKEY_USERS\<sid>_Classes. Keys of any other hive have the one spelling.
std::vector<std::string> SpellingsOf(const std::string& key, const std::string& sid) {
  const std::string userHive = std::string(kUsers) + "\\" + sid;
  std::vector<std::string> classRoots = {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\Software\\Classes",
                                         std::string(kCurrentUser) + "\\Software\\Classes"};
  if (!sid.empty()) {
    classRoots.push_back(userHive + "\\Software\\Classes");
    classRoots.push_back(userHive + "_Classes");
  }
  for (const std::string& root : classRoots) {
    if (!StartsWithPart(key, root)) continue;
    const std::string below = key.substr(root.size());
    std::vector<std::string> spellings;
    for (const std::string& other : classRoots) spellings.push_back(other + below);
    return spellings;
  }
  if (!sid.empty() && StartsWithPart(key, kCurrentUser)) return {key, userHive + key.substr(kCurrentUser.size())};
  if (!sid.empty() && StartsWithPart(key, userHive)) {
    return {key, std::string(kCurrentUser) + key.substr(userHive.size())};
  }
  return {key};
}

bool ValueEntryCovers(const std::string& entry, const std::string& key, const std::string& value) {
  if (entry.empty()) return false;
  if (!value.empty()) return EqualsNoCase(key + "\\" + value, entry);
  // An ignored value in a key, or below it, protects a row that would remove that key.
  return OccursAtWholeSteps(entry, key.back() == '\\' ? key : key + "\\");
}

// An entry names a key, or a run of whole steps of one, and covers that key and everything below it.
bool KeyEntryCovers(const std::string& entry, const std::string& key) { return OccursAtWholeSteps(key, entry); }

bool ListsCover(const IgnoreLists& lists, const std::string& key, const std::string& value) {
  for (const std::string& entry : lists.values) {
    if (ValueEntryCovers(entry, key, value)) return true;
  }
  for (const std::string& entry : lists.keys) {
    if (KeyEntryCovers(entry, key)) return true;
  }
  return false;
}

}  // namespace

bool IsIgnored(const ProblemRow& row, const IgnoreLists& lists) {
  const std::optional<RowTarget> target = TargetOf(row);
  if (!target) return false;
  for (const std::string& key : SpellingsOf(target->key, lists.currentUserSid)) {
    if (ListsCover(lists, key, target->value)) return true;
  }
  return false;
}

void ApplyIgnoreLists(ResultsModel& results, const IgnoreLists& lists) {
  std::vector<bool> drop(results.RowCount());
  for (std::size_t i = 0; i < drop.size(); ++i) drop[i] = IsIgnored(results.Row(i), lists);
  results.RemoveRows(drop);
}

}  // namespace tamrisk
