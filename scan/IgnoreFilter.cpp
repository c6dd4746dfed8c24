#include "scan/IgnoreFilter.h"

#include <optional>
#include <string_view>

#include "platform/Text.h"

namespace tamrisk {

std::optional<RowTarget> TargetOf(const ProblemRow& row) {
  const std::size_t slash = row.registryKey.find('\\');
  if (slash == std::string::npos) return std::nullopt;
  const std::string root = row.registryKey.substr(0, slash);
  const std::string rest = row.registryKey.substr(slash + 1);
  switch (row.kind) {
    case rkKey:
      return RowTarget{root + "\\" + rest, ""};
    case rkValueInPath: {
      // The value name is cut at the last "\"; with none, the whole rest is the name.
      const std::size_t last = rest.rfind('\\');
      if (last == std::string::npos) return RowTarget{root + "\\", rest};
      return RowTarget{root + "\\" + rest.substr(0, last), rest.substr(last + 1)};
    }
    case rkValueInColumn:
      return RowTarget{root + "\\" + rest, row.value};
    case rkSubkeyInColumn:
      return RowTarget{root + "\\" + rest + "\\" + row.value, ""};
    case rkDefaultValue:
      return RowTarget{root + "\\" + rest, "@"};
    case rkShortcutFile:
    default:
      return std::nullopt;  // a shortcut file is never covered by the registry ignore lists
  }
}

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER";
constexpr std::string_view kUsers = "HKEY_USERS";

// key begins with root, as a whole first part: "HKEY_USERS\S-1-5" begins with "HKEY_USERS" but
// "HKEY_USERS_X" does not.
bool StartsWithPart(std::string_view key, std::string_view root) {
  return StartsWithNoCase(key, root) && (key.size() == root.size() || key[root.size()] == '\\');
}

// The same key seen through the other root: the current user's hive is both HKEY_CURRENT_USER and
// HKEY_USERS\<sid>. nullopt for keys of any other hive.
std::optional<std::string> CurrentUserAlias(const std::string& key, const std::string& sid) {
  if (sid.empty()) return std::nullopt;
  const std::string userHive = std::string(kUsers) + "\\" + sid;
  if (StartsWithPart(key, kCurrentUser)) return userHive + key.substr(kCurrentUser.size());
  if (StartsWithPart(key, userHive)) return std::string(kCurrentUser) + key.substr(userHive.size());
  return std::nullopt;
}

bool ValueEntryCovers(const std::string& entry, const std::string& key, const std::string& value) {
  if (entry.empty()) return false;
  if (!value.empty()) return EqualsNoCase(key + "\\" + value, entry);
  // An ignored value in a key, or below it, protects a row that would remove that key.
  return FindNoCase(entry, key) != std::string::npos;
}

bool KeyEntryCovers(const std::string& entry, const std::string& key) {
  return !entry.empty() && FindNoCase(key, entry) != std::string::npos;
}

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
  if (ListsCover(lists, target->key, target->value)) return true;
  const std::optional<std::string> alias = CurrentUserAlias(target->key, lists.currentUserSid);
  return alias && ListsCover(lists, *alias, target->value);
}

void ApplyIgnoreLists(ResultsModel& results, const IgnoreLists& lists) {
  for (std::size_t i = results.RowCount(); i-- > 0;) {
    if (IsIgnored(results.Row(i), lists)) results.RemoveRow(i);
  }
}

}  // namespace tamrisk
