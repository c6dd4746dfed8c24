// The reasons the scanners give for their rows, one function per test a scanner makes, so that the
// same finding reads the same in every category. Each names the text that failed where there is one.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "scan/PathTests.h"

namespace tamrisk::reason {

// The reasons' texts, numbered so that the window can show a reason in its own language: "%1" stands
// for the text that failed. Rows, reports and the log keep the English.
struct Pattern {
  int id;
  const char* english;
};
std::span<const Pattern> Patterns();

// The pattern a reason was made from and the text it names, or nullopt for a reason of no pattern.
struct Parts {
  int id;
  std::string argument;
};
std::optional<Parts> PartsOf(const std::string& reason);

// "file not found: C:\Gone\app.exe", "folder not found: C:\Gone\", "file or folder not found: ...".
std::string Gone(const MissingPath& gone);
std::string FileNotFound(const std::string& path);
// A file name stored without its extension, tried with each extension listed beside it.
std::string FileNotFoundWithAnyExtension(const std::string& path);
// A font given by bare name that is not a file of the Fonts folder.
std::string FontNotInFontsFolder(const std::string& file);
std::string ShortcutTargetNotFound(const std::string& target);
// A shared DLL whose use count has dropped to 0.
std::string CountIsZero();
// A key with no value anywhere below it.
std::string NoValuesBelow();
// A file type of the machine's classes with neither subkeys nor a default text.
std::string OnlyAnEmptyDefault();
// An extension of the user's Explorer list that HKEY_CLASSES_ROOT does not know.
std::string NotInClassesRoot(const std::string& extension);
// A saved Start Menu order entry whose Programs folder is gone.
std::string NoProgramsFolder(const std::string& name);
// A shell extension handler whose class ID has no registration.
std::string ClassNotRegistered(const std::string& classId);
// An Add/Remove Programs cache entry without its uninstall entry.
std::string NoUninstallEntry(const std::string& name);

}  // namespace tamrisk::reason
