// The checks of a program's App Paths and uninstall entries, which the machine's categories and the
// per-user one share: the same entries under HKEY_CURRENT_USER are a program installed for one user.
#pragma once

#include <string>

#include "platform/RegistryBackend.h"
#include "scan/ScanTask.h"

namespace tamrisk {

constexpr char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Each program's entry of the App Paths key whose default value names a missing program.
void ScanAppPathsKey(TScanTaskThread& task, RootKey root, const std::string& appPaths, ProblemId problem);

// Each uninstall entry by what its uninstaller says: one whose uninstaller is there is never listed;
// one whose uninstaller is gone and that names nothing else that is there is listed whole, so that
// no entry stays in the installed programs that nothing can remove; the values of any other are
// listed when they name a program that is gone.
void ScanUninstallEntries(TScanTaskThread& task, RootKey root, const std::string& uninstall, ProblemId problem);

// Each uninstall entry (but Windows Installer's, named by a product code) with no value below it.
void ScanEmptyUninstallEntries(TScanTaskThread& task, RootKey root, const std::string& uninstall, ProblemId problem);

}  // namespace tamrisk
