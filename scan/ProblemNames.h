// The problem names the scanners give their rows, numbered so that the window can show a name in
// its own language. Rows, reports and the log keep the English, which scripts parse.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

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

// The number of a row's problem name, or nullopt for a name no scanner gives.
inline std::optional<int> ProblemNumber(std::string_view name) {
  for (std::size_t i = 0; i < kProblemNames.size(); ++i) {
    if (name == kProblemNames[i]) return static_cast<int>(i);
  }
  return std::nullopt;
}

}  // namespace tamrisk
