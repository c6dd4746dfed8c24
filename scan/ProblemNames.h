// The problems a row can name. Rows hold the id; reports and the log write the English name, which
// scripts parse, and the window shows the name in its language.
#pragma once

#include <array>
#include <cstddef>

namespace tamrisk {

enum class ProblemId {
  InvalidFileOrFolder,
  SoftwareLocationsIssue,
  FontsIssue,
  InvalidHelpFiles,
  MissingSharedDlls,
  MissingStartupPrograms,
  AddRemoveProgramsIssue,
  UnusedFileExtension,
  CustomControlsIssue,
  ObsoleteSoftwareKey,
  WindowsServiceIssue,
  OldStartMenuKey,
  MissingShortcutReference,
  MissingSoundFile,
  ActiveXIssue,
  MissingMruFile,
  InstallerReferenceIssue,
  OpenWithApplicationIssue,
  FirewallRuleIssue,
  MuiCacheIssue,
  CompatibilitySettingIssue,
  ShellExtensionIssue,
  PerUserProgramIssue,
};

// In the order of ProblemId. The English is kept as it always was, misspellings included.
inline constexpr std::array<const char*, 23> kProblemNames = {
    "Invalid File or Folder",
    "Software Locations Issue",
    "Fonts Issue",
    "Invalid Help Files",
    "Missing Shared Dlls",
    "Missing Startup Programs",
    "Add/Remove Programs Issue",
    "Unused File Extension",
    "Custom Controls Issue",
    "Obsolete Software Key",
    "Windows Service Issue",
    "Old Start Menu Key",
    "Missing ShortCut reference",
    "Missing Sound File",
    "ActiveX Issue",
    "Missing MRU and History Lists file",
    "Installer Refrence Issue",
    "Open with Application Issue",
    "Firewall Rule Issue",
    "MUI Cache Issue",
    "Compatibility Setting Issue",
    "Shell Extension Issue",
    "Per-User Program Issue",
};

constexpr const char* ProblemName(ProblemId id) { return kProblemNames[static_cast<std::size_t>(id)]; }

}  // namespace tamrisk
