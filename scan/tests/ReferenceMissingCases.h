// One table of registry texts for ReferenceMissing, judged against the same files on the memory file
// system (natively) and on drive C: (under Wine). "{B}" in a text stands for the base folder the
// layout is made in, which must lie on drive C:, the only tested drive; "{b}" is the same folder
// with its drive letter in lower case.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tamrisk::test {

// Environment variables the cases use: one names the base folder, one names a file in it.
inline constexpr const char* kBaseVariable = "TAMRISK_REF_BASE";
inline constexpr const char* kFileVariable = "TAMRISK_REF_FILE";
inline constexpr const char* kFileVariableTarget = "{B}\\Tools\\app.exe";

// Folders and files below the base folder.
inline const std::vector<std::string> kReferenceFolders = {
    "Tools", "Program Files\\Foo", "Data", "Sys", "Weird,Dir",
};
inline const std::vector<std::string> kReferenceFiles = {
    "Tools\\app.exe",   "Tools\\tool",        "Program Files\\Foo\\foo.exe",
    "Sys\\notepad.exe", "present.txt",        "Weird,Dir\\inside.exe",
};

struct ReferenceCase {
  const char* name;
  const char* text;
  const char* anchor;
  bool acceptFolder;
  bool missing;
};

inline const std::vector<ReferenceCase> kReferenceCases = {
    {"EmptyText", "", "", false, false},
    {"OnlyAQuote", "\"", "", false, false},
    {"QuotedExistingFileWithArgument", "\"{B}\\present.txt\" -x", "", false, false},
    {"QuotedMissingFileWithArgument", "\"{B}\\absent.txt\" -x", "", false, true},
    {"QuotedProgramWithPercentOne", "\"{B}\\Tools\\app.exe\" \"%1\"", "", false, false},
    {"QuotedMissingProgramWithPercentOne", "\"{B}\\Tools\\gone.exe\" \"%1\"", "", false, true},
    {"VariableFolderWithExistingFile", "%TAMRISK_REF_BASE%\\Sys\\notepad.exe", "", false, false},
    {"VariableFolderWithMissingFile", "%TAMRISK_REF_BASE%\\Sys\\gone.exe", "", false, true},
    {"VariableInQuotes", "\"%TAMRISK_REF_BASE%\\Sys\\gone.exe\" /x", "", false, true},
    {"UnknownVariable", "%TAMRISK_NO_SUCH_VARIABLE%\\x.exe", "", false, false},
    {"VariableNamingAFile", "%TAMRISK_REF_FILE% -x", "", false, false},
    {"VariableWithoutClosingPercent", "%TAMRISK_REF_BASE\\Sys\\gone.exe", "", false, false},
    {"LonePercent", "%", "", false, false},
    {"EmptyVariable", "%%\\gone.exe", "", false, false},
    {"UntestedDrive", "D:\\app.exe", "", false, false},
    {"RundllCommand", "rundll32.exe shell32.dll,Control_RunDLL", "", false, false},
    {"NumberText", "12345", "", false, false},
    {"Guid", "{00021401-0000-0000-C000-000000000046}", "", false, false},
    {"NoBackslashAfterColon", "C:gone.exe", "", false, false},
    {"TwoPaths", "{B}\\Tools\\gone.exe {B}\\present.txt", "", false, false},
    {"ProgramFoundByExeAtSpace", "{B}\\Tools\\app -min", "", false, false},
    {"ExeNotTriedAtTheEnd", "{B}\\Tools\\app", "", false, true},
    {"FileWithoutExtensionAtTheEnd", "{B}\\Tools\\tool", "", false, false},
    {"FileWithoutExtensionBeforeArgument", "{B}\\Tools\\tool -a", "", false, false},
    {"ExistingProgramWithIconIndex", "{B}\\Tools\\app.exe,1", "", false, false},
    {"MissingProgramWithIconIndex", "{B}\\Tools\\gone.exe,1", "", false, true},
    {"ExistingProgramWithSlashSwitch", "{B}\\Tools\\app.exe/q", "", false, false},
    // Each separator may end the program path; "app" + ".exe" exists.
    {"ProgramEndsAtColon", "{B}\\Tools\\app:x", "", false, false},
    {"ProgramEndsAtStar", "{B}\\Tools\\app*x", "", false, false},
    {"ProgramEndsAtLess", "{B}\\Tools\\app<x", "", false, false},
    {"ProgramEndsAtGreater", "{B}\\Tools\\app>x", "", false, false},
    {"ProgramEndsAtQuestionMark", "{B}\\Tools\\app?x", "", false, false},
    {"ProgramEndsAtBar", "{B}\\Tools\\app|x", "", false, false},
    {"NoSeparatorNoExe", "{B}\\Tools\\app.x", "", false, true},
    {"MissingFolderEveryPrefixTried", "{B}\\Gone\\app.exe /s", "", false, true},
    {"MissingFolderProgramBeforeSeparator", "{B}\\Tools\\app -x\\y", "", false, false},
    {"FileInsideTheFolderPart", "{B}\\present.txt\\more", "", false, false},
    {"ExistingFolderWithClosingBackslash", "{B}\\Data\\", "", false, false},
    {"MissingFolderWithClosingBackslash", "{B}\\NoData\\", "", false, true},
    {"FolderNotAccepted", "{B}\\Data", "", false, true},
    {"FolderAccepted", "{B}\\Data", "", true, false},
    {"FolderAcceptedBeforeArgument", "{B}\\Data -x", "", true, false},
    {"FolderNotAcceptedBeforeArgument", "{B}\\Data -x", "", false, true},
    {"SeparatorInFolderName", "{B}\\Weird,Dir\\inside.exe", "", false, false},
    {"OtherLetterCase", "{B}\\TOOLS\\APP.EXE", "", false, false},
    {"LowerCaseDriveLetterPresent", "{b}\\Tools\\app.exe", "", false, false},
    {"LowerCaseDriveLetterMissing", "{b}\\Tools\\gone.exe", "", false, true},
    {"AnchorFindsFileInOwnCase", "{B}\\Program Files\\Foo\\foo.exe", "FOO.EXE", false, false},
    {"AnchorNotInText", "{B}\\Program Files\\Foo\\foo.exe", "bar.exe", false, false},
    {"AnchorCutsArguments", "{B}\\Program Files\\Foo\\foo.exe /a C:\\x.txt", "foo.exe", false, false},
    {"AnchoredFileMissing", "{B}\\Program Files\\Foo\\gone.exe -x", "GONE.EXE", false, true},
    {"AnchoredFolderCountsAsMissing", "{B}\\Data\\x.dat", "\\DATA", true, true},
    {"AnchoredOnUntestedDrive", "D:\\Foo\\gone.exe", "gone.exe", false, false},
    {"AnchoredWithoutDriveRoot", "gone.exe", "gone.exe", false, false},
};

// text with every "{B}" replaced by base and every "{b}" by base with a lower-case drive letter.
inline std::string WithBase(std::string text, const std::string& base) {
  std::string lowerDrive = base;
  if (!lowerDrive.empty() && lowerDrive[0] >= 'A' && lowerDrive[0] <= 'Z') lowerDrive[0] += 'a' - 'A';
  for (const auto& [mark, replacement] : {std::pair{"{B}", base}, std::pair{"{b}", lowerDrive}}) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + replacement.size())) {
      text.replace(at, 3, replacement);
    }
  }
  return text;
}

}  // namespace tamrisk::test
