// Installer and Applications scanners (codes 21 and 22).
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/Reasons.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr const char* kInstallerProblem = "Installer Refrence Issue";
constexpr const char* kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInstallerFoldersPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
constexpr const char* kArpCachePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr const char* kApplicationsPath = "Software\\Classes\\Applications";

}  // namespace

void TScanTaskThread::ScanInstaller() {
  WalkRegistryTree("HKEY_LOCAL_MACHINE", kUninstallPath, TestedDrives, ".exe", kInstallerProblem);

  RegistryAccess machine(Env().registry, RootKey::LocalMachine);
  if (machine.OpenPath(kInstallerFoldersPath, false)) {
    ShowCurrentKey(kInstallerFoldersPath);
    for (const std::string& folder : machine.ListValues()) {
      if (const std::optional<MissingPath> gone = MissingReference(Env(), folder, "", TestedDrives, true)) {
        AppendProblem(kInstallerProblem, std::string("HKEY_LOCAL_MACHINE\\") + kInstallerFoldersPath, folder,
                      rkValueInColumn, reason::Gone(*gone));
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
      AppendProblem(kInstallerProblem, std::string("HKEY_LOCAL_MACHINE\\") + kArpCachePath, entry, rkSubkeyInColumn,
                    reason::NoUninstallEntry(entry));
    }
  }
}

// A failure ends the category like any other, so it is marked incomplete; the rows found before
// it stay.
void TScanTaskThread::ScanApplications() {
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
      if (const std::optional<MissingPath> gone = MissingReference(Env(), command, "", TestedDrives, false)) {
        AppendProblem("Open with Application Issue", "HKEY_LOCAL_MACHINE\\" + lastFound + "\\command", command,
                      rkDefaultValue, reason::Gone(*gone));
      }
    }
  }
}

}  // namespace tamrisk
