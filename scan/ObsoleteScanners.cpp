// Obsolete software, service, start menu and shortcut scanners (codes 14 to 17).
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr const char* kServicesPath = "SYSTEM\\CurrentControlSet\\Services";

// Subkeys of Software (the user's and the machine's) that Windows, or Wine, makes and reads itself.
// Several are empty on a new system, yet they are no program's leftovers: code 14 never offers them.
constexpr std::array<std::string_view, 14> kSystemSoftwareKeys = {
    "Classes",                  // file types and COM classes; the user's own are merged into HKEY_CLASSES_ROOT
    "Clients",                  // the mail, browser and media programs Windows offers as defaults
    "Microsoft",                // Windows itself and its components
    "Policies",                 // group policy settings: made empty at setup, read by Windows
    "RegisteredApplications",   // programs' capabilities listed for Default Programs (Vista and later)
    "Registered Applications",  // the same list as Wine names it
    "Wow6432Node",              // the 32-bit programs' view of Software on 64-bit Windows and in Wine
    "ODBC",                     // the ODBC driver manager's drivers and data sources
    "Intel",                    // made by the Intel components that Windows setup installs
    "AppDataLow",               // the user's key that low-integrity programs may write (Vista and later)
    "Program Groups",           // Windows 2000 and XP: the converted Program Manager groups
    "Secure",                   // Windows 2000 and XP: made empty at setup
    "Windows 3.1 Migration Status",  // Windows 2000 and XP: marks Windows 3.1 settings as taken over
    "Wine",                     // Wine's own settings
};

bool IsSystemSoftwareKey(const std::string& name) {
  return std::any_of(kSystemSoftwareKeys.begin(), kSystemSoftwareKeys.end(),
                     [&](std::string_view owned) { return EqualsNoCase(owned, name); });
}

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

// Opened with the same rights the count and a later repair use.
bool KeyOpens(const Platform& env, RootKey root, const std::string& path) {
  RegistryAccess access(env.registry, root);
  return access.OpenPath(path, false);
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

bool ContainsNoCase(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& entry) { return EqualsNoCase(entry, name); });
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

void TScanTaskThread::ScanObsoleteSoftware() {
  ScanSoftwareSubkeys("HKEY_CURRENT_USER", "Software");
  ScanSoftwareSubkeys("HKEY_LOCAL_MACHINE", "Software");
}

void TScanTaskThread::ScanSoftwareSubkeys(const std::string& rootName, const std::string& path) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  RegistryAccess software(Env().registry, *root);
  if (!software.OpenPath(path, false)) return;
  for (const std::string& name : software.ListSubkeys()) {
    const std::string subkey = path + "\\" + name;
    ShowCurrentKey(subkey);
    if (IsSystemSoftwareKey(name)) continue;
    // A key this program cannot open would count as empty, yet its content could not be backed up
    // before the repair deletes it: leave it alone.
    if (!KeyOpens(Env(), *root, subkey)) continue;
    if (CountKeyValues(Env(), *root, subkey, 1, true, true) < 1) {
      AppendProblem("Obsolete Software Key", RootName(*root) + "\\" + path, name, rkSubkeyInColumn);
    }
  }
}

void TScanTaskThread::ScanWindowsServices() {
  RegistryAccess services(Env().registry, RootKey::LocalMachine);
  if (!services.OpenPath(kServicesPath, false)) return;
  for (const std::string& name : services.ListSubkeys()) {
    const std::string path = std::string(kServicesPath) + "\\" + name;
    services.ClosePath();
    if (!services.OpenPath(path, false)) continue;
    ShowCurrentKey(path);
    const std::optional<std::string> image = services.ReadTextValue("ImagePath");
    if (image && ReferenceMissing(Env(), *image, "", TestedDrives, true)) {
      AppendProblem("Windows Service Issue", "HKEY_LOCAL_MACHINE\\" + path + "\\ImagePath", *image, rkValueInPath);
    }
  }
}

void TScanTaskThread::ScanStartMenu() {
  std::vector<std::string> folders;
  AddSubfolderNames(Env(), csidl::Programs, folders);
  AddSubfolderNames(Env(), csidl::CommonPrograms, folders);

  const std::string orderKey = StartMenuOrderKey(WindowsVersionCode(Env()));
  RegistryAccess menu(Env().registry, RootKey::CurrentUser);
  if (!menu.OpenPath(orderKey, false)) return;
  for (const std::string& name : menu.ListSubkeys()) {
    ShowCurrentKey(orderKey + "\\" + name);
    if (!ContainsNoCase(folders, name)) {
      AppendProblem("Old Start Menu Key", "HKEY_CURRENT_USER\\" + orderKey, name, rkSubkeyInColumn);
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
    if (!Env().files.PathIsFile(target) && !Env().files.PathIsFolder(target)) {
      AppendProblem("Missing ShortCut reference", path, target, rkShortcutFile);
    }
  }
}

// The file system's shell-link reader initialises COM on the calling thread (the scan thread).
std::string TScanTaskThread::GetShortcutTarget(const std::string& shortcutPath) {
  return Env().files.ShortcutTarget(shortcutPath);
}

}  // namespace tamrisk
