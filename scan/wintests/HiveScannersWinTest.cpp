// The hive walk and the scanners of codes 3 to 5 and 14 to 22 on the real registry, files and shell
// links of the Wine prefix. Every key, value and file carries the test's unique name, and only rows
// that mention it are looked at: other tests run beside these on the same prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32System.h"
#include "scan/ProblemRow.h"
#include "testkit/ScanHarness.h"
#include "testkit/WinFixture.h"

namespace tamrisk {

namespace {

using test::Row;
using test::RowsMentioning;
using test::ToHkey;

// Rows that mention marker in either column: the kinds that keep an entry's name in the Value column
// show a shared key in the other.
std::vector<ProblemRow> AnyColumnMentioning(const std::vector<ProblemRow>& rows, const std::string& marker) {
  std::vector<ProblemRow> mine;
  for (const ProblemRow& row : rows) {
    if (FindNoCase(row.value, marker) != std::string::npos ||
        FindNoCase(row.registryKey, marker) != std::string::npos) {
      mine.push_back(row);
    }
  }
  return mine;
}

class HiveScannersWin : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = test::UniqueName("h4");
    folder_ = test::FreshFolder(name_);
  }

  void TearDown() override {
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) test::DeleteKeyTree(it->first, it->second);
    for (const auto& [key, value] : values_) {
      HKEY opened = nullptr;
      if (::RegOpenKeyExA(ToHkey(key.first), key.second.c_str(), 0, KEY_SET_VALUE, &opened) == ERROR_SUCCESS) {
        win32::UniqueRegKey owner(opened);
        ::RegDeleteValueA(opened, value.c_str());
      }
    }
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
      if (!::DeleteFileA(it->c_str())) test::RemoveFolder(*it);
    }
    test::RemoveFolder(folder_);
  }

  // A key made by this test, removed with its subtree at the end.
  void OwnKey(RootKey root, const std::string& path) { keys_.emplace_back(root, path); }
  // A value this test adds to a key it shares with others; only the value is removed at the end.
  void OwnValue(RootKey root, const std::string& path, const std::string& name) {
    values_.push_back({{root, path}, name});
  }

  static void SetRaw(RootKey root, const std::string& path, const std::string& name, DWORD type, const void* data,
                     DWORD size) {
    HKEY opened = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(ToHkey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
              ERROR_SUCCESS)
        << path;
    win32::UniqueRegKey owner(opened);
    ASSERT_EQ(::RegSetValueExA(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  static void SetText(RootKey root, const std::string& path, const std::string& name, const std::string& text,
                      DWORD type = REG_SZ) {
    SetRaw(root, path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  static void SetNumber(RootKey root, const std::string& path, const std::string& name, DWORD number) {
    SetRaw(root, path, name, REG_DWORD, &number, sizeof number);
  }
  static void MakeKey(RootKey root, const std::string& path) {
    HKEY opened = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(ToHkey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(opened);
  }

  std::string ExistingFile(const std::string& name) {
    const std::string path = folder_ + "\\" + name;
    EXPECT_TRUE(test::WriteTextFile(path, "x"));
    return path;
  }
  std::string ExistingFolder(const std::string& name) {
    const std::string path = folder_ + "\\" + name;
    EXPECT_TRUE(::CreateDirectoryA(path.c_str(), nullptr));
    return path;
  }
  std::string Missing(const std::string& name) const { return folder_ + "\\gone\\" + name; }

  // A real shortcut whose target is gone: made while the target exists (as a program's installer
  // would), then the target is removed (as its uninstaller would).
  std::string ShortcutToRemoved(const std::string& shortcut, const std::string& targetName) {
    const std::string removed = folder_ + "\\removed";
    ::CreateDirectoryA(removed.c_str(), nullptr);
    const std::string target = removed + "\\" + targetName;
    EXPECT_TRUE(test::WriteTextFile(target, "x"));
    EXPECT_TRUE(test::MakeShortcut(shortcut, target));
    files_.push_back(shortcut);
    EXPECT_TRUE(::DeleteFileA(target.c_str()));
    return target;
  }
  void ShortcutTo(const std::string& shortcut, const std::string& target) {
    ASSERT_TRUE(test::MakeShortcut(shortcut, target));
    files_.push_back(shortcut);
  }

  test::ScanResult Scan(const std::vector<std::string>& codes) {
    return test::WithoutReasons(test::RunScan(env_.platform, codes, "c"));
  }

  win32::Win32Platform env_;
  std::string name_;
  std::string folder_;
  std::vector<std::pair<RootKey, std::string>> keys_;
  std::vector<std::pair<std::pair<RootKey, std::string>, std::string>> values_;
  std::vector<std::string> files_;
};

TEST_F(HiveScannersWin, CurrentUserAndUsersWalksReportOnlyMissingStringReferences) {
  const std::string key = "Software\\" + name_;
  OwnKey(RootKey::CurrentUser, key);
  const std::string gone = Missing("app.exe");
  SetText(RootKey::CurrentUser, key, "Path", gone);
  SetText(RootKey::CurrentUser, key, "", Missing("default.exe"));
  SetText(RootKey::CurrentUser, key, "C:\\Shared\\lib.dll", Missing("lib.dll"));
  SetText(RootKey::CurrentUser, key, "Expand", Missing("expand.exe"), REG_EXPAND_SZ);
  SetText(RootKey::CurrentUser, key, "Present", ExistingFile("present.exe"));
  SetText(RootKey::CurrentUser, key, "Folder", ExistingFolder("data"));
  SetText(RootKey::CurrentUser, key, "Words", "not a path at all");
  SetNumber(RootKey::CurrentUser, key, "Count", 7);
  const std::string multi = gone + std::string(1, '\0');
  SetRaw(RootKey::CurrentUser, key, "Multi", REG_MULTI_SZ, multi.c_str(), static_cast<DWORD>(multi.size() + 1));
  SetText(RootKey::CurrentUser, key + "\\Deeper", "Icon", Missing("icon.exe"));

  ProblemId problem = ProblemId::InvalidFileOrFolder;
  const std::string hkcu = "HKEY_CURRENT_USER\\" + key;
  const std::vector<ProblemRow> expectedUser = {
      Row(problem, hkcu + "\\Path", gone, rkValueInPath),
      Row(problem, hkcu + "\\", Missing("default.exe"), rkValueInPath),
      Row(problem, hkcu, "C:\\Shared\\lib.dll", rkValueInColumn),
      Row(problem, hkcu + "\\Expand", Missing("expand.exe"), rkValueInPath),
      Row(problem, hkcu + "\\Deeper\\Icon", Missing("icon.exe"), rkValueInPath),
  };
  auto sorted = [](std::vector<ProblemRow> rows) {
    std::sort(rows.begin(), rows.end(), [](const ProblemRow& a, const ProblemRow& b) {
      return a.registryKey + a.value < b.registryKey + b.value;
    });
    return rows;
  };
  // Value order within a key is the registry's; compare as sets, but the parent before the subkey.
  const auto user = RowsMentioning(Scan({"4"}).rows, name_);
  EXPECT_EQ(sorted(user), sorted(expectedUser));
  ASSERT_FALSE(user.empty());
  EXPECT_EQ(user.back().registryKey, hkcu + "\\Deeper\\Icon");

  // The users' walk reaches the same key in the user's own hive and names it as HKEY_CURRENT_USER does.
  EXPECT_EQ(sorted(RowsMentioning(Scan({"5"}).rows, name_)), sorted(expectedUser));
}

TEST_F(HiveScannersWin, LocalMachineWalkSkipsOtherCategoriesKeysAndTheir32BitCopiesButNotLookalikes) {
  const std::string vendor = "Software\\" + name_ + "\\App";
  OwnKey(RootKey::LocalMachine, "Software\\" + name_);
  SetText(RootKey::LocalMachine, vendor, "Path", Missing("app.exe"));
  SetText(RootKey::LocalMachine, vendor, "Here", ExistingFile("here.exe"));

  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  SetText(RootKey::LocalMachine, run, name_, Missing("run.exe"));
  OwnValue(RootKey::LocalMachine, run, name_);
  const std::string lookalike = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce" + name_;
  OwnKey(RootKey::LocalMachine, lookalike);
  SetText(RootKey::LocalMachine, lookalike, "Tool", Missing("tool.exe"));
  const std::string typeLib = "Software\\Classes\\TypeLib\\" + name_;
  OwnKey(RootKey::LocalMachine, typeLib);
  SetText(RootKey::LocalMachine, typeLib + "\\1.0\\0\\win32", "", Missing("lib.dll"));

  const test::ScanResult result = Scan({"3"});
  ASSERT_EQ(result.tasks, std::vector<std::string>{"Scanning Files and Folders - HKEY_LOCAL_MACHINE..."});
  // A 64-bit prefix shows class keys a second time under Wow6432Node: skipped there too.
  std::vector<ProblemRow> mine = RowsMentioning(result.rows, name_);
  std::sort(mine.begin(), mine.end(), [](const ProblemRow& a, const ProblemRow& b) { return a.value < b.value; });
  ProblemId problem = ProblemId::InvalidFileOrFolder;
  EXPECT_EQ(mine, (std::vector<ProblemRow>{
                      Row(problem, "HKEY_LOCAL_MACHINE\\" + vendor + "\\Path", Missing("app.exe"), rkValueInPath),
                      Row(problem, "HKEY_LOCAL_MACHINE\\" + lookalike + "\\Tool", Missing("tool.exe"), rkValueInPath),
                  }));
}

TEST_F(HiveScannersWin, SoundSchemesAreTestedByTheirOwnCategoryAndSkippedByTheUserWalk) {
  const std::string event = "AppEvents\\Schemes\\Apps\\" + name_ + "\\Start";
  OwnKey(RootKey::CurrentUser, "AppEvents\\Schemes\\Apps\\" + name_);
  SetText(RootKey::CurrentUser, event + "\\.Current", "", Missing("start.wav"));
  SetText(RootKey::CurrentUser, event + "\\.Default", "", ExistingFile("ding.wav"));
  const std::string sounds = ExistingFolder("sounds");
  SetText(RootKey::CurrentUser, event + "\\Utopia0", "", sounds);
  SetText(RootKey::CurrentUser, event + "\\MyScheme", "", Missing("mine.wav"));
  SetText(RootKey::CurrentUser, event + "\\.None", "", "");

  const std::string hkcu = "HKEY_CURRENT_USER\\" + event;
  EXPECT_EQ(RowsMentioning(Scan({"18"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(ProblemId::MissingSoundFile, hkcu + "\\.Current", Missing("start.wav"), rkDefaultValue),
                Row(ProblemId::MissingSoundFile, hkcu + "\\Utopia0", sounds, rkDefaultValue),
            }));
  EXPECT_TRUE(RowsMentioning(Scan({"4"}).rows, name_).empty());
}

TEST_F(HiveScannersWin, ObsoleteSoftwareReportsEmptyKeysOfBothRootsUserFirst) {
  OwnKey(RootKey::CurrentUser, "Software\\" + name_ + "-empty");
  OwnKey(RootKey::CurrentUser, "Software\\" + name_ + "-chain");
  OwnKey(RootKey::CurrentUser, "Software\\" + name_ + "-two");
  OwnKey(RootKey::CurrentUser, "Software\\" + name_ + "-default");
  OwnKey(RootKey::LocalMachine, "Software\\" + name_ + "-machine");
  MakeKey(RootKey::CurrentUser, "Software\\" + name_ + "-empty");
  MakeKey(RootKey::CurrentUser, "Software\\" + name_ + "-chain\\Only");
  MakeKey(RootKey::CurrentUser, "Software\\" + name_ + "-two\\A");
  MakeKey(RootKey::CurrentUser, "Software\\" + name_ + "-two\\B");
  SetText(RootKey::CurrentUser, "Software\\" + name_ + "-default", "", "");
  MakeKey(RootKey::LocalMachine, "Software\\" + name_ + "-machine");

  const std::vector<ProblemRow> rows = AnyColumnMentioning(Scan({"14"}).rows, name_);
  ProblemId problem = ProblemId::ObsoleteSoftwareKey;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2], Row(problem, "HKEY_LOCAL_MACHINE\\Software", name_ + "-machine", rkSubkeyInColumn));
  std::vector<std::string> userNames = {rows[0].value, rows[1].value};
  std::sort(userNames.begin(), userNames.end());
  EXPECT_EQ(userNames, (std::vector<std::string>{name_ + "-chain", name_ + "-empty"}));
  EXPECT_EQ(rows[0].registryKey, "HKEY_CURRENT_USER\\Software");
}

TEST_F(HiveScannersWin, ServicesWithMissingImagesAreReported) {
  const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
  for (const char* suffix : {"-gone", "-relative", "-here", "-number"})
    OwnKey(RootKey::LocalMachine, services + name_ + suffix);
  SetText(RootKey::LocalMachine, services + name_ + "-gone", "ImagePath", "\"" + Missing("svc.exe") + "\" -service",
          REG_EXPAND_SZ);
  SetText(RootKey::LocalMachine, services + name_ + "-relative", "ImagePath", "system32\\drivers\\gone.sys");
  SetText(RootKey::LocalMachine, services + name_ + "-here", "ImagePath", ExistingFile("svc.exe"));
  SetNumber(RootKey::LocalMachine, services + name_ + "-number", "ImagePath", 1);

  EXPECT_EQ(RowsMentioning(Scan({"15"}).rows, name_),
            (std::vector<ProblemRow>{Row(ProblemId::WindowsServiceIssue,
                                         "HKEY_LOCAL_MACHINE\\" + services + name_ + "-gone\\ImagePath",
                                         "\"" + Missing("svc.exe") + "\" -service", rkValueInPath)}));
}

TEST_F(HiveScannersWin, StartMenuOrderKeysWithoutAProgramsFolderAreReported) {
  const VersionInfo version = env_.system.Version();
  ASSERT_EQ(version.platformId, 2u);
  ASSERT_GE(version.major, 6u) << "the order key below is the one of Windows XP and later";
  const std::string order = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";
  const std::string programs = env_.system.SpecialFolder(csidl::Programs);
  const std::string commonPrograms = env_.system.SpecialFolder(csidl::CommonPrograms);
  ASSERT_FALSE(programs.empty());
  ASSERT_FALSE(commonPrograms.empty());
  const std::string userFolder = programs + "\\" + name_ + "-user";
  const std::string commonFolder = commonPrograms + "\\" + name_ + "-common";
  ASSERT_TRUE(::CreateDirectoryA(userFolder.c_str(), nullptr));
  files_.push_back(userFolder);
  ASSERT_TRUE(::CreateDirectoryA(commonFolder.c_str(), nullptr));
  files_.push_back(commonFolder);
  const std::string fileOnly = programs + "\\" + name_ + "-file";
  ASSERT_TRUE(test::WriteTextFile(fileOnly, "x"));
  files_.push_back(fileOnly);

  for (const char* suffix : {"-USER", "-common", "-file", "-gone"}) {
    OwnKey(RootKey::CurrentUser, order + "\\" + name_ + suffix);
    MakeKey(RootKey::CurrentUser, order + "\\" + name_ + suffix);
  }
  std::vector<ProblemRow> rows = AnyColumnMentioning(Scan({"16"}).rows, name_);
  std::sort(rows.begin(), rows.end(), [](const ProblemRow& a, const ProblemRow& b) { return a.value < b.value; });
  EXPECT_EQ(rows, (std::vector<ProblemRow>{
                      Row(ProblemId::OldStartMenuKey, "HKEY_CURRENT_USER\\" + order, name_ + "-file", rkSubkeyInColumn),
                      Row(ProblemId::OldStartMenuKey, "HKEY_CURRENT_USER\\" + order, name_ + "-gone", rkSubkeyInColumn),
                  }));
}

TEST_F(HiveScannersWin, ShortcutsOnTheDesktopAndInTheStartMenuAreResolvedThroughTheShell) {
  const std::string desktop = env_.system.SpecialFolder(csidl::Desktop);
  const std::string startMenu = env_.system.SpecialFolder(csidl::StartMenu);
  const std::string appData = env_.system.SpecialFolder(csidl::AppData);
  ASSERT_FALSE(desktop.empty());
  ASSERT_FALSE(startMenu.empty());
  const std::string nested = startMenu + "\\" + name_ + "-menu";
  ASSERT_TRUE(::CreateDirectoryA(nested.c_str(), nullptr));
  files_.push_back(nested);

  const std::string goneOnDesktop = desktop + "\\" + name_ + "-gone.lnk";
  const std::string goneInMenu = nested + "\\Deep " + name_ + ".LNK";
  const std::string desktopTarget = ShortcutToRemoved(goneOnDesktop, "desk.exe");
  const std::string menuTarget = ShortcutToRemoved(goneInMenu, "menu.exe");
  ShortcutTo(desktop + "\\" + name_ + "-here.lnk", ExistingFile("here.exe"));
  ShortcutTo(desktop + "\\" + name_ + "-folder.lnk", ExistingFolder("folder"));
  // Not a shortcut by its name, so never opened.
  ShortcutToRemoved(desktop + "\\" + name_ + "-notes.lnk.txt", "notes.exe");

  // The folders are scanned one after the other: when the start menu lies inside the application
  // data folder (26, scanned before the start menu, 11), its shortcuts are met twice.
  std::vector<ProblemRow> expected;
  const ProblemRow menuRow = Row(ProblemId::MissingShortcutReference, goneInMenu, menuTarget, rkShortcutFile);
  if (!appData.empty() && StartsWithNoCase(startMenu, appData + "\\")) expected.push_back(menuRow);
  expected.push_back(menuRow);
  expected.push_back(Row(ProblemId::MissingShortcutReference, goneOnDesktop, desktopTarget, rkShortcutFile));
  EXPECT_EQ(RowsMentioning(Scan({"17"}).rows, name_), expected);
}

TEST_F(HiveScannersWin, ShortcutScanDoesNotFollowALinkBackToAnAncestor) {
  const std::string desktop = env_.system.SpecialFolder(csidl::Desktop);
  const std::string inner = desktop + "\\" + name_ + "-loop";
  ASSERT_TRUE(::CreateDirectoryA(inner.c_str(), nullptr));
  files_.push_back(inner);
  const std::string link = inner + "\\back";
  if (!::CreateSymbolicLinkA(link.c_str(), desktop.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    GTEST_SKIP() << "this system makes no directory links (error " << ::GetLastError() << ")";
  }
  files_.push_back(link);
  const std::string shortcut = inner + "\\" + name_ + ".lnk";
  const std::string target = ShortcutToRemoved(shortcut, "x.exe");
  EXPECT_EQ(RowsMentioning(Scan({"17"}).rows, name_),
            (std::vector<ProblemRow>{Row(ProblemId::MissingShortcutReference, shortcut, target, rkShortcutFile)}));
}

TEST_F(HiveScannersWin, TypeLibrariesNamingMissingDllsAreReported) {
  const std::string lib = "TypeLib\\" + name_;
  OwnKey(RootKey::ClassesRoot, lib);
  SetText(RootKey::ClassesRoot, lib + "\\1.0\\0\\win32", "", Missing("control.dll"));
  SetText(RootKey::ClassesRoot, lib + "\\1.0\\0\\win64", "", ExistingFile("control.dll"));
  SetText(RootKey::ClassesRoot, lib + "\\1.0\\HELPDIR", "", Missing("help"));
  SetText(RootKey::ClassesRoot, lib + "\\1.0\\0\\tlb", "", Missing("types.tlb"));

  EXPECT_EQ(RowsMentioning(Scan({"19"}).rows, name_),
            (std::vector<ProblemRow>{Row(ProblemId::ActiveXIssue, "HKEY_CLASSES_ROOT\\" + lib + "\\1.0\\0\\win32\\",
                                         Missing("control.dll"), rkValueInPath)}));
}

TEST_F(HiveScannersWin, OpenSaveHistoryIsTestedWithEachExtensionAndWalkedBelow) {
  const std::string mru = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
  const std::string extension = name_ + "ext";
  OwnKey(RootKey::CurrentUser, mru + "\\" + extension);
  SetText(RootKey::CurrentUser, mru + "\\" + extension, "a", Missing("old.txt"));
  SetText(RootKey::CurrentUser, mru + "\\" + extension, "b", ExistingFile("new.txt"));
  SetText(RootKey::CurrentUser, mru + "\\" + extension, "MRUList", "ab");
  ExistingFile("kept." + extension);
  for (const char* suffix : {"-kept", "-gone", "-relative"}) OwnValue(RootKey::CurrentUser, mru, name_ + suffix);
  SetText(RootKey::CurrentUser, mru, name_ + "-kept", folder_ + "\\kept");
  SetText(RootKey::CurrentUser, mru, name_ + "-gone", folder_ + "\\gone");
  SetText(RootKey::CurrentUser, mru, name_ + "-relative", "gone\\file");

  const std::string key = "HKEY_CURRENT_USER\\" + mru;
  ProblemId problem = ProblemId::MissingMruFile;
  EXPECT_EQ(RowsMentioning(Scan({"20"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, key + "\\" + name_ + "-gone", folder_ + "\\gone", rkValueInPath),
                Row(problem, key + "\\" + extension + "\\a", Missing("old.txt"), rkValueInPath),
            }));
}

TEST_F(HiveScannersWin, InstallerEntriesFoldersAndStaleCacheEntriesAreReported) {
  const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name_;
  const std::string folders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
  const std::string cache = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
  OwnKey(RootKey::LocalMachine, uninstall);
  SetText(RootKey::LocalMachine, uninstall, "UninstallString", "\"" + Missing("uninst.exe") + "\" /S");
  SetText(RootKey::LocalMachine, uninstall, "DisplayIcon", ExistingFile("app.exe") + ",0");
  SetText(RootKey::LocalMachine, uninstall, "InstallLocation", Missing("folder"));
  const std::string goneFolder = Missing(name_ + "-dir") + "\\";
  const std::string hereFolder = ExistingFolder(name_ + "-here");
  for (const std::string& name : {goneFolder, hereFolder, hereFolder + "\\"}) {
    SetText(RootKey::LocalMachine, folders, name, "");
    OwnValue(RootKey::LocalMachine, folders, name);
  }
  OwnKey(RootKey::LocalMachine, cache + "\\" + name_ + "-stale");
  OwnKey(RootKey::LocalMachine, cache + "\\" + AsciiUpper(name_));
  MakeKey(RootKey::LocalMachine, cache + "\\" + name_ + "-stale");
  MakeKey(RootKey::LocalMachine, cache + "\\" + AsciiUpper(name_));

  ProblemId problem = ProblemId::InstallerReferenceIssue;
  EXPECT_EQ(AnyColumnMentioning(Scan({"21"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, "HKEY_LOCAL_MACHINE\\" + uninstall + "\\UninstallString",
                    "\"" + Missing("uninst.exe") + "\" /S", rkValueInPath),
                Row(problem, "HKEY_LOCAL_MACHINE\\" + folders, goneFolder, rkValueInColumn),
                Row(problem, "HKEY_LOCAL_MACHINE\\" + cache, name_ + "-stale", rkSubkeyInColumn),
            }));
}

TEST_F(HiveScannersWin, ApplicationCommandsWithMissingProgramsAreReportedPerVerb) {
  const std::string app = "Software\\Classes\\Applications\\" + name_ + ".exe";
  const std::string here = "Software\\Classes\\Applications\\" + name_ + "-here.exe";
  OwnKey(RootKey::LocalMachine, app);
  OwnKey(RootKey::LocalMachine, here);
  const std::string command = "\"" + Missing("app.exe") + "\" \"%1\"";
  SetText(RootKey::LocalMachine, app + "\\shell\\edit\\command", "", command);
  SetText(RootKey::LocalMachine, app + "\\shell\\open\\command", "", command);
  SetText(RootKey::LocalMachine, app + "\\shell\\print\\command", "", "");
  SetText(RootKey::LocalMachine, here + "\\shell\\open\\command", "", "\"" + ExistingFile("here.exe") + "\" \"%1\"");

  const std::string key = "HKEY_LOCAL_MACHINE\\" + app;
  EXPECT_EQ(RowsMentioning(Scan({"22"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(ProblemId::OpenWithApplicationIssue, key + "\\shell\\edit\\command", command, rkDefaultValue),
                Row(ProblemId::OpenWithApplicationIssue, key + "\\shell\\open\\command", command, rkDefaultValue),
            }));
}

}  // namespace
}  // namespace tamrisk
