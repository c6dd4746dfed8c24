// The reasons the scanners give for their rows, as phrases, one function per test a scanner makes, so that the
// same finding reads the same in every category. Each names the text that failed where there is one.
#pragma once

#include <string>

#include "scan/PathTests.h"
#include "scan/Phrase.h"

namespace tamrisk::reason {

// "file not found: C:\Gone\app.exe", "folder not found: C:\Gone\", "file or folder not found: ...".
Phrase Gone(const MissingPath& gone);
Phrase FileNotFound(const std::string& path);
// A file name stored without its extension, tried with each extension listed beside it.
Phrase FileNotFoundWithAnyExtension(const std::string& path);
// A font given by bare name that is not a file of the Fonts folder.
Phrase FontNotInFontsFolder(const std::string& file);
Phrase ShortcutTargetNotFound(const std::string& target);
// A shared DLL whose use count has dropped to 0.
Phrase CountIsZero();
// A key with no value anywhere below it.
Phrase NoValuesBelow();
// A file type of the machine's classes with neither subkeys nor a default text.
Phrase OnlyAnEmptyDefault();
// An extension of the user's Explorer list that HKEY_CLASSES_ROOT does not know.
Phrase NotInClassesRoot(const std::string& extension);
// A saved Start Menu order entry whose Programs folder is gone.
Phrase NoProgramsFolder(const std::string& name);
// A shell extension handler whose class ID has no registration.
Phrase ClassNotRegistered(const std::string& classId);
// An Add/Remove Programs cache entry without its uninstall entry.
Phrase NoUninstallEntry(const std::string& name);

}  // namespace tamrisk::reason
