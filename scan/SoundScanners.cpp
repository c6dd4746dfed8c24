// Sound, type library, MRU, installer and application scanners (codes 18 to 22).
#include <algorithm>
#include <exception>
#include <optional>

#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr const char* kMruPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr const char* kMruProblem = "Missing MRU and History Lists file";
constexpr const char* kInstallerProblem = "Installer Refrence Issue";
constexpr const char* kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInstallerFoldersPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
constexpr const char* kArpCachePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr const char* kApplicationsPath = "Software\\Classes\\Applications";

// The scheme keys that name a sound file.
bool IsSchemeName(const std::string& name) {
  const std::string lower = AsciiLower(name);
  return lower == ".current" || lower == ".default" || lower == "utopia0";
}

bool ContainsNoCase(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& entry) { return EqualsNoCase(entry, name); });
}

// A history entry is tested only when it starts with a tested drive and its root ("C:\").
bool IsTestedDrivePath(const std::string& text, const std::string& drives) {
  return text.find(":\\") == 1 && AsciiUpper(drives).find(AsciiUpperChar(text.front())) != std::string::npos;
}

// The history stores file names without their extension; the extension subkeys say which to try.
bool FoundWithAnyExtension(FileSystem& files, const std::string& text, const std::vector<std::string>& extensions) {
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::string& extension) {
    return extension != "*" && files.PathIsFile(text + "." + extension);
  });
}

}  // namespace

void TScanTaskThread::ScanSoundEvents() {
  ScanSoundKey("HKEY_Current_User", "AppEvents\\Schemes\\Apps", "");
}

void TScanTaskThread::ScanSoundKey(const std::string& rootName, const std::string& path, const std::string& name) {
  const std::optional<RootKey> root = RootFromName(rootName);
  if (!root) return;
  CheckStop();
  RegistryAccess access(Env().registry, *root);
  const std::string keyPath = path + name;
  if (!access.OpenPath(keyPath, false)) return;
  const std::optional<std::string> sound = IsSchemeName(name) ? access.ReadTextValue("") : std::nullopt;
  if (sound) {
    ShowCurrentKey(keyPath);
    if (ReferenceMissing(Env(), *sound, "", TestedDrives, false)) {
      AppendProblem("Missing Sound File", RootName(*root) + "\\" + keyPath, *sound, rkDefaultValue);
    }
  }
  for (const std::string& subkey : access.ListSubkeys()) ScanSoundKey(rootName, keyPath + "\\", subkey);
}

void TScanTaskThread::ScanActiveX() {
  WalkRegistryTree("HKEY_CLASSES_ROOT", "TypeLib", TestedDrives, ".dll", "ActiveX Issue");
}

void TScanTaskThread::ScanMruLists() {
  std::vector<std::string> extensions;
  {
    RegistryAccess history(Env().registry, RootKey::CurrentUser);
    if (!history.OpenPath(kMruPath, false)) return;
    ShowCurrentKey(kMruPath);
    extensions = history.ListSubkeys();
    for (const std::string& name : history.ListValues()) {
      const std::optional<std::string> text = history.ReadTextValue(name);
      if (!text || !IsTestedDrivePath(*text, TestedDrives)) continue;
      if (FoundWithAnyExtension(Env().files, *text, extensions)) continue;
      AppendValueProblem(kMruProblem, std::string("HKEY_CURRENT_USER\\") + kMruPath, name, *text);
    }
  }
  for (const std::string& extension : extensions) {
    WalkRegistryTree("HKEY_CURRENT_USER", std::string(kMruPath) + "\\" + extension, TestedDrives, "", kMruProblem);
  }
}

void TScanTaskThread::ScanInstaller() {
  WalkRegistryTree("HKEY_LOCAL_MACHINE", kUninstallPath, TestedDrives, ".exe", kInstallerProblem);

  RegistryAccess machine(Env().registry, RootKey::LocalMachine);
  if (machine.OpenPath(kInstallerFoldersPath, false)) {
    ShowCurrentKey(kInstallerFoldersPath);
    for (const std::string& folder : machine.ListValues()) {
      if (ReferenceMissing(Env(), folder, "", TestedDrives, true)) {
        AppendProblem(kInstallerProblem, std::string("HKEY_LOCAL_MACHINE\\") + kInstallerFoldersPath, folder,
                      rkValueInColumn);
      }
    }
  }
  machine.ClosePath();
  machine.SetAccess(rights::Read);

  // Without the list of uninstall entries nothing shows that a cache entry is stale, and a repair
  // would delete every one of them: then the cache is not examined.
  if (!machine.OpenPath(kUninstallPath, false)) return;
  const std::vector<std::string> uninstallEntries = machine.ListSubkeys();
  machine.ClosePath();

  if (!machine.OpenPath(kArpCachePath, false)) return;
  ShowCurrentKey(kArpCachePath);
  for (const std::string& entry : machine.ListSubkeys()) {
    if (!ContainsNoCase(uninstallEntries, entry)) {
      AppendProblem(kInstallerProblem, std::string("HKEY_LOCAL_MACHINE\\") + kArpCachePath, entry, rkSubkeyInColumn);
    }
  }
}

void TScanTaskThread::ScanApplications() {
  try {
    RegistryAccess applications(Env().registry, RootKey::LocalMachine);
    if (!applications.OpenPath(kApplicationsPath, false)) return;
    std::string lastFound;
    for (const std::string& name : applications.ListSubkeys()) {
      const std::string appPath = std::string(kApplicationsPath) + "\\" + name;
      ShowCurrentKey(appPath);
      // Each call resumes after the key lastFound names and moves it on to the next match; the last
      // call, finding none, leaves it empty for the next application.
      const auto nextCommand = [&] {
        return FindNextValueInTree(Env(), RootKey::LocalMachine, appPath, "command", "", lastFound);
      };
      for (std::string command = nextCommand(); !command.empty(); command = nextCommand()) {
        CheckStop();
        if (ReferenceMissing(Env(), command, "", TestedDrives, false)) {
          AppendProblem("Open with Application Issue", "HKEY_LOCAL_MACHINE\\" + lastFound + "\\command", command,
                        rkDefaultValue);
        }
      }
    }
  } catch (const std::exception&) {
    // A failure ends this category alone; the scan goes on and the rows found so far stay.
  }
}

}  // namespace tamrisk
