// Start Menu and Shortcuts scanners (codes 16 and 17): the Programs menu's saved order and the
// shortcut files of the shell folders.
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/Reasons.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

// Explorer kept the saved order of the Programs menu under a different key in each generation.
std::string StartMenuOrderKey(int versionCode) {
  const std::string base = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\";
  if (versionCode == 9 || versionCode == 10) return base + "Start Menu2\\Programs";
  if (versionCode == 7 || versionCode == 8) return base + "Start Menu\\Programs";
  return base + "Start Menu\\&Programs";
}

std::string WithTrailingBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

bool IsFolder(const FileEntry& entry) { return (entry.attributes & fileattr::Directory) != 0; }
bool IsLink(const FileEntry& entry) { return (entry.attributes & fileattr::ReparsePoint) != 0; }

// Names of the direct subfolders of one shell folder; nothing when the folder is unknown.
void AddSubfolderNames(const Platform& env, int csidl, std::vector<std::string>& names) {
  const std::string folder = env.system.SpecialFolder(csidl);
  if (folder.empty()) return;
  for (const FileEntry& entry : env.files.ListFolder(WithTrailingBackslash(folder) + "*")) {
    if (IsFolder(entry)) names.push_back(entry.name);
  }
}

// Whether neither Programs folder has a folder of that name, as the system says: a folder that
// cannot be listed or looked into does not count as empty.
bool NoProgramsFolder(const Platform& env, const std::string& name) {
  for (const int csidl : {csidl::Programs, csidl::CommonPrograms}) {
    const std::string folder = env.system.SpecialFolder(csidl);
    if (folder.empty()) continue;
    const PathKind kind = env.files.KindOf(WithTrailingBackslash(folder) + name);
    if (kind == PathKind::Folder || kind == PathKind::Unknown) return false;
  }
  return true;
}

bool IsShortcutName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string::npos && AsciiLower(name.substr(dot)) == ".lnk";
}

bool OnTestedDrive(const std::string& path, const std::string& drives) {
  return !path.empty() && AsciiUpper(drives).find(AsciiUpperChar(path.front())) != std::string::npos;
}

bool HasDriveRoot(const std::string& path) { return path.size() >= 3 && path[1] == ':' && path[2] == '\\'; }

}  // namespace

void TScanTaskThread::ScanStartMenu() {
  std::vector<std::string> folders;
  AddSubfolderNames(Env(), csidl::Programs, folders);
  AddSubfolderNames(Env(), csidl::CommonPrograms, folders);

  const std::string orderKey = StartMenuOrderKey(WindowsVersionCode(Env()));
  RegistryAccess menu(Env().registry, RootKey::CurrentUser);
  if (!menu.OpenPath(orderKey, false)) return;
  for (const std::string& name : menu.ListSubkeys()) {
    ShowCurrentKey(orderKey + "\\" + name);
    if (!ContainsNoCase(folders, name) && NoProgramsFolder(Env(), name)) {
      AppendProblem(ProblemId::OldStartMenuKey, rkSubkeyInColumn,
                    {"HKEY_CURRENT_USER", orderKey + "\\" + name, "", false}, "", reason::NoProgramsFolder(name));
    }
  }
}

void TScanTaskThread::ScanShortcuts() {
  for (const int folder : {csidl::CommonStartMenu, csidl::CommonDesktop, csidl::AppData, csidl::Recent,
                           csidl::StartMenu, csidl::Desktop}) {
    const std::string path = Env().system.SpecialFolder(folder);
    if (!path.empty()) ScanShortcutFolder(path);
  }
}

void TScanTaskThread::ScanShortcutFolder(const std::string& folder) {
  const std::string base = WithTrailingBackslash(folder);
  for (const FileEntry& entry : Env().files.ListFolder(base + "*")) {
    CheckStop();
    const std::string path = base + entry.name;
    if (IsFolder(entry)) {
      // A junction or symbolic link can lead back to an ancestor (under Wine the desktop reaches the
      // whole Unix tree through Z:), so the walk never follows one.
      if (!IsLink(entry)) ScanShortcutFolder(path);
      continue;
    }
    if (!IsShortcutName(entry.name)) continue;
    ShowCurrentKey(path);
    const std::string target = GetShortcutTarget(path);
    if (!OnTestedDrive(target, TestedDrives)) continue;
    if (!HasDriveRoot(target)) continue;
    if (!Env().files.PathIsFile(target) && !Env().files.PathIsFolder(target) &&
        Env().files.KindOf(target) != PathKind::Unknown) {
      AppendProblem(ProblemId::MissingShortcutReference, rkShortcutFile, {"", path, "", false}, target,
                    reason::ShortcutTargetNotFound(target));
    }
  }
}

// The file system's shell-link reader initialises COM on the calling thread (the scan thread).
std::string TScanTaskThread::GetShortcutTarget(const std::string& shortcutPath) {
  return Env().files.ShortcutTarget(shortcutPath);
}

}  // namespace tamrisk
