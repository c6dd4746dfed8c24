#include "scan/Reasons.h"

namespace tamrisk::reason {

std::string Gone(const MissingPath& gone) {
  switch (gone.what) {
    case MissingPath::Folder: return "folder not found: " + gone.path;
    case MissingPath::FileOrFolder: return "file or folder not found: " + gone.path;
    case MissingPath::File: break;
  }
  return FileNotFound(gone.path);
}

std::string FileNotFound(const std::string& path) { return "file not found: " + path; }

std::string FileNotFoundWithAnyExtension(const std::string& path) {
  return "file not found with any listed extension: " + path;
}

std::string FontNotInFontsFolder(const std::string& file) { return "not in the Fonts folder: " + file; }

std::string ShortcutTargetNotFound(const std::string& target) { return "shortcut target not found: " + target; }

std::string CountIsZero() { return "count is 0"; }

std::string NoValuesBelow() { return "no values below this key"; }

std::string OnlyAnEmptyDefault() { return "nothing but an empty default value"; }

std::string NotInClassesRoot(const std::string& extension) { return "extension not registered: " + extension; }

std::string NoProgramsFolder(const std::string& name) { return "Programs folder not found: " + name; }

std::string ClassNotRegistered(const std::string& classId) { return "class not registered: " + classId; }

std::string NoUninstallEntry(const std::string& name) { return "uninstall entry not found: " + name; }

}  // namespace tamrisk::reason
