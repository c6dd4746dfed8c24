// Installer and Applications scanners (codes 21 and 22). The uninstall entries, the installer's folders
// and the add/remove cache are read in both registry views.
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "scan/ProblemNames.h"
#include "platform/Text.h"
#include "scan/PathTests.h"
#include "scan/ProgramEntries.h"
#include "scan/Reasons.h"
#include "scan/RegistryViews.h"
#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

constexpr ProblemId kInstallerProblem = ProblemId::InstallerReferenceIssue;
constexpr const char* kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInstallerFoldersPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
constexpr const char* kArpCachePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr const char* kApplicationsPath = "Software\\Classes\\Applications";

}  // namespace

namespace {

void ScanInstallerFolders(TScanTaskThread& task, const std::string& foldersPath) {
  RegistryAccess machine(task.Env().registry, RootKey::LocalMachine);
  machine.SetAccess(rights::Read);
  if (!machine.OpenPath(foldersPath, false)) return;
  task.ShowCurrentKey(foldersPath);
  for (const std::string& folder : machine.ListValues()) {
    if (const std::optional<MissingPath> gone = MissingReference(task.Env(), folder, "", task.TestedDrives, true,
                                                                 ReadersOf("HKEY_LOCAL_MACHINE", foldersPath))) {
      task.AppendProblem(kInstallerProblem, rkValueInColumn, {"HKEY_LOCAL_MACHINE", foldersPath, folder, true}, "",
                         reason::Gone(*gone));
    }
  }
}

// The uninstall entries of both views, or nullopt when a view's list cannot be read.
std::optional<std::vector<std::string>> UninstallEntries(const Platform& env) {
  std::vector<std::string> entries;
  const std::vector<std::string> views = SoftwareKeyInBothViews(env.registry, kUninstallPath);
  for (std::size_t i = 0; i < views.size(); ++i) {
    RegistryAccess machine(env.registry, RootKey::LocalMachine);
    machine.SetAccess(rights::Read);
    if (!machine.OpenPath(views[i], false)) {
      // The 32-bit view may well have none; the machine's own list is needed.
      if (i == 0) return std::nullopt;
      continue;
    }
    for (std::string& entry : machine.ListSubkeys()) entries.push_back(std::move(entry));
  }
  return entries;
}

// An add/remove cache entry is stale when no uninstall entry of either view has its name: the
// cache of one view may hold the programs of the other.
void ScanArpCache(TScanTaskThread& task, const std::string& cachePath, const std::vector<std::string>& entries) {
  RegistryAccess machine(task.Env().registry, RootKey::LocalMachine);
  machine.SetAccess(rights::Read);
  if (!machine.OpenPath(cachePath, false)) return;
  task.ShowCurrentKey(cachePath);
  for (const std::string& entry : machine.ListSubkeys()) {
    if (!ContainsNoCase(entries, entry)) {
      task.AppendProblem(kInstallerProblem, rkSubkeyInColumn,
                         {"HKEY_LOCAL_MACHINE", cachePath + "\\" + entry, "", false}, "",
                         reason::NoUninstallEntry(entry));
    }
  }
}

void ScanApplicationsKey(TScanTaskThread& task, const std::string& applicationsPath) {
  RegistryAccess applications(task.Env().registry, RootKey::LocalMachine);
  applications.SetAccess(rights::Read);
  if (!applications.OpenPath(applicationsPath, false)) return;
  std::string lastFound;
  for (const std::string& name : applications.ListSubkeys()) {
    const std::string appPath = applicationsPath + "\\" + name;
    task.ShowCurrentKey(appPath);
    // Each call resumes after the key lastFound names and moves it on to the next match; the last
    // call, finding none, leaves it empty for the next application.
    const auto nextCommand = [&] {
      return FindNextValueInTree(task.Env(), RootKey::LocalMachine, appPath, "command", "", lastFound);
    };
    for (std::string command = nextCommand(); !command.empty(); command = nextCommand()) {
      task.CheckStop();
      if (const std::optional<MissingPath> gone = MissingReference(task.Env(), command, "", task.TestedDrives, false,
                                                                   ReadersOf("HKEY_LOCAL_MACHINE", lastFound))) {
        task.AppendProblem(ProblemId::OpenWithApplicationIssue, rkDefaultValue,
                           {"HKEY_LOCAL_MACHINE", lastFound + "\\command", "", true}, command, reason::Gone(*gone));
      }
    }
  }
}

}  // namespace

void TScanTaskThread::ScanInstaller() {
  for (const std::string& path : SoftwareKeyInBothViews(Env().registry, kUninstallPath))
    ScanUninstallEntries(*this, RootKey::LocalMachine, path, kInstallerProblem);
  for (const std::string& path : SoftwareKeyInBothViews(Env().registry, kInstallerFoldersPath))
    ScanInstallerFolders(*this, path);

  // Without the list of uninstall entries nothing shows that a cache entry is stale, and a repair
  // would delete every one of them: then the cache is not examined.
  const std::optional<std::vector<std::string>> entries = UninstallEntries(Env());
  if (!entries) return;
  for (const std::string& path : SoftwareKeyInBothViews(Env().registry, kArpCachePath))
    ScanArpCache(*this, path, *entries);
}

// A failure ends the category like any other, so it is marked incomplete; the rows found before it
// stay.
void TScanTaskThread::ScanApplications() {
  for (const std::string& applicationsPath : SoftwareKeyInBothViews(Env().registry, kApplicationsPath)) {
    ScanApplicationsKey(*this, applicationsPath);
  }
}

}  // namespace tamrisk
