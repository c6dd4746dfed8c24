// Shell Extensions and Per-User Programs scanners (codes 26 and 27).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/PreorderWork.h"
#include "scan/ProgramEntries.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr ProblemId kShellExtensionProblem = ProblemId::ShellExtensionIssue;
constexpr char kOverlays[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";
constexpr std::string_view kWow64Node = "Wow6432Node";
// The handler lists Explorer reads below a class's shellex key.
constexpr const char* kHandlerLists[] = {"ContextMenuHandlers", "PropertySheetHandlers", "DragDropHandlers"};
// The folder background's menu, the one class whose handler lists are a level deeper.
constexpr char kDirectoryBackground[] = "Directory\\Background";

// "{...}": the form of a class ID.
bool IsClassId(std::string_view text) { return text.size() > 2 && text.front() == '{' && text.back() == '}'; }

// Where the registrations a handler's class ID may have are: a handler listed in the 32-bit view's
// classes is loaded by 32-bit programs alone; the keys Windows shares between the views hold both
// kinds of handler, so there either view's registration keeps it.
class ClassRegistrations {
 public:
  explicit ClassRegistrations(RegistryBackend& registry) : views_(ClassKeyInBothViews(registry, "CLSID")) {}

  // The class keys, below HKEY_CLASSES_ROOT, that a handler of that view may name. Where the 32-bit
  // copy is a link to the 64-bit key it is left out, and that key is the 32-bit view's as well.
  std::vector<std::string> For(bool narrowView) const {
    return narrowView ? std::vector<std::string>{views_.back()} : views_;
  }

 private:
  std::vector<std::string> views_;
};

class ShellExtensionScan {
 public:
  explicit ShellExtensionScan(TScanTaskThread& task) : task_(task), classes_(task.Env().registry) {}

  // Every handler list of every class, in both views of the classes. Few classes have a shellex key
  // and each test is a round trip to the registry, so the walk's threads look for them by runs of
  // the class list, while this thread reads the lists of the ones found, in the list's order.
  void ScanClasses() {
    for (std::string view : ClassKeyInBothViews(task_.Env().registry, "")) {
      if (!view.empty() && view.back() == '\\') view.pop_back();  // the 32-bit view's root, "Wow6432Node"
      const bool narrow = !view.empty();
      RegistryAccess registry(task_.Env().registry, RootKey::ClassesRoot);
      registry.SetAccess(rights::Read);
      if (narrow && !registry.OpenPath(view, false)) continue;
      const std::uint32_t count = registry.QueryKeyInfo().subkeyCount;
      Work work([this, &view](ClassRun& run, Work::Output& out) { FindShellexKeys(view, run, out); },
                [this, narrow](std::string& shellex) { ScanHandlerLists(shellex, narrow); }, kRegistryWalkThreads);
      work.Run({0, count});
      std::string background = (narrow ? view + "\\" : "") + kDirectoryBackground + "\\shellex";
      if (registry.HasSubkey("\\" + background)) ScanHandlerLists(background, narrow);
    }
  }

  // The icon overlays Explorer loads, each a key whose default value is its class ID.
  void ScanOverlays() {
    for (const std::string& path : SoftwareKeyInBothViews(task_.Env().registry, kOverlays)) {
      ScanHandlerList(RootKey::LocalMachine, path, StartsWithNoCase(path, "Software\\Wow6432Node\\"));
    }
  }

 private:
  // Runs of the classes, by their place in a view's list of subkeys: one task for the walk's threads each.
  struct ClassRun {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };
  using Work = PreorderWork<ClassRun, std::string>;
  static constexpr std::uint32_t kClassesPerRun = 64;

  // The shellex keys of the run's classes ("<view>\<class>\shellex"), in list order; a longer run
  // is split into runs of its own. A class added or removed during the scan may shift a name across
  // two runs; the next scan sees it.
  void FindShellexKeys(const std::string& view, const ClassRun& run, Work::Output& out) {
    if (run.count > kClassesPerRun) {
      for (std::uint32_t first = run.first; first < run.first + run.count; first += kClassesPerRun)
        out.subtasks.push_back({first, std::min(kClassesPerRun, run.first + run.count - first)});
      return;
    }
    task_.CheckStop();
    RegistryBackend& backend = task_.Env().registry;
    const KeyHandle root = RootHandle(RootKey::ClassesRoot);
    std::optional<BackendKey> opened;
    if (!view.empty()) {
      opened.emplace(backend, root, view, rights::Read);
      if (opened->Status() != status::Success) return;
    }
    const KeyHandle classes = opened ? opened->get() : root;
    const std::string prefix = view.empty() ? "" : view + "\\";
    std::string name;
    for (std::uint32_t i = run.first; i < run.first + run.count; ++i) {
      if (backend.EnumKey(classes, i, name) != status::Success) break;
      if (view.empty() && EqualsNoCase(name, kWow64Node)) continue;
      if (BackendKey(backend, classes, name + "\\shellex", rights::QueryEnumerate).Status() == status::Success)
        out.items.push_back(prefix + name + "\\shellex");
    }
  }

  void ScanHandlerLists(const std::string& shellex, bool narrow) {
    for (const char* list : kHandlerLists) ScanHandlerList(RootKey::ClassesRoot, shellex + "\\" + list, narrow);
    ScanInterfaceHandlers(shellex, narrow);
  }

  // The handlers Explorer asks a type for by interface (thumbnails, previews, properties): a key
  // named by the interface's ID whose default value is the handler's class ID.
  void ScanInterfaceHandlers(const std::string& shellex, bool narrow) {
    RegistryAccess registry(task_.Env().registry, RootKey::ClassesRoot);
    registry.SetAccess(rights::Read);
    if (!registry.OpenPath(shellex, false)) return;
    for (const std::string& name : registry.ListSubkeys()) {
      task_.CheckStop();
      if (!IsClassId(name)) continue;
      const std::string path = shellex + "\\" + name;
      RegistryAccess handler(task_.Env().registry, RootKey::ClassesRoot);
      handler.SetAccess(rights::Read);
      if (!handler.OpenPath(path, false)) continue;
      const std::optional<std::string> classId = handler.ReadTextValue("");
      if (!classId || !IsClassId(*classId)) continue;
      if (const std::optional<Phrase> why = WhyUnusable(*classId, narrow)) {
        task_.AppendProblem(kShellExtensionProblem, rkKey, {RootName(RootKey::ClassesRoot), path, "", false}, *classId,
                            *why);
      }
    }
  }

  // Each handler key of the list: the class ID is its default value, or else its own name.
  void ScanHandlerList(RootKey root, const std::string& list, bool narrow) {
    RegistryAccess registry(task_.Env().registry, root);
    registry.SetAccess(rights::Read);
    if (!registry.OpenPath(list, false)) return;
    task_.ShowCurrentKey(list);
    for (const std::string& name : registry.ListSubkeys()) {
      task_.CheckStop();
      const std::string path = list + "\\" + name;
      RegistryAccess handler(task_.Env().registry, root);
      handler.SetAccess(rights::Read);
      if (!handler.OpenPath(path, false)) continue;
      const std::optional<std::string> text = handler.ReadTextValue("");
      const std::string classId = text && IsClassId(*text) ? *text : IsClassId(name) ? name : "";
      if (classId.empty()) continue;  // names no class: a disabled entry, or one of another form
      if (const std::optional<Phrase> why = WhyUnusable(classId, narrow)) {
        task_.AppendProblem(kShellExtensionProblem, rkKey, {RootName(root), path, "", false}, classId, *why);
      }
    }
  }

  // Why no program can load the class: unregistered in the handler's view, or its server file gone.
  std::optional<Phrase> WhyUnusable(const std::string& classId, bool narrow) {
    bool registered = false;
    std::optional<MissingPath> gone;
    for (const std::string& clsid : classes_.For(narrow)) {
      RegistryAccess registry(task_.Env().registry, RootKey::ClassesRoot);
      registry.SetAccess(rights::Read);
      const std::string classKey = clsid + "\\" + classId;
      if (!registry.OpenPath(classKey, false)) continue;
      registered = true;
      if (!registry.OpenPath("InprocServer32", false)) return std::nullopt;  // served otherwise
      const std::optional<std::string> server = registry.ReadTextValue("");
      if (!server) return std::nullopt;
      gone = MissingReference(task_.Env(), *server, "", task_.TestedDrives, false,
                              ReadersOf("HKEY_CLASSES_ROOT", classKey));
      // A bare file name, a path on another drive, or a file that is there: the class can be loaded.
      if (!gone || InWindowsFolder(task_.Env(), gone->path)) return std::nullopt;
    }
    if (!registered) return reason::ClassNotRegistered(classId);
    return reason::Gone(*gone);
  }

  TScanTaskThread& task_;
  ClassRegistrations classes_;
};

}  // namespace

void TScanTaskThread::ScanShellExtensions() {
  ShellExtensionScan scan(*this);
  scan.ScanClasses();
  scan.ScanOverlays();
}

// A program installed for one user writes its App Paths and uninstall entries under
// HKEY_CURRENT_USER, and gets the checks of the machine's: the program of an App Paths entry, an
// uninstall entry with nothing in it, and the programs its values name.
void TScanTaskThread::ScanPerUserPrograms() {
  const ProblemId problem = ProblemId::PerUserProgramIssue;
  ScanAppPathsKey(*this, RootKey::CurrentUser, kAppPathsKey, problem);
  ScanEmptyUninstallEntries(*this, RootKey::CurrentUser, kUninstallKey, problem);
  ScanUninstallEntries(*this, RootKey::CurrentUser, kUninstallKey, problem);
}

}  // namespace tamrisk
