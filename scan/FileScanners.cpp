// Files-and-folders hive scanners (codes 3 to 5) and the registry walk they share with codes 19 to 21.
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr const char* kLocalMachineCaption = "Scanning Files and Folders - HKEY_LOCAL_MACHINE...";
constexpr const char* kCurrentUserCaption = "Scanning Files and Folders - HKEY_CURRENT_USER...";
constexpr const char* kUsersCaption = "Scanning Files and Folders - HKEY_USERS...";
constexpr const char* kFileProblem = "Invalid File or Folder";

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

constexpr std::array<std::string_view, 4> CurrentUserSkipList = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "AppEvents\\Schemes\\Apps",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU",
};

using SkipList = std::vector<std::string_view>;

// Only the two hive scans skip anything; the other callers walk their subtrees whole.
SkipList SkipListForCaption(const std::string& caption) {
  if (caption == kLocalMachineCaption) return {LocalMachineSkipList.begin(), LocalMachineSkipList.end()};
  if (caption == kCurrentUserCaption) return {CurrentUserSkipList.begin(), CurrentUserSkipList.end()};
  return {};
}

bool IsListed(const SkipList& list, const std::string& path) {
  return std::any_of(list.begin(), list.end(), [&](std::string_view entry) { return EqualsNoCase(entry, path); });
}

std::string ChildPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

bool IsTextKind(DataKind kind) { return kind == DataKind::String || kind == DataKind::ExpandString; }

// The text of a string or expandable string value, unexpanded; nothing for other kinds. One query
// gives type and data together (a registry round trip fewer per value than asking the kind first);
// only when it fails is the value asked again the plain way, so that an unreadable string value
// still raises its read error and any other kind is still passed over.
std::optional<std::string> StringData(RegistryAccess& access, const std::string& name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (access.ReadRaw(name, type, data)) {
    if (type != regtype::String && type != regtype::ExpandString) return std::nullopt;
    return TextFromUtf16Bytes(data);
  }
  if (!IsTextKind(access.ValueKind(name))) return std::nullopt;
  return access.ReadText(name);
}

// One walk over one subtree. Each level of the recursion holds its own registry instance (one open
// key) and its subkey names, so what is held at once grows with the depth, not the size, of the tree.
class TreeWalk {
 public:
  TreeWalk(TScanTaskThread& task, RootKey root, const std::string& drives, const std::string& filter,
           const std::string& problem)
      : task_(task),
        root_(root),
        rootName_(RootName(root)),
        drives_(drives),
        filter_(filter),
        problem_(problem),
        skip_(SkipListForCaption(task.TaskCaption())) {}

  void Visit(const std::string& path) {
    if (IsListed(skip_, path)) return;
    RegistryAccess access(task_.Env().registry, root_);
    access.SetAccess(rights::Read);
    if (!access.OpenPath(path, false)) return;
    task_.ShowCurrentKey(path);
    TestValues(access, path);
    const std::vector<std::string> subkeys = access.ListSubkeys();
    for (const std::string& name : subkeys) Visit(ChildPath(path, name));
  }

 private:
  void TestValues(RegistryAccess& access, const std::string& path) {
    for (const std::string& name : access.ListValues()) {
      const std::optional<std::string> data = StringData(access, name);
      if (!data) continue;
      const std::string& text = *data;
      if (!ReferenceMissing(task_.Env(), text, filter_, drives_, true)) continue;
      const std::string key = rootName_ + "\\" + path;
      // A name holding "\" would be cut at its last "\" in a key + name row, naming another value.
      if (name.find('\\') != std::string::npos) {
        task_.AppendProblem(problem_, key, name, rkValueInColumn);
      } else {
        task_.AppendProblem(problem_, key + "\\" + name, text, rkValueInPath);
      }
    }
  }

  TScanTaskThread& task_;
  RootKey root_;
  std::string rootName_;
  const std::string& drives_;
  const std::string& filter_;
  const std::string& problem_;
  SkipList skip_;
};

}  // namespace

void TScanTaskThread::ScanLocalMachineFiles() {
  ShowTask(kLocalMachineCaption);
  WalkRegistryTree("HKEY_LOCAL_MACHINE", "Software", TestedDrives, "", kFileProblem);
}

void TScanTaskThread::ScanCurrentUserFiles() {
  ShowTask(kCurrentUserCaption);
  WalkRegistryTree("HKEY_CURRENT_USER", "", TestedDrives, "", kFileProblem);
}

void TScanTaskThread::ScanUsersFiles() {
  ShowTask(kUsersCaption);
  WalkRegistryTree("HKEY_USERS", "", TestedDrives, "", kFileProblem);
}

void TScanTaskThread::WalkRegistryTree(const std::string& rootName, const std::string& path, const std::string& drives,
                                       const std::string& extensionFilter, const std::string& problem) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  TreeWalk(*this, *root, drives, extensionFilter, problem).Visit(path);
}

}  // namespace tamrisk
