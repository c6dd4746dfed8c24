// Codes 6 to 9 on the real registry and files of the Wine prefix: a fixture imported with
// "regedit /s", files made on drive C:, a headless scan. Every entry carries the test's unique name
// and only the rows naming it are looked at, as other tests share the prefix.
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
using test::Sorted;
using test::FillFixture;
using test::ValuesMentioning;

constexpr char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kFonts[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kHelp[] = "Software\\Microsoft\\Windows\\Help";
constexpr char kHtmlHelp[] = "Software\\Microsoft\\Windows\\Html Help";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

class SoftwareScannersWin : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = test::UniqueName("h3");
    folder_ = test::FreshFolder(name_);
  }

  void TearDown() override {
    for (const std::string& key : keys_) test::DeleteKeyTree(RootKey::LocalMachine, key);
    for (const auto& [key, value] : values_) {
      win32::UniqueRegKey opened;
      if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, opened.put()) == ERROR_SUCCESS) {
        ::RegDeleteValueA(opened.get(), value.c_str());
      }
    }
    for (const std::string& file : files_) ::DeleteFileA(file.c_str());
    test::RemoveFolder(folder_);
  }

  void Import(const std::string& fixture) { ASSERT_TRUE(test::ImportReg(FillFixture(fixture, name_, folder_))); }
  std::string File(const std::string& name) {
    const std::string path = folder_ + "\\" + name;
    EXPECT_TRUE(test::WriteTextFile(path, "x"));
    return path;
  }
  std::string InFolder(const std::string& name) const { return folder_ + "\\" + name; }
  // Entries the fixture adds to keys other tests share: only they are removed afterwards.
  void OwnKey(const std::string& key) { keys_.push_back(key); }
  void OwnValue(const std::string& key, const std::string& value) { values_.emplace_back(key, value); }

  test::ScanResult Scan(const std::vector<std::string>& codes) { return test::RunScan(system_.platform, codes, "c"); }

  win32::Win32Platform system_;
  std::string name_;
  std::string folder_;
  std::vector<std::string> keys_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> files_;
};

TEST_F(SoftwareScannersWin, AppPathsEntriesWhoseProgramIsGoneAreReported) {
  for (const char* entry : {"-gone.exe", "-here.exe", "-notes.txt", "-number.exe", "-empty.exe"}) {
    OwnKey(std::string(kAppPaths) + "\\" + name_ + entry);
  }
  File(name_ + "-here.exe");
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\$N-gone.exe]
@="$F\\gone\\$N-GONE.EXE /n"
"Path"="$F\\gone"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\$N-here.exe]
@="$F\\$N-here.exe"
"Path"="$F\\nowhere"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\$N-notes.txt]
@="$F\\gone\\$N-notes.txt"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\$N-number.exe]
@=dword:00000001

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\$N-empty.exe]
@=""
)reg");
  const test::ScanResult result = Scan({"6"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Software Locations..."});
  EXPECT_EQ(test::RowsMentioning(result.rows, name_),
            (std::vector<ProblemRow>{Row("Software Locations Issue",
                                         "HKEY_LOCAL_MACHINE\\" + std::string(kAppPaths) + "\\" + name_ + "-gone.exe",
                                         InFolder("gone\\" + name_ + "-GONE.EXE /n"), rkKey)}));
}

TEST_F(SoftwareScannersWin, FontsAreFoundInTheFontsFolderByNameOrWhereTheirFullPathPoints) {
  const std::string fonts = system_.system.SpecialFolder(20);
  ASSERT_FALSE(fonts.empty());
  const std::string installed = fonts + "\\" + name_ + "-here.ttf";
  ASSERT_TRUE(test::WriteTextFile(installed, "x"));
  files_.push_back(installed);
  File(name_ + "-full.ttf");
  for (const char* value : {" Here (TrueType)", " Upper (TrueType)", " Gone (TrueType)", " Full (TrueType)",
                            " Full Gone (TrueType)", " Number"}) {
    OwnValue(kFonts, name_ + value);
  }
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Fonts]
"$N Here (TrueType)"="$N-here.ttf"
"$N Upper (TrueType)"="$N-HERE.TTF"
"$N Gone (TrueType)"="$N-gone.ttf"
"$N Full (TrueType)"="$F\\$N-full.ttf"
"$N Full Gone (TrueType)"="$F\\gone\\$N-full.ttf"
"$N Number"=dword:00000001
)reg");
  const std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(kFonts) + "\\" + name_;
  EXPECT_EQ(Sorted(test::RowsMentioning(Scan({"7"}).rows, name_)),
            Sorted({Row("Fonts Issue", key + " Gone (TrueType)", name_ + "-gone.ttf", rkValueInPath),
                    Row("Fonts Issue", key + " Full Gone (TrueType)", InFolder("gone\\" + name_ + "-full.ttf"),
                        rkValueInPath)}));
}

TEST_F(SoftwareScannersWin, HelpFilesAreLookedForInTheirFolderAndOtherKindsAreSkipped) {
  File(name_ + "-here.hlp");
  File(name_ + "-slash.hlp");
  for (const char* value : {"-here.hlp", "-slash.hlp", "-gone.hlp", "-number.hlp"}) OwnValue(kHelp, name_ + value);
  OwnValue(kHtmlHelp, name_ + "-gone.chm");
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\Help]
"$N-number.hlp"=dword:00000001
"$N-here.hlp"="$F"
"$N-slash.hlp"="$F\\"
"$N-gone.hlp"="$F"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\Html Help]
"$N-gone.chm"="$F"
)reg");
  const test::ScanResult result = Scan({"8", "9"});
  EXPECT_EQ(result.finished, 2);  // the integer value did not end the scan
  EXPECT_EQ(test::RowsMentioning(result.rows, name_),
            (std::vector<ProblemRow>{
                Row("Invalid Help Files", "HKEY_LOCAL_MACHINE\\" + std::string(kHelp) + "\\" + name_ + "-gone.hlp",
                    InFolder(name_ + "-gone.hlp"), rkValueInPath),
                Row("Invalid Help Files", "HKEY_LOCAL_MACHINE\\" + std::string(kHtmlHelp) + "\\" + name_ + "-gone.chm",
                    InFolder(name_ + "-gone.chm"), rkValueInPath),
            }));
}

TEST_F(SoftwareScannersWin, SharedDllsThatAreGoneOrNoLongerCountedAreReported) {
  File(name_ + "-here.dll");
  const std::string zero = File(name_ + "-zero.dll");
  for (const char* value : {"-here.dll", "-zero.dll", "-gone.dll", "-text.dll"}) {
    OwnValue(kSharedDlls, InFolder(name_ + value));
  }
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\SharedDlls]
"$F\\$N-here.dll"=dword:00000002
"$F\\$N-zero.dll"=dword:00000000
"$F\\$N-gone.dll"=dword:00000001
"$F\\$N-text.dll"="1"
)reg");
  const std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(kSharedDlls);
  EXPECT_EQ(Sorted(ValuesMentioning(Scan({"9"}).rows, name_)),
            Sorted({Row("Missing Shared Dlls", key, zero, rkValueInColumn),
                    Row("Missing Shared Dlls", key, InFolder(name_ + "-gone.dll"), rkValueInColumn)}));
}

}  // namespace
}  // namespace tamrisk
