// Files-and-folders hive scanners (codes 3 to 5) and the registry walk they share with codes 19 to 21.
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Text.h"
#include "scan/ProblemNames.h"
#include "scan/PathTests.h"
#include "scan/PreorderWork.h"
#include "scan/Reasons.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr ProblemId kFileProblem = ProblemId::InvalidFileOrFolder;

// Keys that other categories examine, so the hive scans leave them (and everything below) alone.
constexpr std::array<std::string_view, 12> LocalMachineSkipList = {
    "SOFTWARE\\Classes\\CLSID",
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
    "SOFTWARE\\Classes\\TypeLib",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Software\\Microsoft\\Windows\\Help",
    "Software\\Microsoft\\Windows\\Html Help",
    "Software\\Classes\\Applications",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache",
};

constexpr std::array<std::string_view, 5> CurrentUserSkipList = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "AppEvents\\Schemes\\Apps",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU",
};

using SkipList = std::vector<std::string>;

constexpr std::string_view kSoftware = "Software\\";
constexpr std::string_view kClasses = "Software\\Classes\\";

// A listed key and the copies 64-bit Windows (and Wine) keep of it for 32-bit programs: every key
// under Software also under Software\Wow6432Node, and a class key also under
// Software\Classes\Wow6432Node, which Software\Wow6432Node\Classes leads to.
void AddWithMirrors(std::string_view entry, SkipList& list) {
  list.emplace_back(entry);
  if (!StartsWithNoCase(entry, kSoftware)) return;
  list.push_back(std::string(kSoftware) + "Wow6432Node\\" + std::string(entry.substr(kSoftware.size())));
  if (StartsWithNoCase(entry, kClasses)) {
    list.push_back(std::string(kClasses) + "Wow6432Node\\" + std::string(entry.substr(kClasses.size())));
  }
}

template <std::size_t N>
SkipList WithMirrors(const std::array<std::string_view, N>& entries) {
  SkipList list;
  for (const std::string_view entry : entries) AddWithMirrors(entry, list);
  return list;
}

// Only the two hive scans skip anything; the other callers walk their subtrees whole.
SkipList SkipListFor(CategoryCode category) {
  if (category == CategoryCode::LocalMachineFiles) {
    SkipList list = WithMirrors(LocalMachineSkipList);
    // A link to Software\Classes\Wow6432Node, which the walk reaches anyway: walked, every class of
    // the 32-bit view would be read, and listed, twice.
    list.emplace_back("Software\\Wow6432Node\\Classes");
    return list;
  }
  if (category == CategoryCode::CurrentUserFiles) return WithMirrors(CurrentUserSkipList);
  return {};
}

bool IsListed(const SkipList& list, const std::string& path) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& entry) { return EqualsNoCase(entry, path); });
}

std::string ChildPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

// A value the walk found naming something gone, kept until the walk hands it over in order.
struct FoundValue {
  std::string key;  // below the walk's root
  std::string name;
  std::string text;
  Phrase reason;
};

// A key whose subtree one thread walks: the keys nearest the walk's root are tasks of their own, so
// the walk's threads share the tree; below kTaskDepth a task walks its subtree alone.
struct WalkTask {
  std::string path;
  int depth;
};
constexpr int kTaskDepth = 3;

// One walk over one subtree, on kRegistryWalkThreads threads, listing its rows as one depth-first walk does.
// A subkey below kTaskDepth is opened through its parent's key, and each value is read with its name
// in one call: per key one open, one key-information query, one call per value and per subkey, one
// close. Each level of a task's recursion holds one open key and its subkey names, so what a thread
// holds at once grows with the depth, not the size, of the tree.
class TreeWalk {
  using Work = PreorderWork<WalkTask, FoundValue>;

 public:
  TreeWalk(TScanTaskThread& task, RootKey root, const std::string& drives, const std::string& filter, ProblemId problem)
      : task_(task),
        root_(root),
        rootName_(RootName(root)),
        drives_(drives),
        filter_(filter),
        problem_(problem),
        skip_(SkipListFor(task.Category())) {}

  void Visit(const std::string& path) {
    if (IsListed(skip_, path)) return;
    Work work([this](WalkTask& walkTask, Work::Output& out) { Run(walkTask, out); },
              [this](FoundValue& found) { Append(found); }, kRegistryWalkThreads);
    work.Run({path, 0});
  }

 private:
  // The value being tested: one per task, reused for every value of its keys.
  struct Scratch {
    std::string name;
    std::optional<std::string> text;
    std::vector<std::uint8_t> buffer;
  };

  void Run(const WalkTask& walkTask, Work::Output& out) {
    task_.CheckStop();  // before the open: after a stop, every task left ends at once
    RegistryAccess access(task_.Env().registry, root_);
    access.SetAccess(rights::Read);
    if (!access.OpenPath(walkTask.path, false)) return;
    Scratch scratch;
    if (walkTask.depth >= kTaskDepth) {
      VisitOpen(access, scratch, out.items);
      return;
    }
    const std::vector<std::string> subkeys = VisitKey(access, scratch, out.items);
    for (const std::string& name : subkeys) {
      std::string path = ChildPath(access.CurrentPath(), name);
      if (!IsListed(skip_, path)) out.subtasks.push_back({std::move(path), walkTask.depth + 1});
    }
  }

  // Tests the open key's values and gives its subkeys' names.
  std::vector<std::string> VisitKey(RegistryAccess& access, Scratch& scratch, std::vector<FoundValue>& found) {
    const std::string& path = access.CurrentPath();
    task_.ShowCurrentKey(path);
    const KeyInfo info = access.QueryKeyInfo();
    TestValues(access, path, info.valueCount, ReadersOf(rootName_, path), scratch, found);
    return access.ListSubkeys(info);
  }

  void VisitOpen(RegistryAccess& access, Scratch& scratch, std::vector<FoundValue>& found) {
    const std::vector<std::string> subkeys = VisitKey(access, scratch, found);
    const std::string& path = access.CurrentPath();
    for (const std::string& name : subkeys) {
      if (!skip_.empty() && IsListed(skip_, ChildPath(path, name))) continue;
      RegistryAccess child(task_.Env().registry, root_);
      child.SetAccess(rights::Read);
      if (child.OpenSubkeyOf(access, name)) VisitOpen(child, scratch, found);
    }
  }

  void TestValues(RegistryAccess& access, const std::string& path, std::uint32_t count, Readers readers,
                  Scratch& scratch, std::vector<FoundValue>& found) {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!access.ReadTextValueAt(i, scratch.name, scratch.text, scratch.buffer)) break;
      if (!scratch.text) continue;
      const std::optional<MissingPath> gone =
          MissingReference(task_.Env(), *scratch.text, filter_, drives_, true, readers);
      if (!gone) continue;
      found.push_back({path, scratch.name, *scratch.text, reason::Gone(*gone)});
    }
  }

  void Append(FoundValue& found) {
    task_.AppendValueProblem(problem_, rootName_, found.key, found.name, found.text, std::move(found.reason));
  }

  TScanTaskThread& task_;
  RootKey root_;
  std::string rootName_;
  const std::string& drives_;
  const std::string& filter_;
  const ProblemId problem_;
  SkipList skip_;
};

}  // namespace

void TScanTaskThread::ScanLocalMachineFiles() {
  WalkRegistryTree("HKEY_LOCAL_MACHINE", "Software", TestedDrives, "", kFileProblem);
}

void TScanTaskThread::ScanCurrentUserFiles() {
  WalkRegistryTree("HKEY_CURRENT_USER", "", TestedDrives, "", kFileProblem);
}

// Every hive under HKEY_USERS, each under one name: the current user's hive is the one
// HKEY_CURRENT_USER names, so it is walked, and its rows named, there (the duplicate check then keeps
// one row of an entry the user's own walk finds as well); its <SID>_Classes hive is that user's
// Software\Classes, walked with it. S-1-5-18 is another name of .DEFAULT.
void TScanTaskThread::ScanUsersFiles() {
  const std::vector<std::string> hives = RegistryAccess(Env().registry, RootKey::Users).ListSubkeys();
  const std::string sid = Env().system.CurrentUserSid();
  const bool hasUser = !sid.empty() && ContainsNoCase(hives, sid);
  const bool hasDefault = ContainsNoCase(hives, ".DEFAULT");
  for (const std::string& hive : hives) {
    if (hasUser && EqualsNoCase(hive, sid)) {
      WalkRegistryTree("HKEY_CURRENT_USER", "", TestedDrives, "", kFileProblem);
    } else if (!sid.empty() && EqualsNoCase(hive, sid + "_Classes")) {
      if (!hasUser) WalkRegistryTree("HKEY_CURRENT_USER", "Software\\Classes", TestedDrives, "", kFileProblem);
    } else if (!(hasDefault && EqualsNoCase(hive, "S-1-5-18"))) {
      WalkRegistryTree("HKEY_USERS", hive, TestedDrives, "", kFileProblem);
    }
  }
}

void TScanTaskThread::WalkRegistryTree(const std::string& rootName, const std::string& path, const std::string& drives,
                                       const std::string& extensionFilter, ProblemId problem) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  TreeWalk(*this, *root, drives, extensionFilter, problem).Visit(path);
}

}  // namespace tamrisk
