#include "scan/Reasons.h"

namespace tamrisk::reason {

Phrase Gone(const MissingPath& gone) {
  switch (gone.what) {
    case MissingPath::Folder: return {TextId::FolderNotFound, {gone.path}};
    case MissingPath::FileOrFolder: return {TextId::FileOrFolderNotFound, {gone.path}};
    case MissingPath::File: break;
  }
  return FileNotFound(gone.path);
}

Phrase FileNotFound(const std::string& path) { return {TextId::FileNotFound, {path}}; }

Phrase FileNotFoundWithAnyExtension(const std::string& path) { return {TextId::FileNotFoundWithAnyExtension, {path}}; }

Phrase FontNotInFontsFolder(const std::string& file) { return {TextId::NotInFontsFolder, {file}}; }

Phrase ShortcutTargetNotFound(const std::string& target) { return {TextId::ShortcutTargetNotFound, {target}}; }

Phrase CountIsZero() { return {TextId::CountIsZero, {}}; }

Phrase NoValuesBelow() { return {TextId::NoValuesBelow, {}}; }

Phrase OnlyAnEmptyDefault() { return {TextId::OnlyAnEmptyDefault, {}}; }

Phrase NotInClassesRoot(const std::string& extension) { return {TextId::ExtensionNotRegistered, {extension}}; }

Phrase NoProgramsFolder(const std::string& name) { return {TextId::ProgramsFolderNotFound, {name}}; }

Phrase ClassNotRegistered(const std::string& classId) { return {TextId::ClassNotRegistered, {classId}}; }

Phrase NoUninstallEntry(const std::string& name) { return {TextId::UninstallEntryNotFound, {name}}; }

}  // namespace tamrisk::reason
