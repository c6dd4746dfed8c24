#include "repair/ClassStubs.h"

#include <optional>
#include <string_view>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "scan/PathTests.h"

namespace tamrisk {
namespace {

constexpr std::string_view kClasses = "Software\\Classes\\";
constexpr std::string_view kWow64Node = "Wow6432Node\\";
constexpr std::string_view kClassIds = "CLSID\\";
constexpr std::string_view kShell = "\\shell\\";
// A class key holds a few keys; past this many it is no stub whatever it holds.
constexpr int kMostKeys = 64;
constexpr std::size_t kExpandChars = 1024;

// Where the class keys begin in a key path of root, or nullopt outside them.
std::optional<std::size_t> ClassesStart(const std::string& rootName, std::string_view key) {
  std::size_t at = 0;
  if (!EqualsNoCase(rootName, "HKEY_CLASSES_ROOT")) {
    const bool machineOrUser =
        EqualsNoCase(rootName, "HKEY_LOCAL_MACHINE") || EqualsNoCase(rootName, "HKEY_CURRENT_USER");
    if (!machineOrUser || !StartsWithNoCase(key, kClasses)) return std::nullopt;
    at = kClasses.size();
  }
  if (StartsWithNoCase(key.substr(at), kWow64Node)) at += kWow64Node.size();
  return at;
}

bool EndsWithStep(std::string_view path, std::string_view step) {
  const std::string_view last = path.substr(path.rfind('\\') == std::string_view::npos ? 0 : path.rfind('\\') + 1);
  return EndsWithNoCase(last, step);
}

// What keeps a class key alive: a server or command it still holds, a path it names that is there,
// or a path in the Windows folder (a registration of Windows' own).
class StubTest {
 public:
  StubTest(const Platform& platform, bool classId)
      : platform_(platform), classId_(classId), drives_(ComputeTestedDrives(platform.files, false, false)) {}

  bool IsStub(RootKey root, const std::string& key) {
    keys_ = 0;
    try {
      return !Holds(root, key, 0);
    } catch (const RegistryError&) {
      return false;  // a value that cannot be read may name anything: kept
    }
  }

 private:
  // Whether the key at path, or a key below it, holds something that keeps the class.
  bool Holds(RootKey root, const std::string& path, int depth) {
    if (++keys_ > kMostKeys) return true;
    std::vector<std::string> subkeys;
    {
      RegistryAccess registry(platform_.registry, root);
      registry.SetAccess(rights::Read);
      if (!registry.OpenPath(path, false)) return true;  // cannot be read: kept
      for (const std::string& name : registry.ListValues()) {
        const std::optional<std::string> text = registry.ReadTextValue(name);
        if (text && Keeps(path, name, *text, depth)) return true;
      }
      subkeys = registry.ListSubkeys();
    }
    for (const std::string& subkey : subkeys) {
      if (Holds(root, path + "\\" + subkey, depth + 1)) return true;
    }
    return false;
  }

  bool Keeps(const std::string& path, const std::string& name, const std::string& text, int depth) const {
    if (text.empty()) return false;
    const bool defaultValue = name.empty();
    if (classId_ && defaultValue && depth > 0 &&
        (EndsWithStep(path, "Server32") || EndsWithStep(path, "Handler32") || EndsWithStep(path, "Server"))) {
      return true;  // a server still registered
    }
    if (!classId_ && EndsWithStep(path, "command") && (defaultValue || EqualsNoCase(name, "DelegateExecute"))) {
      return true;  // a command still there
    }
    std::string expanded = platform_.system.ExpandEnvironment(text, kExpandChars).value_or(text);
    if (!expanded.empty() && expanded.front() == '"') expanded.erase(0, 1);
    if (InWindowsFolder(platform_, expanded)) return true;
    return JudgeReference(platform_, text, drives_, true, Readers::NativeAndWow64) == Reference::Present;
  }

  const Platform& platform_;
  bool classId_;
  std::string drives_;
  int keys_ = 0;
};

}  // namespace

void ClassStubs::NoteRemoved(const RegLocation& where) {
  const std::optional<std::size_t> start = ClassesStart(where.rootName, where.key);
  if (!start) return;
  const std::string_view below = std::string_view(where.key).substr(*start);
  if (StartsWithNoCase(below, kClassIds)) {
    const std::size_t end = below.find('\\', kClassIds.size());
    // The class key's own values and the key itself are not what a server row removes.
    if (end == std::string_view::npos) return;
    candidates_.insert({where.rootName, where.key.substr(0, *start + end), true});
    return;
  }
  const std::size_t shell = FindNoCase(below, kShell);
  if (shell == std::string_view::npos || shell == 0) return;
  candidates_.insert({where.rootName, where.key.substr(0, *start + shell), false});
}

std::vector<RegLocation> ClassStubs::Stubs(const Platform& platform) const {
  std::vector<RegLocation> stubs;
  for (const Candidate& candidate : candidates_) {
    const std::optional<RootKey> root = RootFromName(candidate.rootName);
    if (!root) continue;
    StubTest test(platform, candidate.classId);
    if (test.IsStub(*root, candidate.key)) stubs.push_back({candidate.rootName, candidate.key, "", false});
  }
  return stubs;
}

}  // namespace tamrisk
