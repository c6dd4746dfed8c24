// The options store on a real "options.ini" through GetPrivateProfileStringA and
// WritePrivateProfileStringA, in a folder of the test's own.
#include <gtest/gtest.h>

#include <string>

#include "platform/RegistryAccess.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Wide.h"
#include "settings/RegGlobal.h"
#include "settings/tests/OddOptionsFile.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

// The real system, except that the program's folder is the test's own.
class RedirectedSystem final : public SystemInfo {
 public:
  RedirectedSystem(SystemInfo& inner, std::string folder) : inner_(inner), folder_(std::move(folder)) {}
  std::optional<std::string> ExpandEnvironment(const std::string& text, std::size_t bufferSize) override {
    return inner_.ExpandEnvironment(text, bufferSize);
  }
  std::string SpecialFolder(int csidl) override { return inner_.SpecialFolder(csidl); }
  VersionInfo Version() override { return inner_.Version(); }
  std::string CurrentUserSid() override { return inner_.CurrentUserSid(); }
  std::string ExecutableFolder() override { return folder_; }
  LocalDateTime Now() override { return inner_.Now(); }
  std::string WindowsFolder() override { return inner_.WindowsFolder(); }

 private:
  SystemInfo& inner_;
  std::string folder_;
};

class RegGlobalWinTest : public ::testing::Test {
 protected:
  RegGlobalWinTest()
      : folder_(test::FreshFolder(test::UniqueName("options"))),
        system_(real_.system, folder_ + "\\"),
        platform_{real_.registry, real_.files, system_, real_.ini, real_.shell} {}
  ~RegGlobalWinTest() override { test::RemoveFolder(folder_); }

  std::string IniPath() const { return folder_ + "\\options.ini"; }

  std::string folder_;
  win32::Win32Platform real_;
  RedirectedSystem system_;
  Platform platform_;
};

TEST_F(RegGlobalWinTest, SavedFileLoadsBackIdentically) {
  TOptionsSetting saved;
  saved.OutputDirectory = "C:\\My Backups\\Registry";
  saved.DeleteBackupFile = false;
  saved.IncludeRemoveMedia = true;
  saved.IgnoreValues = {"HKEY_LOCAL_MACHINE\\Software\\X\\Run\\Tool", "HKEY_CLASSES_ROOT\\.txt\\@",
                        "HKEY_CURRENT_USER\\Software\\Dup", "HKEY_CURRENT_USER\\Software\\Dup"};
  saved.IgnoreValueCount = 4;
  saved.IgnoreKeys = {"Software\\Vendor=Odd;Name", "HKEY_USERS\\.DEFAULT"};
  saved.IgnoreKeyCount = 2;
  TNodeChecks tree;
  tree.Fill(true);
  tree[2] = false;
  tree[17] = false;
  SaveOptions(platform_, tree, WindowSnapshot{1, {-8, 20, 700, 540}}, saved);

  TOptionsSetting loaded;
  const std::optional<WindowBounds> bounds = LoadOptions(platform_, test::kDesignedWindow, loaded);
  EXPECT_EQ(loaded, saved);
  ASSERT_TRUE(bounds);
  EXPECT_EQ(*bounds, (WindowBounds{-8, 20, 700, 540}));

  // A second save with a maximized window and a shorter list.
  saved.IgnoreValues.resize(1);
  saved.IgnoreValueCount = 1;
  SaveOptions(platform_, tree, WindowSnapshot{3, {0, 0, 1280, 1000}}, saved);
  const std::string text = test::ReadTextFile(IniPath());
  EXPECT_NE(text.find("Value4=HKEY_CURRENT_USER\\Software\\Dup"), std::string::npos) << text;
  const std::size_t options = text.find("[Options]"), nodes = text.find("[TreeViewNodeCheck]"),
                    values = text.find("[IgnoreValue]"), keys = text.find("[IgnoreKey]"),
                    window = text.find("[Window]");
  EXPECT_TRUE(options < nodes && nodes < values && values < keys && keys < window) << text;
  EXPECT_FALSE(LoadOptions(platform_, test::kDesignedWindow, loaded)) << "maximized: the bounds stay unread";
  saved.WindowState = wsMaximized;
  EXPECT_EQ(loaded, saved);
}

TEST_F(RegGlobalWinTest, HandWrittenFileWithOddValuesLoadsAsOnTheMemoryIni) {
  ASSERT_TRUE(test::WriteTextFile(IniPath(), test::kOddOptionsFile));
  TOptionsSetting options;
  const std::optional<WindowBounds> bounds = LoadOptions(platform_, test::kDesignedWindow, options);
  test::ExpectOddOptionsLoaded(options, bounds, folder_ + "\\");
}

TEST_F(RegGlobalWinTest, MissingFileGivesTheDefaults) {
  TOptionsSetting options;
  const std::optional<WindowBounds> bounds = LoadOptions(platform_, test::kDesignedWindow, options);
  EXPECT_EQ(options.OutputDirectory, folder_ + "\\Backup");
  EXPECT_TRUE(options.DeleteBackupFile);
  ASSERT_TRUE(bounds);
  EXPECT_EQ(*bounds, (WindowBounds{298, 252, 684, 520}));
}

TEST_F(RegGlobalWinTest, LongTextsAreReadUpTo2047Characters) {
  const std::string longText(3000, 'x');
  ASSERT_TRUE(test::WriteTextFile(IniPath(), "[Options]\r\nOutputDirectory=" + longText + "\r\n"));
  TOptionsSetting options;
  LoadOptions(platform_, test::kDesignedWindow, options);
  EXPECT_EQ(options.OutputDirectory, longText.substr(0, 2047));
}

// A program folder this process cannot write in (here: one that is not there) sends the settings to
// the local application data folder, made when missing, as for a standard user's copy in Program Files.
TEST_F(RegGlobalWinTest, AFolderThatCannotBeWrittenSendsTheSettingsToLocalAppData) {
  RedirectedSystem gone(real_.system, folder_ + "\\missing\\");
  const Platform platform{real_.registry, real_.files, gone, real_.ini, real_.shell};
  ASSERT_TRUE(real_.files.FolderIsWritable(folder_));
  const std::string local = real_.system.SpecialFolder(csidl::LocalAppData);
  ASSERT_FALSE(local.empty());
  const std::string ini = local + "\\Tamrisk\\options.ini";
  ShellDeleteFile(platform, ini);
  EXPECT_EQ(SettingsFilePath(platform), ini);
  TOptionsSetting options;
  SaveOptions(platform, TNodeChecks{}, WindowSnapshot{1, {}}, options);
  EXPECT_TRUE(real_.files.PathIsFile(ini));
  EXPECT_FALSE(real_.files.PathIsFolder(folder_ + "\\missing"));
  ShellDeleteFile(platform, ini);
}

// Another program holding options.ini open without sharing it (an editor, a backup or a virus scanner)
// makes every profile read give its default: the load says so, and no save replaces the file.
TEST_F(RegGlobalWinTest, AFileLockedByAnotherProgramGivesDefaultsAndIsNotSavedOver) {
  const std::string text = "[Options]\r\nOutputDirectory=C:\\Kept\r\n[IgnoreKey]\r\nCount=1\r\nKey1=Vendor\r\n";
  ASSERT_TRUE(test::WriteTextFile(IniPath(), text));
  TOptionsSetting options;
  {
    const win32::UniqueFileHandle lock(::CreateFileW(win32::Wide(IniPath()).c_str(), GENERIC_READ, 0, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    LoadOptions(platform_, test::kDesignedWindow, options);
    EXPECT_FALSE(options.Unreadable.empty());
    EXPECT_EQ(options.IgnoreKeyCount, 0);
  }
  EXPECT_THROW(SaveOptions(platform_, TNodeChecks{}, WindowSnapshot{1, {}}, options), SettingsReadError);
  std::string after;
  ASSERT_TRUE(real_.files.ReadFile(IniPath(), after, nullptr));
  EXPECT_EQ(after, text);
}

TEST_F(RegGlobalWinTest, WriteUserRegistryTextReachesTheRealRegistry) {
  const std::string key = "Software\\" + test::UniqueName("tamrisk") + "\\Applets\\Regedit";
  WriteUserRegistryText(platform_, key, "LastKey", "HKEY_LOCAL_MACHINE\\Software");
  RegistryAccess registry(real_.registry);
  ASSERT_TRUE(registry.OpenPath(key, false));
  EXPECT_EQ(registry.ReadText("LastKey"), "HKEY_LOCAL_MACHINE\\Software");
  registry.ClosePath();
  test::DeleteKeyTree(RootKey::CurrentUser, "Software\\" + test::UniqueName("tamrisk"));
}

}  // namespace
}  // namespace tamrisk
