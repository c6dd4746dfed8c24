// The options store and its file, and the small shared operations, on the memory platform.
#include "settings/RegGlobal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "platform/memory/MemoryPlatform.h"
#include "settings/tests/OddOptionsFile.h"

namespace tamrisk {
namespace {

constexpr const char* kFolder = "C:\\Program Files\\Tamrisk\\";
constexpr const char* kIniPath = "C:\\Program Files\\Tamrisk\\options.ini";
constexpr WindowMetrics kWindow = test::kDesignedWindow;

TNodeChecks AllChecks(bool checked) {
  TNodeChecks checks;
  checks.Fill(checked);
  return checks;
}

class OptionsStoreTest : public ::testing::Test {
 protected:
  OptionsStoreTest() {
    memory.system.SetExecutableFolder(kFolder);
    memory.files.AddFolder(kFolder);
  }

  std::string IniText() const { return memory.files.Contents(kIniPath).value_or(""); }
  void WriteIni(const std::string& text) { memory.files.AddFile(kIniPath, text); }
  std::optional<WindowBounds> Load(TOptionsSetting& options, const WindowMetrics& window = kWindow) {
    return LoadOptions(memory.platform, window, options);
  }

  MemoryPlatform memory;
};

TEST_F(OptionsStoreTest, MissingFileGivesEveryDefault) {
  TOptionsSetting options;
  const std::optional<WindowBounds> bounds = Load(options);
  EXPECT_EQ(options.OutputDirectory, "C:\\Program Files\\Tamrisk\\Backup");
  EXPECT_TRUE(options.DeleteBackupFile);
  EXPECT_FALSE(options.IncludeRemoveMedia);
  EXPECT_FALSE(options.IncludeCDdrive);
  EXPECT_EQ(options.TreeViewNodeCheck, AllChecks(true));
  EXPECT_EQ(options.IgnoreValueCount, 0);
  EXPECT_TRUE(options.IgnoreValues.empty());
  EXPECT_EQ(options.IgnoreKeyCount, 0);
  EXPECT_TRUE(options.IgnoreKeys.empty());
  EXPECT_EQ(options.WindowState, wsNormal);
  ASSERT_TRUE(bounds);
  EXPECT_EQ(*bounds, (WindowBounds{298, 252, 684, 520})) << "centred at the designed size";
  EXPECT_FALSE(memory.files.Exists(kIniPath)) << "loading makes no file";
}

TEST_F(OptionsStoreTest, CentringTruncatesTowardZeroOnScreensSmallerThanTheWindow) {
  TOptionsSetting options;
  const std::optional<WindowBounds> bounds = Load(options, WindowMetrics{684, 520, 599, 401});
  ASSERT_TRUE(bounds);
  EXPECT_EQ(*bounds, (WindowBounds{-42, -59, 684, 520}));
}

TEST_F(OptionsStoreTest, SavedOptionsLoadBackIdentically) {
  TOptionsSetting saved;
  saved.OutputDirectory = "D:\\My Backups\\Registry";
  saved.DeleteBackupFile = false;
  saved.IncludeRemoveMedia = true;
  saved.IncludeCDdrive = true;
  saved.IgnoreValues = {"HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool", "HKEY_CLASSES_ROOT\\.txt\\@",
                        "HKEY_CURRENT_USER\\Software\\Dup", "HKEY_CURRENT_USER\\Software\\Dup"};
  saved.IgnoreValueCount = 4;
  saved.IgnoreKeys = {"Software\\Vendor", "HKEY_USERS\\.DEFAULT"};
  saved.IgnoreKeyCount = 2;
  TNodeChecks tree = AllChecks(true);
  tree[1] = false;
  tree[5] = false;
  tree[22] = false;
  SaveOptions(memory.platform, tree, WindowSnapshot{1, {10, 20, 700, 540}}, saved);
  EXPECT_EQ(saved.TreeViewNodeCheck, tree) << "the tree's states are taken into the record";

  TOptionsSetting loaded;
  const std::optional<WindowBounds> bounds = Load(loaded);
  EXPECT_EQ(loaded, saved);
  ASSERT_TRUE(bounds);
  EXPECT_EQ(*bounds, (WindowBounds{10, 20, 700, 540}));
}

TEST_F(OptionsStoreTest, SaveWritesSectionsAndKeysInOrder) {
  TOptionsSetting options;
  options.OutputDirectory = "C:\\B";
  options.Language = "fr";
  options.IgnoreValues = {"V"};
  options.IgnoreValueCount = 1;
  options.IgnoreKeys = {"K"};
  options.IgnoreKeyCount = 1;
  SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{3, {1, 2, 3, 4}}, options);
  std::string expected =
      "[Options]\r\nOutputDirectory=C:\\B\r\nDeleteBackupFile=0\r\nIncludeRemoveMedia=0\r\nIncludeCDdrive=0\r\n"
      "Language=fr\r\n[TreeViewNodeCheck]\r\n";
  for (int n = 1; n <= TNodeChecks::Last; ++n) expected += std::to_string(n) + "=1\r\n";
  expected +=
      "[IgnoreValue]\r\nCount=1\r\nValue1=V\r\n[IgnoreKey]\r\nCount=1\r\nKey1=K\r\n"
      "[Window]\r\nState=3\r\nLeft=1\r\nTop=2\r\nWidth=3\r\nHeight=4\r\n";
  EXPECT_EQ(IniText(), expected);
}

// A file saved before categories 23 to 27 existed: they come ticked, and a save keeps its keys in
// their order and adds the new ones after them.
TEST_F(OptionsStoreTest, AnOlderFileTicksTheCategoriesItDoesNotName) {
  std::string older = "[TreeViewNodeCheck]\r\n";
  for (int n = 1; n <= 22; ++n) older += std::to_string(n) + (n == 6 || n == 22 ? "=0\r\n" : "=1\r\n");
  WriteIni(older);
  TOptionsSetting options;
  Load(options);
  for (int n = 1; n <= TNodeChecks::Last; ++n) EXPECT_EQ(options.TreeViewNodeCheck[n], n != 6 && n != 22) << n;
  EXPECT_EQ(options.Language, "") << "no choice stored: the language of Windows";

  SaveOptionsWithoutWindow(memory.platform, options);
  std::string saved = older;
  for (int n = 23; n <= TNodeChecks::Last; ++n) saved += std::to_string(n) + "=1\r\n";
  EXPECT_EQ(IniText().substr(0, saved.size()), saved);
}

TEST_F(OptionsStoreTest, StateIsWrittenOnlyWhenThePlacementWasRead) {
  WriteIni("[Window]\r\nState=3\r\n");
  TOptionsSetting options;
  SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{std::nullopt, {5, 6, 7, 8}}, options);
  EXPECT_NE(IniText().find("State=3\r\nLeft=5\r\nTop=6\r\nWidth=7\r\nHeight=8"), std::string::npos) << IniText();
}

TEST_F(OptionsStoreTest, ShorterListLeavesOldNumberedKeysUnread) {
  TOptionsSetting options;
  options.IgnoreValues = {"A", "B", "C", "D", "E"};
  options.IgnoreValueCount = 5;
  SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{1, {}}, options);
  options.IgnoreValues = {"X", "Y", "Z"};
  options.IgnoreValueCount = 3;
  SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{1, {}}, options);
  const std::string text = IniText();
  EXPECT_NE(text.find("Count=3\r\n"), std::string::npos);
  EXPECT_NE(text.find("Value4=D\r\n"), std::string::npos);
  EXPECT_NE(text.find("Value5=E\r\n"), std::string::npos);
  TOptionsSetting loaded;
  Load(loaded);
  EXPECT_EQ(loaded.IgnoreValueCount, 3);
  EXPECT_EQ(loaded.IgnoreValues, (std::vector<std::string>{"X", "Y", "Z"}));
}

TEST_F(OptionsStoreTest, SaveNeverWritesMoreEntriesThanTheListHolds) {
  struct Case {
    std::int32_t count;
    std::vector<std::string> list;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {2, {"A", "B", "C"}, "[IgnoreKey]\r\nCount=2\r\nKey1=A\r\nKey2=B\r\n["},
      {5, {"A"}, "[IgnoreKey]\r\nCount=1\r\nKey1=A\r\n["},
      {-3, {"A"}, "[IgnoreKey]\r\nCount=-3\r\n["},
  };
  for (const Case& c : cases) {
    memory.files.ShellDelete(kIniPath, false);
    TOptionsSetting options;
    options.IgnoreKeys = c.list;
    options.IgnoreKeyCount = c.count;
    SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{1, {}}, options);
    EXPECT_NE(IniText().find(c.expected), std::string::npos) << c.count << "\n" << IniText();
  }
}

TEST_F(OptionsStoreTest, OddValuesLoadToTheirDefaultsOrNumbers) {
  WriteIni(test::kOddOptionsFile);
  TOptionsSetting options;
  const std::optional<WindowBounds> bounds = Load(options);
  test::ExpectOddOptionsLoaded(options, bounds, kFolder);
}

TEST_F(OptionsStoreTest, EmptyBackupFolderFallsBackToTheDefault) {
  // Left empty, the repair would write its backups to the root of the current drive.
  WriteIni("[Options]\r\nOutputDirectory=\r\n");
  TOptionsSetting options;
  Load(options);
  EXPECT_EQ(options.OutputDirectory, "C:\\Program Files\\Tamrisk\\Backup");
}

TEST_F(OptionsStoreTest, MaximizedStateLeavesTheBoundsUnread) {
  for (const char* state : {"3", "0x3", "0X03"}) {
    WriteIni(std::string("[Window]\r\nState=") + state + "\r\nLeft=10\r\nTop=20\r\nWidth=30\r\nHeight=40\r\n");
    TOptionsSetting options;
    EXPECT_FALSE(Load(options)) << state;
    EXPECT_EQ(options.WindowState, wsMaximized) << state;
  }
}

TEST_F(OptionsStoreTest, StoredBoundsApplyAsTheyAreWithoutCheck) {
  WriteIni("[Window]\r\nState=1\r\nLeft=10\r\nTop=20\r\n");
  TOptionsSetting options;
  EXPECT_EQ(Load(options), (WindowBounds{10, 20, 684, 520}));
  WriteIni("[Window]\r\nLeft=-5000\r\nTop=90000\r\nWidth=0\r\nHeight=-1\r\n");
  EXPECT_EQ(Load(options), (WindowBounds{-5000, 90000, 0, -1}));
}

TEST_F(OptionsStoreTest, TextsAreReadUpTo2047Characters) {
  const std::string longText(3000, 'x');
  WriteIni("[Options]\r\nOutputDirectory=" + longText + "\r\n[IgnoreKey]\r\nCount=1\r\nKey1=" + longText + "\r\n");
  TOptionsSetting options;
  Load(options);
  EXPECT_EQ(options.OutputDirectory, longText.substr(0, 2047));
  ASSERT_EQ(options.IgnoreKeys.size(), 1u);
  EXPECT_EQ(options.IgnoreKeys[0], longText.substr(0, 2047));
}

TEST_F(OptionsStoreTest, HugeCountIsCappedAndTravelsWithTheList) {
  WriteIni("[IgnoreValue]\r\nCount=2147483647\r\nValue1=first\r\n");
  TOptionsSetting options;
  Load(options);
  EXPECT_EQ(options.IgnoreValueCount, kMaxIgnoreEntries);
  ASSERT_EQ(options.IgnoreValues.size(), static_cast<std::size_t>(kMaxIgnoreEntries));
  EXPECT_EQ(options.IgnoreValues.front(), "first");
}

// Refuses every write from the n-th on, as a read-only or locked file would.
class FailingIni final : public IniFile {
 public:
  FailingIni(IniFile& inner, int failFrom) : inner_(inner), failFrom_(failFrom) {}
  std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback, std::size_t maxChars) override {
    return inner_.ReadString(file, section, key, fallback, maxChars);
  }
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    return ++writes_ < failFrom_ && inner_.WriteString(file, section, key, value);
  }

 private:
  IniFile& inner_;
  int failFrom_;
  int writes_ = 0;
};

TEST_F(OptionsStoreTest, FailedWriteStopsTheSaveAndKeepsWhatWasWritten) {
  FailingIni failing(memory.ini, 5);  // the fifth write is the first tree node
  const Platform platform{memory.registry, memory.files, memory.system, failing, memory.shell};
  TOptionsSetting options;
  options.OutputDirectory = "C:\\B";
  try {
    SaveOptions(platform, AllChecks(true), WindowSnapshot{1, {}}, options);
    FAIL() << "no error";
  } catch (const SettingsWriteError& error) {
    EXPECT_STREQ(error.what(), "Unable to write to C:\\Program Files\\Tamrisk\\options.ini");
  }
  EXPECT_EQ(IniText(),
            "[Options]\r\nOutputDirectory=C:\\B\r\nDeleteBackupFile=0\r\nIncludeRemoveMedia=0\r\n"
            "IncludeCDdrive=0\r\n");
}

TEST_F(OptionsStoreTest, ASaveThatCannotReadTheFileLeavesItUntouched) {
  // The file's text is everything the user set: a write that could not read it must not replace it.
  const std::string text = "[Options]\r\nOutputDirectory=C:\\Kept\r\n[IgnoreKey]\r\nCount=1\r\nKey1=Vendor\r\n";
  WriteIni(text + std::string(70000, ';'));
  memory.files.FailRead(2);  // part-way through the file
  TOptionsSetting options;
  EXPECT_THROW(SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{1, {}}, options), SettingsReadError);
  EXPECT_EQ(IniText(), text + std::string(70000, ';'));
}

// A file that is there but cannot be read whole gives the defaults, says why, and is never saved
// over: the next save would write Count=0 over the user's ignore lists. A missing file is no error.
TEST_F(OptionsStoreTest, AFileThatCannotBeReadWholeGivesDefaultsAndIsNeverSavedOver) {
  const std::string kept = "[Options]\r\nOutputDirectory=C:\\Kept\r\n[IgnoreKey]\r\nCount=1\r\nKey1=Vendor\r\n";
  const std::string utf16 = std::string("\xFF\xFE[\0O\0]\0", 8);
  struct Case {
    const char* what;
    std::optional<std::string> text;  // nullopt: no file
    std::size_t failingRead;          // 0: every read succeeds
    const char* why;                  // "" when it is read
  } cases[] = {
      {"no file", std::nullopt, 0, ""},
      {"a readable file", kept, 0, ""},
      {"a read that fails", kept, 1, "device"},
      {"a NUL left by a power loss", kept + std::string(4, '\0'), 0, "damaged"},
      {"UTF-16 cut in half", utf16 + "x", 0, "damaged"},
      {"a NUL character in UTF-16", utf16 + std::string(2, '\0'), 0, "damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform env;
    env.system.SetExecutableFolder(kFolder);
    env.files.AddFolder(kFolder);
    if (c.text) env.files.AddFile(kIniPath, *c.text);
    env.files.FailRead(c.failingRead);
    TOptionsSetting options;
    LoadOptions(env.platform, kWindow, options);
    EXPECT_NE(options.Unreadable.find(c.why), std::string::npos) << options.Unreadable;
    EXPECT_EQ(options.Unreadable.empty(), *c.why == '\0');
    if (*c.why == '\0') continue;
    TOptionsSetting defaults;
    defaults.OutputDirectory = std::string(kFolder) + "Backup";
    defaults.DeleteBackupFile = true;
    defaults.TreeViewNodeCheck = AllChecks(true);
    defaults.Unreadable = options.Unreadable;
    EXPECT_EQ(options, defaults);
    EXPECT_THROW(SaveOptions(env.platform, AllChecks(true), WindowSnapshot{1, {}}, options), SettingsReadError);
    EXPECT_THROW(SaveOptionsWithoutWindow(env.platform, options), SettingsReadError);
    // The pane layout alone is saved over a file that reads whole again; the window saves it only
    // after the options, which stay unsaved.
    if (c.failingRead == 0) {
      EXPECT_THROW(SavePaneLayout(env.platform, PaneLayout{}), SettingsReadError);
    }
    EXPECT_EQ(env.files.Contents(kIniPath), c.text);
  }
}

// The profile functions open the file again for each key: a file another program rewrites while the
// keys are read gives some keys one file's values and others the other's. The load takes neither.
TEST_F(OptionsStoreTest, AFileChangedWhileItsKeysAreReadGivesEveryDefault) {
  class RewritingIni final : public IniFile {
   public:
    RewritingIni(IniFile& inner, MemoryFileSystem& files) : inner_(inner), files_(files) {}
    std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& fallback, std::size_t maxChars) override {
      if (key == "Count") files_.AddFile(kIniPath, "[IgnoreKey]\r\nCount=0\r\n");
      return inner_.ReadString(file, section, key, fallback, maxChars);
    }
    bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override {
      return inner_.WriteString(file, section, key, value);
    }

   private:
    IniFile& inner_;
    MemoryFileSystem& files_;
  };
  WriteIni("[Options]\r\nLanguage=de\r\n[IgnoreKey]\r\nCount=1\r\nKey1=Vendor\r\n");
  RewritingIni rewriting(memory.ini, memory.files);
  const Platform platform{memory.registry, memory.files, memory.system, rewriting, memory.shell};
  TOptionsSetting options;
  LoadOptions(platform, kWindow, options);
  EXPECT_EQ(options.Unreadable, "it changed while it was read");
  EXPECT_EQ(options.Language, "");
  EXPECT_THROW(SaveOptionsWithoutWindow(platform, options), SettingsReadError);
}

TEST_F(OptionsStoreTest, AFileDamagedAfterTheLoadIsNotSavedOver) {
  WriteIni("[Options]\r\nLanguage=de\r\n");
  TOptionsSetting options;
  Load(options);
  ASSERT_TRUE(options.Unreadable.empty());
  WriteIni(std::string("[Opt\0", 5));
  try {
    SaveOptionsWithoutWindow(memory.platform, options);
    FAIL() << "saved";
  } catch (const SettingsReadError& error) {
    EXPECT_EQ(error.phrase().arguments.at(0).text, kIniPath);
    EXPECT_STREQ(error.what(),
                 "Unable to read C:\\Program Files\\Tamrisk\\options.ini: its text is damaged (it "
                 "holds NUL characters)");
  }
  EXPECT_EQ(IniText(), std::string("[Opt\0", 5));
}

TEST_F(OptionsStoreTest, IgnoreListsTakeCountEntries) {
  TOptionsSetting options;
  options.IgnoreValues = {"a", "b", "c"};
  options.IgnoreValueCount = 2;
  options.IgnoreKeys = {"k"};
  options.IgnoreKeyCount = -1;
  EXPECT_EQ(IgnoredValues(options), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(IgnoredKeys(options).empty());
}

TEST(SharedOperationsTest, TwoDigits) {
  const std::vector<std::pair<int, std::string>> cases = {{0, "00"},  {7, "07"},  {9, "09"},     {10, "10"},
                                                          {12, "12"}, {59, "59"}, {2006, "2006"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(TwoDigits(n), text) << n;
}

TEST(SharedOperationsTest, ShellDeleteFileRemovesOutright) {
  MemoryPlatform memory;
  memory.files.AddFile("C:\\Backup\\Backup20061231235959.reg", "REGEDIT4");
  EXPECT_TRUE(ShellDeleteFile(memory.platform, "C:\\Backup\\Backup20061231235959.reg"));
  EXPECT_FALSE(memory.files.Exists("C:\\Backup\\Backup20061231235959.reg"));
  EXPECT_TRUE(memory.files.RecycledPaths().empty());
  EXPECT_FALSE(ShellDeleteFile(memory.platform, "C:\\Backup\\Missing.reg"));
}

TEST(SharedOperationsTest, WriteUserRegistryTextMakesTheKey) {
  MemoryPlatform memory;
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  WriteUserRegistryText(memory.platform, key, "LastKey", "HKEY_LOCAL_MACHINE\\Software");
  const std::optional<RegValue> value = memory.registry.GetValue(RootKey::CurrentUser, key, "LastKey");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, regtype::String);
  EXPECT_EQ(value->data, Utf16BytesOf("HKEY_LOCAL_MACHINE\\Software"));
  EXPECT_EQ(memory.registry.OpenHandleCount(), 0u);
}

TEST(SharedOperationsTest, WriteUserRegistryTextWritesNothingWhenTheKeyCannotBeOpened) {
  MemoryPlatform memory;
  memory.registry.DenyRights(RootKey::CurrentUser, "Software\\Locked", 0x2);  // KEY_SET_VALUE
  EXPECT_NO_THROW(WriteUserRegistryText(memory.platform, "Software\\Locked", "LastKey", "x"));
  EXPECT_FALSE(memory.registry.GetValue(RootKey::CurrentUser, "Software\\Locked", "LastKey"));
  EXPECT_EQ(memory.registry.OpenHandleCount(), 0u);
}

TEST(SharedOperationsTest, SelectDirectoryAsksForAFileSystemFolder) {
  MemoryPlatform memory;
  memory.shell.QueueFolderAnswer(std::string("D:\\Backups"));
  memory.shell.QueueFolderAnswer(std::nullopt);
  std::string path = "old";
  EXPECT_TRUE(SelectDirectory(memory.platform, 0x42, "Pick one", path));
  EXPECT_EQ(path, "D:\\Backups");
  EXPECT_FALSE(SelectDirectory(memory.platform, 0x42, "Pick one", path));
  EXPECT_EQ(path, "");
  const std::vector<FolderPickCall> picks = memory.shell.FolderPicks();
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[0].owner, 0x42u);
  EXPECT_EQ(picks[0].title, "Pick one");
  EXPECT_EQ(picks[0].startPath, "");
}

// options.ini, Tamrisk.log and Backup stay beside the program wherever it may write there (a portable
// copy, an administrator's run of an installed one); a standard user's run of a copy in Program Files
// keeps them in the local application data folder.
TEST(SettingsFolder, BesideTheProgramWhenItsFolderIsWritableElseInLocalAppData) {
  constexpr const char* kLocal = "C:\\Users\\ann\\AppData\\Local";
  struct Case {
    const char* what;
    const char* program;
    bool writable;
    const char* localAppData;
    const char* expected;
  } cases[] = {
      {"installed, writable", "C:\\Program Files\\Tamrisk\\", true, kLocal, "C:\\Program Files\\Tamrisk\\"},
      {"installed, not writable", "C:\\Program Files\\Tamrisk\\", false, kLocal,
       "C:\\Users\\ann\\AppData\\Local\\Tamrisk\\"},
      {"portable copy", "E:\\Tools\\Tamrisk\\", true, kLocal, "E:\\Tools\\Tamrisk\\"},
      {"portable copy, read-only medium", "E:\\Tools\\Tamrisk\\", false, "C:\\Users\\ann\\AppData\\Local\\",
       "C:\\Users\\ann\\AppData\\Local\\Tamrisk\\"},
      {"not writable, no local folder known", "C:\\Program Files\\Tamrisk\\", false, "",
       "C:\\Program Files\\Tamrisk\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform memory;
    memory.system.SetExecutableFolder(c.program);
    memory.files.AddFolder(c.program);
    memory.files.SetWriteProtected(c.program, !c.writable);
    memory.files.AddFolder(kLocal);
    memory.system.SetSpecialFolder(csidl::LocalAppData, c.localAppData);
    EXPECT_EQ(SettingsFolder(memory.platform), c.expected);
    EXPECT_EQ(SettingsFilePath(memory.platform), std::string(c.expected) + "options.ini");
    // The folder is there to write in: a first save of the options succeeds, unless no folder is.
    TOptionsSetting options;
    LoadOptions(memory.platform, kWindow, options);
    EXPECT_EQ(options.OutputDirectory, std::string(c.expected) + "Backup");
    if (c.writable || *c.localAppData != '\0') {
      EXPECT_NO_THROW(SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{}, options));
      EXPECT_TRUE(memory.files.Exists(std::string(c.expected) + "options.ini"));
    } else {
      EXPECT_THROW(SaveOptions(memory.platform, AllChecks(true), WindowSnapshot{}, options), SettingsWriteError);
    }
  }
}

}  // namespace
}  // namespace tamrisk
