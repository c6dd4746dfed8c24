// Scanners of the class registrations: File Extensions, Custom Controls (class IDs) and Invalid ActiveX
// (type libraries), codes 12, 13 and 19.
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/PreorderWork.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr char kMachineClasses[] = "Software\\Classes";
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

// A file type of the machine's classes that says nothing: no subkeys, and an empty default text as
// its only value. A key without a usable default text is not judged.
bool IsUnusedClass(RegistryAccess& registry) {
  const KeyInfo info = registry.QueryKeyInfo();
  if (info.subkeyCount != 0 || info.valueCount != 1) return false;
  const std::optional<std::string> text = registry.ReadTextValue("");
  return text && text->empty();
}

// Remembers the answers of the two existence tests for one walk. Class registrations name the same
// servers and folders thousands of times, and each answer costs a file-system call; a file that
// appears or goes during the walk is judged as it was first seen. The walk's threads share it.
class RememberedFileTests final : public ForwardingFileSystem {
 public:
  explicit RememberedFileTests(FileSystem& files) : ForwardingFileSystem(files) {}

  bool PathIsFile(const std::string& path) override {
    return Remember(isFile_, path, [&] { return Inner().PathIsFile(path); });
  }
  bool PathIsFolder(const std::string& path) override {
    return Remember(isFolder_, path, [&] { return Inner().PathIsFolder(path); });
  }

 private:
  template <typename Ask>
  bool Remember(std::unordered_map<std::string, bool>& answers, const std::string& path, Ask ask) {
    std::lock_guard lock(mutex_);
    const auto found = answers.find(path);
    if (found != answers.end()) return found->second;
    const bool answer = ask();
    answers.emplace(path, answer);
    return answer;
  }

  std::mutex mutex_;
  std::unordered_map<std::string, bool> isFile_;
  std::unordered_map<std::string, bool> isFolder_;
};

// A key whose default text names something gone, kept until the walk lists it in order.
struct ServerGone {
  std::string path;
  std::string server;
  Phrase reason;
};

// The class ID walk: every key of the subtree, each before its subkeys, subkeys in list order. Each
// key is a task of its own for the walk's threads (PreorderWork keeps that order), opened from the
// root and closed before its subkeys are.
class ClassKeyWalk {
  using Work = PreorderWork<std::string, ServerGone>;

 public:
  ClassKeyWalk(TScanTaskThread& task, const Platform& platform, RootKey root)
      : task_(task), platform_(platform), root_(root), rootName_(RootName(root)) {}

  void Visit(const std::string& path) {
    Work work([this](std::string& key, Work::Output& out) { VisitKey(key, out); },
              [this](ServerGone& gone) { Append(gone); }, kRegistryWalkThreads);
    work.Run(path);
  }

 private:
  void VisitKey(const std::string& path, Work::Output& out) {
    task_.CheckStop();  // before the open: after a stop, every task left ends at once
    RegistryAccess registry(platform_.registry, root_);
    registry.SetAccess(rights::Read);
    if (!registry.OpenPath(path, false)) return;  // the key and everything below it are skipped
    task_.ShowCurrentKey(path);
    // The row names the key that holds the reference (a server key, say), not the whole class.
    const std::optional<std::string> server = registry.ReadTextValue("");
    if (const std::optional<MissingPath> gone =
            server ? MissingReference(platform_, *server, "", task_.TestedDrives, false, ReadersOf(rootName_, path))
                   : std::nullopt) {
      out.items.push_back({path, *server, reason::Gone(*gone)});
    }
    for (const std::string& name : registry.ListSubkeys()) out.subtasks.push_back(path + "\\" + name);
  }

  void Append(ServerGone& gone) {
    task_.AppendProblem(ProblemId::CustomControlsIssue, rkKey, {rootName_, std::move(gone.path), "", false},
                        gone.server, std::move(gone.reason));
  }

  TScanTaskThread& task_;
  const Platform& platform_;  // the worker's, with remembered file tests
  RootKey root_;
  std::string rootName_;
};

}  // namespace

void TScanTaskThread::ScanFileExtensions() {
  {
    RegistryAccess registry(Env().registry, RootKey::LocalMachine);
    registry.SetAccess(rights::Read);
    if (registry.OpenPath(kMachineClasses, false)) {
      for (const std::string& name : registry.ListSubkeys()) {
        const std::string path = std::string(kMachineClasses) + "\\" + name;
        ShowCurrentKey(path);
        if (!registry.OpenPath(name, false)) continue;
        const bool unused = IsUnusedClass(registry);
        // Back to the classes key for the next name; without it the pass cannot go on.
        registry.ClosePath();
        const bool returned = registry.OpenPath(kMachineClasses, false);
        if (unused) {
          AppendProblem(ProblemId::UnusedFileExtension, rkSubkeyInColumn, {"HKEY_LOCAL_MACHINE", path, "", false}, "",
                        reason::OnlyAnEmptyDefault());
        }
        if (!returned) break;
      }
    }
  }

  RegistryAccess registry(Env().registry, RootKey::CurrentUser);
  registry.SetAccess(rights::Read);
  if (!registry.OpenPath(kFileExts, false)) return;
  RegistryAccess classes(Env().registry, RootKey::ClassesRoot);
  for (const std::string& name : registry.ListSubkeys()) {
    ShowCurrentKey(std::string(kFileExts) + "\\" + name);
    if (!classes.HasSubkey(name)) {
      AppendProblem(ProblemId::UnusedFileExtension, rkSubkeyInColumn,
                    {"HKEY_CURRENT_USER", std::string(kFileExts) + "\\" + name, "", false}, "",
                    reason::NotInClassesRoot(name));
    }
  }
}

// 32-bit programs register their classes in a copy of CLSID of their own.
void TScanTaskThread::ScanCustomControls() {
  for (const std::string& path : ClassKeyInBothViews(Env().registry, "CLSID")) ScanClassKey("HKEY_CLASSES_ROOT", path);
}

void TScanTaskThread::ScanClassKey(const std::string& rootName, const std::string& path) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  RememberedFileTests files(Env().files);
  const Platform platform{Env().registry, files, Env().system, Env().ini, Env().shell};
  ClassKeyWalk walk(*this, platform, *root);
  walk.Visit(path);
}

void TScanTaskThread::ScanActiveX() {
  WalkRegistryTree("HKEY_CLASSES_ROOT", "TypeLib", TestedDrives, ".dll", ProblemId::ActiveXIssue);
}

}  // namespace tamrisk
