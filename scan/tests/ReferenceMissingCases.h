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
    "Tools\\app.exe",        "Tools\\tool",      "Program Files\\Foo\\foo.exe", "Sys\\notepad.exe", "present.txt",
    "Weird,Dir\\inside.exe", "Tools\\old~1.exe",
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
    {"AnchoredInMissingFolder", "{B}\\Gone\\Deeper\\foo.exe /a", "foo.exe", false, true},
    // A name that is only the start of a listed name, or goes past it, names nothing.
    {"NameStartsAListedName", "{B}\\Tools\\ap", "", false, true},
    {"NameGoesPastAListedName", "{B}\\Tools\\app.exe2", "", false, true},
    {"FolderNameGoesPastAListedFolder", "{B}\\Toolsx\\app.exe", "", false, true},
    {"FileNameStartsAMissingFolder", "{B}\\Tools\\toolbox\\x.exe -a", "", false, false},
    {"FileWhereAFolderIsExpected", "{B}\\Tools\\app.exe\\x.exe /a", "", false, false},
    {"FileWithClosingBackslash", "{B}\\present.txt\\", "", false, false},
    {"MissingFolderWithALongTail", "{B}\\Gone\\Deeper\\Still\\Further\\app.exe /s /t:x,y -z", "", false, true},
    {"MissingFolderInOtherCase", "{B}\\GONE\\app.exe", "", false, true},
    {"FolderInOtherCaseMissingFile", "{B}\\TOOLS\\Gone.EXE", "", false, true},
    {"WholePathInOtherCase", "{B}\\PROGRAM FILES\\foo\\FOO.exe -x", "", false, false},
    // What Win32 makes of a path before it looks: trailing dots and spaces of the last name dropped,
    // a folder name's final dot dropped, "." and ".." folded, "/" read as "\", "\\" as one.
    {"TrailingDotDropped", "{B}\\present.txt.", "", false, false},
    {"TrailingDotOnAFolderNotAccepted", "{B}\\Data.", "", false, true},
    {"TrailingDotOnAFolderAccepted", "{B}\\Data.", "", true, false},
    {"DotEndingAFolderName", "{B}\\Tools.\\app.exe", "", false, false},
    {"DotDotOutOfAMissingFolder", "{B}\\Gone\\..\\present.txt", "", false, false},
    {"DotDotToAMissingFile", "{B}\\Gone\\..\\absent.txt", "", false, true},
    {"SpaceEndingAFolderName", "{B}\\Tools \\app.exe", "", false, true},
    {"DotFolder", "{B}\\.\\Tools\\app.exe", "", false, false},
    {"SlashBetweenNames", "{B}\\Tools/app.exe", "", false, false},
    {"SlashToAMissingFile", "{B}\\Tools/gone.exe", "", false, true},
    {"DoubledBackslash", "{B}\\\\Tools\\app.exe", "", false, false},
    // "~" marks an 8.3 short name, which the system also matches.
    {"TildeInALongName", "{B}\\Tools\\old~1.exe", "", false, false},
    {"TildeNameMissing", "{B}\\Tools\\gone~1.exe", "", false, true},
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
