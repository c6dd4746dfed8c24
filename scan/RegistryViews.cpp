#include "scan/RegistryViews.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/Text.h"

namespace tamrisk {
namespace {

constexpr std::string_view kSoftware = "Software\\";
constexpr std::string_view kClasses = "Software\\Classes\\";
constexpr std::string_view kWow64Node = "Wow6432Node\\";
constexpr std::string_view kWow64Classes = "SOFTWARE\\WOW6432NODE\\CLASSES";
constexpr std::string_view kClassesWow64 = "SOFTWARE\\CLASSES\\WOW6432NODE";

// path's first step and the rest after its "\" ("" when it has one step).
std::pair<std::string_view, std::string_view> FirstStep(std::string_view path) {
  const std::size_t slash = path.find('\\');
  if (slash == std::string_view::npos) return {path, {}};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

std::string Joined(std::string_view head, std::string_view tail) {
  std::string path(head);
  if (!path.empty() && !tail.empty()) path += '\\';
  return path.append(tail);
}

// The upper-cased path with a leading whole-step prefix replaced, or nothing when it does not begin so.
bool ReplacePrefix(std::string& upperPath, std::string_view prefix, std::string_view replacement) {
  if (!upperPath.starts_with(prefix)) return false;
  if (upperPath.size() != prefix.size() && upperPath[prefix.size()] != '\\') return false;
  upperPath.replace(0, prefix.size(), replacement);
  return true;
}

// A hive walk's row: listed under its own problem only where no other category finds the entry.
bool FromHiveWalk(const ProblemRow& row) { return IsHiveWalk(row.category); }

// A row whose repair deletes a key with everything below it.
bool NamesWholeKey(const ProblemRow& row) {
  return (row.kind == rkKey || row.kind == rkSubkeyInColumn) && !row.location.namesValue &&
         !row.location.rootName.empty();
}

// Whether the key (canonical, no value part) or one of the keys above it is among keys.
bool InOneOf(const std::unordered_set<std::string>& keys, std::string key) {
  for (;;) {
    if (keys.contains(key)) return true;
    const std::size_t slash = key.rfind('\\');
    if (slash == std::string::npos) return false;
    key.resize(slash);
  }
}

// Whether a step of path from the one at offset on (each path up to a "\" and the whole) is a link.
bool HasLinkFrom(RegistryBackend& registry, RootKey root, const std::string& path, std::size_t offset) {
  for (std::size_t end = path.find('\\', offset);; end = path.find('\\', end + 1)) {
    if (registry.IsLink(RootHandle(root), path.substr(0, end))) return true;
    if (end == std::string::npos) return false;
  }
}

}  // namespace

std::vector<std::string> SoftwareKeyInBothViews(RegistryBackend& registry, std::string_view softwarePath) {
  std::vector<std::string> paths{std::string(softwarePath)};
  // The 32-bit class keys are Software\Classes\Wow6432Node; Software\Wow6432Node\Classes leads there.
  const std::string_view head = StartsWithNoCase(softwarePath, kClasses) ? kClasses : kSoftware;
  if (!StartsWithNoCase(softwarePath, head)) return paths;
  std::string copy = std::string(head).append(kWow64Node).append(softwarePath.substr(head.size()));
  if (!HasLinkFrom(registry, RootKey::LocalMachine, copy, head.size())) paths.push_back(std::move(copy));
  return paths;
}

std::vector<std::string> ClassKeyInBothViews(RegistryBackend& registry, std::string_view classPath) {
  std::vector<std::string> paths{std::string(classPath)};
  std::string copy = std::string(kWow64Node).append(classPath);
  if (!HasLinkFrom(registry, RootKey::ClassesRoot, copy, 0)) paths.push_back(std::move(copy));
  return paths;
}

std::string CanonicalLocation(const RegLocation& where, const std::string& currentUserSid) {
  if (where.rootName.empty()) return "FILE\\" + AsciiUpper(where.key);
  std::string root = AsciiUpper(where.rootName);
  std::string path = AsciiUpper(where.key);
  if (root == "HKEY_USERS") {
    const auto [hive, below] = FirstStep(path);
    const std::string sid = AsciiUpper(currentUserSid);
    if (!sid.empty() && hive == sid) {
      root = "HKEY_CURRENT_USER";
      path = std::string(below);
    } else if (!sid.empty() && hive == sid + "_CLASSES") {
      root = "HKEY_CURRENT_USER";
      path = Joined("SOFTWARE\\CLASSES", below);
    } else if (hive == "S-1-5-18") {
      path = Joined(".DEFAULT", below);
    }
  } else if (root == "HKEY_CLASSES_ROOT") {
    root = "HKEY_LOCAL_MACHINE";
    path = Joined("SOFTWARE\\CLASSES", path);
  }
  ReplacePrefix(path, kWow64Classes, kClassesWow64);
  std::string canonical = root + "\\" + path;
  if (where.namesValue) canonical.append(1, '\0').append(AsciiUpper(where.value));
  return canonical;
}

void DropDuplicateRows(ResultsModel& results, const std::string& currentUserSid) {
  std::unordered_map<std::string, std::size_t> kept;  // location -> the row that stays
  std::vector<bool> drop(results.RowCount(), false);
  for (std::size_t i = 0; i < results.RowCount(); ++i) {
    const ProblemRow row = results.Row(i);
    if (row.location.rootName.empty() && row.location.key.empty()) continue;  // names no entry
    const auto [at, first] = kept.emplace(CanonicalLocation(row.location, currentUserSid), i);
    if (first) continue;
    if (FromHiveWalk(results.Row(at->second)) && !FromHiveWalk(row)) {
      drop[at->second] = true;
      at->second = i;
    } else {
      drop[i] = true;
    }
  }
  // A hive walk's row inside a key another category lists whole goes with that key: a value of a
  // per-user App Paths entry, say.
  std::unordered_set<std::string> wholeKeys;
  for (const auto& [location, i] : kept) {
    const ProblemRow row = results.Row(i);
    if (!FromHiveWalk(row) && NamesWholeKey(row)) wholeKeys.insert(location);
  }
  for (std::size_t i = 0; i < drop.size() && !wholeKeys.empty(); ++i) {
    const ProblemRow row = results.Row(i);
    if (drop[i] || !FromHiveWalk(row)) continue;
    const RegLocation key{row.location.rootName, row.location.key, "", false};
    if (InOneOf(wholeKeys, CanonicalLocation(key, currentUserSid))) drop[i] = true;
  }
  results.RemoveRows(drop);
}

}  // namespace tamrisk
