#include "scan/Categories.h"

#include <algorithm>

#include "scan/ScanTask.h"

namespace tamrisk {
namespace {

template <void (TScanTaskThread::*scanner)()>
void Run(TScanTaskThread& task) {
  (task.*scanner)();
}

using C = CategoryCode;
using T = TScanTaskThread;

// Weights: medians of each category scanned alone on a real user's hive, less the program's start;
// the hive walks take most of a scan, and every other category about 10 ms.
constexpr CategoryRow kRows[] = {
    {C::MyComputers, std::nullopt, "My Computers", nullptr, nullptr, 0, false, "1"},
    {C::FilesAndFolders, C::MyComputers, "Files and Folders", nullptr, nullptr, 0, false, "2"},
    {C::LocalMachineFiles, C::FilesAndFolders, "Files and Folders - HKEY_LOCAL_MACHINE",
     "Scanning Files and Folders - HKEY_LOCAL_MACHINE...", Run<&T::ScanLocalMachineFiles>, 61, true, "3"},
    {C::CurrentUserFiles, C::FilesAndFolders, "Files and Folders - HKEY_CURRENT_USER",
     "Scanning Files and Folders - HKEY_CURRENT_USER...", Run<&T::ScanCurrentUserFiles>, 8, true, "4"},
    {C::UsersFiles, C::FilesAndFolders, "Files and Folders - HKEY_USERS", "Scanning Files and Folders - HKEY_USERS...",
     Run<&T::ScanUsersFiles>, 32, true, "5"},
    {C::SoftwareLocations, C::MyComputers, "Software Locations", "Scanning Software Locations...",
     Run<&T::ScanSoftwareLocations>, 1, false, "6"},
    {C::WindowsFonts, C::MyComputers, "Windows Fonts", "Scanning Windows Fonts...", Run<&T::ScanWindowsFonts>, 1, false,
     "7"},
    {C::HelpFiles, C::MyComputers, "Invalid Help Files", "Scanning Invalid Help Files...", Run<&T::ScanHelpFiles>, 1,
     false, "8"},
    {C::SharedDlls, C::MyComputers, "Shared DLLs", "Scanning Shared DLLs...", Run<&T::ScanSharedDlls>, 1, false, "9"},
    {C::StartupPrograms, C::MyComputers, "Startup Programs", "Scanning Startup Programs...",
     Run<&T::ScanStartupPrograms>, 1, false, "10"},
    {C::AddRemovePrograms, C::MyComputers, "Add/Remove Programs", "Scanning Add/Remove Programs...",
     Run<&T::ScanAddRemovePrograms>, 1, false, "11"},
    {C::PerUserPrograms, C::MyComputers, "Per-User Programs", "Scanning Per-User Programs...",
     Run<&T::ScanPerUserPrograms>, 1, false, "27"},
    {C::FileExtensions, C::MyComputers, "File Extensions", "Scanning File Extensions...", Run<&T::ScanFileExtensions>,
     13, false, "12"},
    {C::CustomControls, C::MyComputers, "Custom Controls", "Scanning Custom Controls...", Run<&T::ScanCustomControls>,
     10, false, "13"},
    {C::ShellExtensions, C::MyComputers, "Shell Extensions", "Scanning Shell Extensions...",
     Run<&T::ScanShellExtensions>, 1, false, "26"},
    // Its caption is the software locations' own: both look through the programs' Software keys.
    {C::ObsoleteSoftware, C::MyComputers, "Obsolete Software", "Scanning Software Locations...",
     Run<&T::ScanObsoleteSoftware>, 1, false, "14"},
    {C::WindowsServices, C::MyComputers, "Windows Services", "Scanning Windows Services...",
     Run<&T::ScanWindowsServices>, 1, false, "15"},
    {C::FirewallRules, C::MyComputers, "Firewall Rules", "Scanning Firewall Rules...", Run<&T::ScanFirewallRules>, 1,
     false, "23"},
    {C::StartMenu, C::MyComputers, "Start Menu", "Scanning Start Menu...", Run<&T::ScanStartMenu>, 1, false, "16"},
    {C::Shortcuts, C::MyComputers, "Shortcuts", "Scanning Shortcuts...", Run<&T::ScanShortcuts>, 1, false, "17"},
    {C::SoundEvents, C::MyComputers, "Sound and Appevents", "Scanning Sound and Appevents...", Run<&T::ScanSoundEvents>,
     9, false, "18"},
    {C::ActiveX, C::MyComputers, "Invalid ActiveX", "Scanning Invalid ActiveX...", Run<&T::ScanActiveX>, 1, false,
     "19"},
    {C::MruLists, C::MyComputers, "MRU and History Lists", "Scanning MRU and History Lists...", Run<&T::ScanMruLists>,
     1, false, "20"},
    {C::MuiCache, C::MyComputers, "MUI Cache", "Scanning MUI Cache...", Run<&T::ScanMuiCache>, 1, false, "24"},
    {C::CompatibilitySettings, C::MyComputers, "Compatibility Settings", "Scanning Compatibility Settings...",
     Run<&T::ScanCompatibilitySettings>, 1, false, "25"},
    {C::Installer, C::MyComputers, "Installer", "Scanning Installer...", Run<&T::ScanInstaller>, 1, false, "21"},
    // No caption: the one before it stays.
    {C::Applications, C::MyComputers, "Applications", nullptr, Run<&T::ScanApplications>, 1, false, "22"},
};

}  // namespace

std::span<const CategoryRow> CategoryTable() { return kRows; }

const CategoryRow* CategoryOf(CategoryCode code) {
  for (const CategoryRow& row : kRows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

std::optional<CategoryCode> CategoryCodeOf(int number) {
  const auto code = static_cast<CategoryCode>(number);
  if (CategoryOf(code) == nullptr) return std::nullopt;
  return code;
}

std::vector<std::string> CodeTexts(std::vector<CategoryCode> codes) {
  // Numbered order, as the log has always listed them, whatever order the scan took.
  std::sort(codes.begin(), codes.end());
  std::vector<std::string> texts;
  for (const CategoryCode code : codes) texts.push_back(std::to_string(NumberOf(code)));
  return texts;
}

std::string CategoryName(CategoryCode code) {
  const CategoryRow* row = CategoryOf(code);
  return row != nullptr ? row->name : "Category " + std::to_string(NumberOf(code));
}

std::string CategoryCaption(CategoryCode code) {
  const CategoryRow* row = CategoryOf(code);
  return row != nullptr && row->caption != nullptr ? row->caption : "";
}

bool IsGroup(CategoryCode code) {
  const CategoryRow* row = CategoryOf(code);
  return row != nullptr && row->scan == nullptr;
}

bool IsHiveWalk(CategoryCode code) {
  const CategoryRow* row = CategoryOf(code);
  return row != nullptr && row->hiveWalk;
}

int CategoryWeight(CategoryCode code) {
  const CategoryRow* row = CategoryOf(code);
  return row != nullptr ? row->weight : 1;
}

}  // namespace tamrisk
