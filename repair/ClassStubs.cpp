#include "repair/ClassStubs.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "scan/PathTests.h"

namespace tamrisk {
namespace {

constexpr std::string_view kClasses = "Software\\Classes\\";
constexpr std::string_view kWow64Node = "Wow6432Node\\";
// A class key holds a few keys; past this many it is no stub whatever it holds.
constexpr int kMostKeys = 64;
constexpr std::size_t kExpandChars = 1024;

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return EqualsNoCase(name, n); });
}

// Class keys of Windows' own: the shell's classes for every file, folder and drive, and the keys that
// hold classes rather than being one.
bool WindowsOwnClass(std::string_view name) {
  return OneOf(
      name, {"*", "AllFilesystemObjects", "Applications", "CLSID", "Directory", "DesktopBackground", "Drive", "Folder",
             "Interface", "Local Settings", "Network", "Printers", "SystemFileAssociations", "TypeLib", "Unknown"});
}

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

// What a class ID's stub may still hold: server keys without a server (a threading model at most),
// the keys that name it, and the categories it was filed under. Anything else keeps the class.
bool ClassIdKeyMayStay(const std::vector<std::string_view>& steps) {
  if (steps.empty()) return true;
  if (EqualsNoCase(steps.front(), "Implemented Categories")) return true;
  return steps.size() == 1 && OneOf(steps.front(), {"InprocServer32", "LocalServer32", "InprocHandler32", "ProgID",
                                                    "VersionIndependentProgID", "TypeLib", "Version", "DefaultIcon"});
}

bool ClassIdValueMayStay(const std::vector<std::string_view>& steps, const std::string& name, bool empty) {
  if (steps.empty()) return true;
  if (OneOf(steps.front(), {"InprocServer32", "LocalServer32", "InprocHandler32"}))
    return EqualsNoCase(name, "ThreadingModel") || (name.empty() && empty);
  if (EqualsNoCase(steps.front(), "Implemented Categories")) return name.empty() && empty;
  return name.empty();
}

// What a ProgID's stub may still hold: its icon, its current version's name, and verbs whose commands
// are gone.
bool ProgIdKeyMayStay(const std::vector<std::string_view>& steps) {
  if (steps.empty()) return true;
  if (OneOf(steps.front(), {"DefaultIcon", "CurVer"})) return steps.size() == 1;
  return EqualsNoCase(steps.front(), "shell") &&
         (steps.size() < 3 || (steps.size() == 3 && EqualsNoCase(steps[2], "command")));
}

bool ProgIdValueMayStay(const std::vector<std::string_view>& steps, const std::string& name, bool empty) {
  if (steps.empty() || steps.size() == 2)
    return !EqualsNoCase(name, "DelegateExecute");      // names of the type, of a verb
  if (steps.size() == 3) return name.empty() && empty;  // a command that is left is a command
  return name.empty();
}

// Whether a class key holds nothing that keeps it: only what its kind's stub may hold, no path that
// is there, no path in the Windows folder (a registration of Windows' own).
class StubTest {
 public:
  StubTest(const Platform& platform, bool classId)
      : platform_(platform), classId_(classId), drives_(ComputeTestedDrives(platform.files, false, false)) {}

  bool IsStub(RootKey root, const std::string& key) {
    keys_ = 0;
    try {
      return !Holds(root, key, {});
    } catch (const RegistryError&) {
      return false;  // a value that cannot be read may name anything: kept
    }
  }

 private:
  bool Holds(RootKey root, const std::string& key, const std::string& below) {
    const std::vector<std::string_view> steps = PathSteps(below);
    if (++keys_ > kMostKeys || !(classId_ ? ClassIdKeyMayStay(steps) : ProgIdKeyMayStay(steps))) return true;
    std::vector<std::string> subkeys;
    {
      RegistryAccess registry(platform_.registry, root);
      registry.SetAccess(rights::Read);
      if (!registry.OpenPath(below.empty() ? key : key + "\\" + below, false)) return true;  // unreadable: kept
      for (const std::string& name : registry.ListValues()) {
        const std::optional<std::string> text = registry.ReadTextValue(name);
        const bool empty = text && text->empty();
        if (!(classId_ ? ClassIdValueMayStay(steps, name, empty) : ProgIdValueMayStay(steps, name, empty))) return true;
        if (text && NamesSomethingKept(*text)) return true;
      }
      subkeys = registry.ListSubkeys();
    }
    for (const std::string& subkey : subkeys) {
      if (Holds(root, key, below.empty() ? subkey : below + "\\" + subkey)) return true;
    }
    return false;
  }

  bool NamesSomethingKept(const std::string& text) const {
    if (text.empty()) return false;
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
  const std::vector<std::string_view> steps = PathSteps(std::string_view(where.key).substr(*start));
  // A server key of a class ID: CLSID\{...}\InprocServer32 and the like.
  if (steps.size() == 3 && EqualsNoCase(steps[0], "CLSID") && !where.namesValue) {
    candidates_.insert({where.rootName, where.key.substr(0, where.key.size() - steps[2].size() - 1), true});
    return;
  }
  // A verb's command of a ProgID (Applications\<program> counts as one): <ProgID>\shell\<verb>\command.
  const std::size_t idSteps = steps.size() == 5 && EqualsNoCase(steps[0], "Applications") ? 2 : 1;
  if (steps.size() != idSteps + 3 || !EqualsNoCase(steps[idSteps], "shell") ||
      !EqualsNoCase(steps[idSteps + 2], "command")) {
    return;
  }
  if (idSteps == 1 && WindowsOwnClass(steps[0])) return;
  const std::size_t idLength = steps[0].size() + (idSteps == 2 ? steps[1].size() + 1 : 0);
  candidates_.insert({where.rootName, where.key.substr(0, *start + idLength), false});
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
