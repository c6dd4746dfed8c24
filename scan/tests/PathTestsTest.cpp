// The shared path tests and registry routines of the scanners, on the memory platform.
#include "scan/PathTests.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/memory/MemoryPlatform.h"
#include "scan/ScanFileCache.h"
#include "scan/tests/ReferenceMissingCases.h"

namespace tamrisk {
namespace {

constexpr const char* kBase = "C:\\tamrisk-tests\\refmissing";

class PathTestsTest : public ::testing::Test {
 protected:
  PathTestsTest() {
    memory.files.SetDriveType('c', drivetype::Fixed);
    for (const std::string& folder : test::kReferenceFolders)
      memory.files.AddFolder(std::string(kBase) + "\\" + folder);
    for (const std::string& file : test::kReferenceFiles) memory.files.AddFile(std::string(kBase) + "\\" + file);
    memory.system.SetVariable(test::kBaseVariable, kBase);
    memory.system.SetVariable(test::kFileVariable, test::WithBase(test::kFileVariableTarget, kBase));
  }

  bool Missing(const std::string& text, const std::string& anchor = "", bool acceptFolder = false,
               const std::string& drives = "c") {
    return ReferenceMissing(memory.platform, text, anchor, drives, acceptFolder);
  }

  MemoryPlatform memory;
};

TEST_F(PathTestsTest, ReferenceMissingSharedCases) {
  // A scan's file cache gives the same answers, whether it starts empty or has seen every case before.
  ScanFileCache seenAll(memory.files);
  for (const test::ReferenceCase& c : test::kReferenceCases) {
    const std::string text = test::WithBase(c.text, kBase);
    EXPECT_EQ(Missing(text, c.anchor, c.acceptFolder), c.missing) << c.name;
    ScanFileCache fresh(memory.files);
    for (ScanFileCache* cache : {&fresh, &seenAll}) {
      const Platform cached = WithFiles(memory.platform, *cache);
      EXPECT_EQ(ReferenceMissing(cached, text, c.anchor, "c", c.acceptFolder), c.missing) << c.name << ", cached";
    }
  }
}

TEST_F(PathTestsTest, MissingReferenceNamesThePathItFoundGone) {
  const std::string b = kBase;
  struct Case {
    std::string text;
    const char* anchor;
    bool acceptFolder;
    std::optional<MissingPath> gone;
  };
  const std::vector<Case> cases = {
      {b + "\\Tools\\app.exe", "", false, std::nullopt},
      {b + "\\Gone\\app.exe /s", "", false, MissingPath{b + "\\Gone\\app.exe", MissingPath::File}},
      {"\"" + b + "\\Tools\\gone.exe\" \"%1\"", "", false, MissingPath{b + "\\Tools\\gone.exe", MissingPath::File}},
      {"%TAMRISK_REF_BASE%\\Sys\\gone.exe,1", "", false, MissingPath{b + "\\Sys\\gone.exe", MissingPath::File}},
      {b + "\\Gone App\\v2\\app.exe -x", "", false, MissingPath{b + "\\Gone App\\v2\\app.exe", MissingPath::File}},
      {b + "\\Tools\\app", "", false, MissingPath{b + "\\Tools\\app", MissingPath::File}},
      {b + "\\NoData\\", "", true, MissingPath{b + "\\NoData\\", MissingPath::Folder}},
      {b + "\\Gone\\Data -x", "", true, MissingPath{b + "\\Gone\\Data -x", MissingPath::FileOrFolder}},
      {b + "\\Gone\\app.exe", "", true, MissingPath{b + "\\Gone\\app.exe", MissingPath::File}},
      {b + "\\Data\\x.dat", "\\DATA", true, MissingPath{b + "\\Data", MissingPath::File}},
  };
  for (const Case& c : cases) {
    const std::optional<MissingPath> gone = MissingReference(memory.platform, c.text, c.anchor, "c", c.acceptFolder);
    EXPECT_EQ(gone.has_value(), c.gone.has_value()) << c.text;
    if (gone && c.gone) {
      EXPECT_EQ(gone->path, c.gone->path) << c.text;
      EXPECT_EQ(gone->what, c.gone->what) << c.text;
    }
  }
}

TEST_F(PathTestsTest, TextsThatCannotNameATestedPathAskTheFileSystemNothing) {
  memory.files.AddFolder("D:\\Apps");
  memory.system.SetVariable("ON_D", "D:\\Apps");
  memory.system.SetVariable("SHORT", "C:");
  struct Case {
    const char* text;
    const char* anchor;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"\"", ""},
      {"\"\"", ""},
      {"rundll32.exe shell32.dll,Control_RunDLL", ""},
      {"12345", ""},
      {"{00021401-0000-0000-C000-000000000046}", ""},
      {"Microsoft Corporation", ""},
      {"D:\\app.exe", ""},
      {"\"D:\\Program Files\\app.exe\" %1", ""},
      {"C:gone.exe", ""},
      {"C:/gone.exe", ""},
      {"C:\\a.exe C:\\b.txt", ""},
      {"%ON_D%\\app.exe", ""},                  // expands to an existing folder, but on an untested drive
      {"%SHORT%gone.exe", ""},                  // expands, but gives no ":\"
      {"%TAMRISK_REF_BASE%\\a.exe C:\\b", ""},  // second path after the expansion
      {"%NOT_SET%\\app.exe", ""},
      {"%UNCLOSED\\app.exe", ""},
      {"%", ""},
      {"C:\\Program Files\\app.exe", "other.exe"},
      {"D:\\Program Files\\app.exe", "app.exe"},
      {"xC:\\app.exe", "app.exe"},
  };
  for (const Case& c : cases) {
    memory.files.ResetCalls();
    EXPECT_FALSE(Missing(c.text, c.anchor)) << c.text;
    EXPECT_EQ(memory.files.Calls().Total(), 0u) << c.text;
  }
}

TEST_F(PathTestsTest, DriveLettersAndAnchorsFoldOnlyAsciiLetters) {
  memory.files.AddFolder("E:\\Data");
  EXPECT_TRUE(Missing("E:\\Data\\gone.exe", "", false, "ce"));
  EXPECT_TRUE(Missing("e:\\Data\\gone.exe", "", false, "CE"));
  EXPECT_FALSE(Missing("E:\\Data\\gone.exe", "", false, "c"));
  // 0xC9 and 0xE9 are "É" and "é" in the ANSI code page: different characters for this program.
  const std::string missing = std::string(kBase) + "\\gon\xE9.exe -x";
  EXPECT_TRUE(Missing(missing, "GON\xE9.EXE"));
  EXPECT_FALSE(Missing(missing, "GON\xC9.EXE"));
  EXPECT_FALSE(Missing("\xC9:\\Data\\gone.exe", "", false, "\xE9"));
}

TEST_F(PathTestsTest, PlainFormTriesOneCandidatePerCharacterAtMost) {
  // With the folder part gone, each prefix is tried once, plus ".exe" at each separator, plus the last
  // look that tells "not found" from "cannot look".
  const std::string text = std::string(kBase) + "\\Gone\\app.exe /s";
  memory.files.ResetCalls();
  EXPECT_TRUE(Missing(text));
  const std::size_t separators = 3;  // ":", " " and "/"
  EXPECT_LE(memory.files.Calls().existence, 2 + text.size() + separators);
}

TEST_F(PathTestsTest, ExpandFolderVariableExpandsOnlyToExistingFolders) {
  memory.system.SetVariable("PADDED", std::string(" \t") + kBase + "\\Sys \r\n");
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"%TAMRISK_REF_BASE%", kBase},
      {"%tamrisk_ref_base%\\Sys", std::string(kBase) + "\\Sys"},
      {"%PADDED%", std::string(kBase) + "\\Sys"},    // spaces and control characters trimmed
      {"%TAMRISK_REF_FILE%", "%TAMRISK_REF_FILE%"},  // names a file: left as it is
      {"%TAMRISK_REF_BASE%\\Gone", "%TAMRISK_REF_BASE%\\Gone"},
      {"%NOT_SET%", "%NOT_SET%"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandFolderVariable(memory.platform, c.text), c.expected) << c.text;
}

TEST_F(PathTestsTest, ExpandFolderVariableFailsWhenTheExpansionNeedsMoreThan1024Bytes) {
  // Trailing spaces are trimmed after the expansion, so they only lengthen what must fit the buffer.
  const std::string folder = std::string(kBase) + "\\Sys";
  memory.system.SetVariable("SYS", folder);
  const auto padded = [&](std::size_t expandedLength) {
    return "%SYS%" + std::string(expandedLength - folder.size(), ' ');
  };
  EXPECT_EQ(ExpandFolderVariable(memory.platform, padded(1023)), folder);  // 1023 characters and the NUL
  EXPECT_EQ(ExpandFolderVariable(memory.platform, padded(1024)), padded(1024));
}

TEST(ComputeTestedDrivesTest, FollowsTheTwoDriveOptions) {
  MemoryPlatform memory;
  memory.files.SetDriveType('c', drivetype::Fixed);
  memory.files.SetDriveType('d', drivetype::Fixed);
  memory.files.SetDriveType('e', drivetype::CdRom);
  memory.files.SetDriveType('f', drivetype::Remote);
  memory.files.SetDriveType('g', drivetype::Removable);
  memory.files.SetDriveType('h', drivetype::RamDisk);
  struct Case {
    bool removeMedia;
    bool cdDrive;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {false, false, "cd"},
      {false, true, "cde"},
      {true, false, "abcdfghijklmnopqrstuvwxyz"},
      {true, true, "abcdeefghijklmnopqrstuvwxyz"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeTestedDrives(memory.files, c.removeMedia, c.cdDrive), c.expected)
        << "removable " << c.removeMedia << ", CD " << c.cdDrive;
  }
}

class RegistryRoutinesTest : public ::testing::Test {
 protected:
  long Count(const std::string& path, long limit, bool stopOnSubkeys, bool countEmptyDefault) {
    return CountKeyValues(memory.platform, RootKey::LocalMachine, path, limit, stopOnSubkeys, countEmptyDefault);
  }
  std::vector<std::string> AllMatches(const std::string& path) {
    std::vector<std::string> found;
    std::string cursor;
    for (int guard = 0; guard < 100; ++guard) {
      const std::string text = FindNextValueInTree(memory.platform, RootKey::LocalMachine, path, "command", "", cursor);
      if (text.empty()) break;
      found.push_back(cursor + " = " + text);
    }
    EXPECT_EQ(cursor, "") << "the cursor is empty again when the iteration ends";
    return found;
  }
  void Command(const std::string& key, const std::string& text) {
    memory.registry.SetString(RootKey::LocalMachine, key + "\\command", "", text);
  }

  MemoryPlatform memory;
};

TEST_F(RegistryRoutinesTest, CountKeyValuesCases) {
  const auto hklm = RootKey::LocalMachine;
  memory.registry.SetString(hklm, "U\\EmptyDefault", "", "");
  memory.registry.SetString(hklm, "U\\FullDefault", "", "x");
  memory.registry.SetExpandString(hklm, "U\\EmptyExpandDefault", "", "");
  memory.registry.SetDword(hklm, "U\\NumberDefault", "", 0);
  memory.registry.SetString(hklm, "U\\NamedEmpty", "Name", "");
  memory.registry.CreateKey(hklm, "U\\Bare");
  memory.registry.CreateKey(hklm, "U\\Chain\\A\\B");
  memory.registry.SetString(hklm, "U\\Chain\\A\\B", "V", "1");
  memory.registry.CreateKey(hklm, "U\\Two\\A");
  memory.registry.CreateKey(hklm, "U\\Two\\B");
  memory.registry.SetString(hklm, "U\\Deep\\A", "V1", "1");
  memory.registry.SetString(hklm, "U\\Deep\\A", "V2", "2");
  memory.registry.SetString(hklm, "U\\Deep\\B\\C", "V3", "3");
  memory.registry.SetString(hklm, "U\\Deep\\B\\C", "", "");
  struct Case {
    const char* path;
    long limit;
    bool stopOnSubkeys;
    bool countEmptyDefault;
    long expected;
  };
  const std::vector<Case> cases = {
      {"U\\EmptyDefault", 1, true, false, 0},
      {"U\\EmptyDefault", 1, true, true, 1},
      {"U\\EmptyExpandDefault", 1, true, false, 0},
      {"U\\FullDefault", 1, true, false, 1},
      {"U\\NumberDefault", 1, true, false, 1},
      {"U\\NamedEmpty", 1, true, false, 1},
      {"U\\Bare", 1, true, false, 0},
      {"U\\Missing", 1, true, true, 0},
      {"U\\Chain", 1, true, false, 1},  // one chain of single subkeys is followed down
      {"U\\Two", 1, true, false, 2},    // two subkeys count as not empty at once
      {"U\\Two", 1, false, false, 0},   // unless subkeys are walked
      {"U\\Deep", 0, false, false, 4},  // no limit: every value below
      {"U\\Deep", 0, false, true, 4},
      {"U\\Deep", 2, false, false, 2},     // stops at the limit
      {"U\\Deep\\B", 0, false, false, 2},  // an empty default beside other values counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Count(c.path, c.limit, c.stopOnSubkeys, c.countEmptyDefault), c.expected)
        << c.path << " limit " << c.limit << " stop " << c.stopOnSubkeys << " default " << c.countEmptyDefault;
  }
}

TEST_F(RegistryRoutinesTest, CountKeyValuesWithLimitOneOpensOneChainOnly) {
  const auto hklm = RootKey::LocalMachine;
  memory.registry.CreateKey(hklm, "U\\Entry\\Only\\Deeper");
  for (int i = 0; i < 50; ++i)
    memory.registry.SetString(hklm, "U\\Entry\\Only\\Deeper\\K" + std::to_string(i), "V", "1");
  memory.registry.ResetCalls();
  EXPECT_EQ(Count("U\\Entry", 1, true, false), 50);
  EXPECT_EQ(memory.registry.Calls().opens, 3u);
  EXPECT_EQ(memory.registry.OpenHandleCount(), 0u);
}

TEST_F(RegistryRoutinesTest, CountKeyValuesNeedsOnlyReadRights) {
  // A key that refuses writing, as machine keys do for a standard user, is counted, not taken as empty.
  memory.registry.SetString(RootKey::LocalMachine, "U\\ReadOnly", "DisplayName", "Tool");
  memory.registry.DenyRights(RootKey::LocalMachine, "U\\ReadOnly", 0x6);  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY
  EXPECT_EQ(Count("U\\ReadOnly", 1, true, false), 1);
  memory.registry.DenyRights(RootKey::LocalMachine, "U\\ReadOnly", 0x1);  // KEY_QUERY_VALUE
  EXPECT_EQ(Count("U\\ReadOnly", 1, true, false), 0);
}

TEST_F(RegistryRoutinesTest, FindNextValueInTreeIteratesInPreOrder) {
  const std::string app = "Software\\Classes\\Applications\\tool.exe";
  Command(app, "C:\\root.exe");
  Command(app + "\\shell\\open", "\"C:\\open.exe\" \"%1\"");
  Command(app + "\\shell\\open\\inner", "C:\\inner.exe");
  Command(app + "\\shell\\edit", "C:\\edit.exe");
  memory.registry.SetString(RootKey::LocalMachine, app + "\\shell\\print\\command", "", "");  // empty: no match
  memory.registry.SetString(RootKey::LocalMachine, app + "\\shell\\named\\command", "Other", "C:\\x.exe");
  memory.registry.SetDword(RootKey::LocalMachine, app + "\\shell\\number\\command", "", 1);
  // Subkeys in the registry's order (alphabetical): "edit" before "open"; a key before its subkeys.
  EXPECT_EQ(AllMatches(app), (std::vector<std::string>{
                                 app + " = C:\\root.exe",
                                 app + "\\shell\\edit = C:\\edit.exe",
                                 app + "\\shell\\open = \"C:\\open.exe\" \"%1\"",
                                 app + "\\shell\\open\\inner = C:\\inner.exe",
                             }));
}

TEST_F(RegistryRoutinesTest, FindNextValueInTreeRaisesAtAValueThatCannotBeRead) {
  // Passing the key over would let the category pass for finished.
  const std::string app = "Software\\Classes\\Applications\\tool.exe";
  Command(app + "\\a", "C:\\a.exe");
  Command(app + "\\a\\below", "C:\\below.exe");
  Command(app + "\\b", "C:\\b.exe");
  memory.registry.FailReads(RootKey::LocalMachine, app + "\\a\\command", "");
  EXPECT_THROW(AllMatches(app), RegistryError);
}

TEST_F(RegistryRoutinesTest, FindNextValueInTreeOnAMissingKeyFindsNothing) {
  std::string cursor;
  EXPECT_EQ(FindNextValueInTree(memory.platform, RootKey::LocalMachine, "Software\\Nothing", "command", "", cursor),
            "");
  EXPECT_EQ(cursor, "");
}

TEST_F(RegistryRoutinesTest, FindNextValueInTreeRestartsWhenTheCursorKeyVanished) {
  const std::string app = "Software\\Classes\\Applications\\tool.exe";
  Command(app + "\\a", "C:\\a.exe");
  std::string cursor = app + "\\gone";  // a match reported earlier whose key was deleted since
  EXPECT_EQ(FindNextValueInTree(memory.platform, RootKey::LocalMachine, app, "command", "", cursor), "");
  EXPECT_EQ(cursor, "");
  EXPECT_EQ(FindNextValueInTree(memory.platform, RootKey::LocalMachine, app, "command", "", cursor), "C:\\a.exe");
  EXPECT_EQ(cursor, app + "\\a");
}

// A 64-bit machine as a 32-bit installer leaves it: its control copied to the system folder (which
// is SysWOW64 to it), its library in the 32-bit common files, another user's profile closed.
class PathReadingsTest : public ::testing::Test {
 protected:
  PathReadingsTest() {
    for (const char* file : {"C:\\Windows\\SysWOW64\\ctl32.ocx", "C:\\Windows\\System32\\native.dll",
                             "C:\\Program Files (x86)\\Common Files\\Vendor\\x.dll",
                             "C:\\Program Files (x86)\\App\\app.exe", "C:\\Users\\Other\\app.exe"}) {
      memory.files.AddFile(file);
    }
    memory.files.SetUnreadable("C:\\Users\\Other");
    memory.LayOut64BitWindows();
  }

  MemoryPlatform memory;
};

TEST_F(PathReadingsTest, AnEntryIsMissingOnlyUnderEveryReadingItsReadersGiveIt) {
  struct Case {
    const char* text;
    bool missingToNative;  // an entry of the 64-bit view
    bool missingToBoth;    // an entry 32-bit programs read as well
  };
  const Case cases[] = {
      {"C:\\Windows\\system32\\ctl32.ocx", true, false},
      {"\"C:\\WINDOWS\\System32\\ctl32.ocx\" /s", true, false},
      {"%SystemRoot%\\System32\\ctl32.ocx", true, false},
      {"%windir%\\system32\\ctl32.ocx,1", true, false},
      {"C:\\Windows\\Sysnative\\native.dll", true, false},
      {"%CommonProgramFiles%\\Vendor\\x.dll", true, false},
      {"%ProgramFiles%\\App\\app.exe -x", true, false},
      {"%ProgramFiles(x86)%\\App\\app.exe", false, false},
      {"C:\\Windows\\System32\\native.dll", false, false},
      {"C:\\Program Files\\App\\app.exe", true, true},  // a written-out folder is not redirected
      {"C:\\Windows\\System32\\gone.ocx", true, true},
      {"C:\\Windows\\System32Extra\\ctl32.ocx", true, true},
      {"C:\\Users\\Other\\app.exe", false, false},  // cannot be looked at: not missing
      {"C:\\Users\\Other\\Gone\\app.exe /s", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReferenceMissing(memory.platform, c.text, "", "c", false, Readers::Native), c.missingToNative);
    EXPECT_EQ(ReferenceMissing(memory.platform, c.text, "", "c", false, Readers::NativeAndWow64), c.missingToBoth);
    ScanFileCache cache(memory.files);
    const Platform cached = WithFiles(memory.platform, cache);
    EXPECT_EQ(ReferenceMissing(cached, c.text, "", "c", false, Readers::NativeAndWow64), c.missingToBoth);
  }
  // The whole-path and file tests of the other categories read the same way.
  EXPECT_TRUE(FileMissing(memory.platform, "C:\\Windows\\system32\\ctl32.ocx", Readers::Native));
  EXPECT_FALSE(FileMissing(memory.platform, "C:\\Windows\\system32\\ctl32.ocx", Readers::NativeAndWow64));
  EXPECT_FALSE(FileMissing(memory.platform, "C:\\Users\\Other\\gone.dll", Readers::Native));
  EXPECT_FALSE(MissingWholePath(memory.platform, "C:\\Windows\\system32\\ctl32.ocx", "c", Readers::NativeAndWow64));
  EXPECT_FALSE(MissingWholePath(memory.platform, "C:\\Users\\Other\\app 2.exe", "c", Readers::Native));
}

TEST(PathReadersTest, TheWow64ViewTheUsersKeysAndTheSharedClassKeysAreReadBy32BitProgramsToo) {
  struct Case {
    const char* root;
    const char* path;
    Readers readers;
  };
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", Readers::Native},
      {"HKEY_LOCAL_MACHINE", "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
       Readers::NativeAndWow64},
      {"HKEY_LOCAL_MACHINE", "SYSTEM\\CurrentControlSet\\Services\\x", Readers::Native},
      {"HKEY_LOCAL_MACHINE", "Software\\Classes\\CLSID\\{x}\\InprocServer32", Readers::Native},
      {"HKEY_LOCAL_MACHINE", "Software\\Classes\\Wow6432Node\\CLSID\\{x}", Readers::NativeAndWow64},
      {"HKEY_LOCAL_MACHINE", "Software\\Classes\\txtfile\\shell\\open\\command", Readers::NativeAndWow64},
      {"HKEY_CLASSES_ROOT", "CLSID\\{x}\\InprocServer32", Readers::Native},
      {"HKEY_CLASSES_ROOT", "Interface\\{x}", Readers::Native},
      {"HKEY_CLASSES_ROOT", "wow6432node\\CLSID\\{x}\\InprocServer32", Readers::NativeAndWow64},
      {"HKEY_CLASSES_ROOT", ".txt\\ShellEx\\{x}", Readers::NativeAndWow64},
      {"HKEY_CURRENT_USER", "Software\\Vendor\\Product", Readers::NativeAndWow64},
      {"HKEY_CURRENT_USER", "Software\\Classes\\CLSID\\{x}", Readers::Native},
      {"HKEY_USERS", "S-1-5-21-1-1000_Classes\\CLSID\\{x}", Readers::Native},
      {"HKEY_USERS", "S-1-5-21-1-1000\\Software\\Vendor", Readers::NativeAndWow64},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadersOf(c.root, c.path), c.readers) << c.root << "\\" << c.path;
}

}  // namespace
}  // namespace tamrisk
