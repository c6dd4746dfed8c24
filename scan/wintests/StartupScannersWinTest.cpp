// Codes 10 to 13 on the real registry and files of the Wine prefix: a fixture imported with
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
using test::ToHkey;
using test::FillFixture;
using test::ValuesMentioning;

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kStartupReg[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

class StartupScannersWin : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = test::UniqueName("h3");
    folder_ = test::FreshFolder(name_);
  }

  void TearDown() override {
    for (const auto& [root, key] : keys_) test::DeleteKeyTree(root, key);
    for (const auto& [where, value] : values_) {
      win32::UniqueRegKey opened;
      if (::RegOpenKeyExA(ToHkey(where.first), where.second.c_str(), 0, KEY_SET_VALUE, opened.put()) ==
          ERROR_SUCCESS) {
        ::RegDeleteValueA(opened.get(), value.c_str());
      }
    }
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
  void OwnKey(RootKey root, const std::string& key) { keys_.emplace_back(root, key); }
  void OwnValue(RootKey root, const std::string& key, const std::string& value) {
    values_.push_back({{root, key}, value});
  }

  test::ScanResult Scan(const std::vector<std::string>& codes) { return test::RunScan(system_.platform, codes, "c"); }

  win32::Win32Platform system_;
  std::string name_;
  std::string folder_;
  std::vector<std::pair<RootKey, std::string>> keys_;
  std::vector<std::pair<std::pair<RootKey, std::string>, std::string>> values_;
};

TEST_F(StartupScannersWin, StartupProgramsThatAreGoneAreReportedFromRunKeysAndTheMsConfigList) {
  File(name_ + "-here.exe");
  for (const char* value : {"-gone", "-here", "-number", "-rundll"}) {
    OwnValue(RootKey::CurrentUser, kRun, name_ + value);
  }
  OwnValue(RootKey::LocalMachine, kRunOnce, name_ + "-once");
  for (const char* entry : {"-a-gone", "-b-nocommand", "-c-here", "-d-gone"}) {
    OwnKey(RootKey::LocalMachine, std::string(kStartupReg) + "\\" + name_ + entry);
  }
  Import(R"reg(REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"$N-gone"="$F\\gone\\tool.exe /min"
"$N-here"="\"$F\\$N-here.exe\" -x"
"$N-number"=dword:00000001
"$N-rundll"="rundll32.exe $N.dll,Entry"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunOnce]
"$N-once"="$F\\gone\\once.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Shared Tools\MSConfig\startupreg\$N-a-gone]
"command"="$F\\gone\\a.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Shared Tools\MSConfig\startupreg\$N-b-nocommand]
"key"="SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Shared Tools\MSConfig\startupreg\$N-c-here]
"command"="$F\\$N-here.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Shared Tools\MSConfig\startupreg\$N-d-gone]
"command"="$F\\gone\\d.exe"
)reg");
  const test::ScanResult result = Scan({"10"});
  const std::string problem = "Missing Startup Programs";
  const std::string startup = "HKEY_LOCAL_MACHINE\\" + std::string(kStartupReg) + "\\" + name_;
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Startup Programs..."});
  EXPECT_EQ(test::RowsMentioning(result.rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, "HKEY_CURRENT_USER\\" + std::string(kRun) + "\\" + name_ + "-gone",
                    InFolder("gone\\tool.exe /min"), rkValueInPath),
                Row(problem, "HKEY_LOCAL_MACHINE\\" + std::string(kRunOnce) + "\\" + name_ + "-once",
                    InFolder("gone\\once.exe"), rkValueInPath),
                Row(problem, startup + "-a-gone", InFolder("gone\\a.exe"), rkKey),
                Row(problem, startup + "-d-gone", InFolder("gone\\d.exe"), rkKey),
            }));
}

TEST_F(StartupScannersWin, UninstallEntriesThatHoldNothingAreReported) {
  for (const char* entry : {"-empty", "-emptydefault", "-named", "-chain", "-twochildren"}) {
    OwnKey(RootKey::LocalMachine, std::string(kUninstall) + "\\" + name_ + entry);
  }
  OwnKey(RootKey::LocalMachine, std::string(kUninstall) + "\\{" + name_ + "}");
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-empty]

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-emptydefault]
@=""

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-named]
"DisplayName"="$N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-chain\Only\Deeper]

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-twochildren\One]

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\$N-twochildren\Two]

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{$N}]
)reg");
  const std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(kUninstall);
  const std::string problem = "Add/Remove Programs Issue";
  EXPECT_EQ(ValuesMentioning(Scan({"11"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, key, name_ + "-chain", rkSubkeyInColumn),
                Row(problem, key, name_ + "-empty", rkSubkeyInColumn),
                Row(problem, key, name_ + "-emptydefault", rkSubkeyInColumn),
            }));
}

TEST_F(StartupScannersWin, FileExtensionsThatSayNothingOrHaveNoClassAreReported) {
  for (const char* ext : {"-empty", "-typed", "-nodefault"}) {
    OwnKey(RootKey::LocalMachine, "Software\\Classes\\." + name_ + ext);
  }
  for (const char* ext : {"-orphan", "-typed"}) {
    OwnKey(RootKey::CurrentUser, std::string(kFileExts) + "\\." + name_ + ext);
  }
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Classes\.$N-empty]
@=""

[HKEY_LOCAL_MACHINE\Software\Classes\.$N-typed]
@="$N.file"

[HKEY_LOCAL_MACHINE\Software\Classes\.$N-nodefault]
"Content Type"="text/plain"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.$N-orphan\OpenWithList]
"a"="notepad.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.$N-typed]
)reg");
  const std::string problem = "Unused File Extension";
  EXPECT_EQ(ValuesMentioning(Scan({"12"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, "HKEY_LOCAL_MACHINE\\Software\\Classes", "." + name_ + "-empty", rkSubkeyInColumn),
                Row(problem, "HKEY_CURRENT_USER\\" + std::string(kFileExts), "." + name_ + "-orphan",
                    rkSubkeyInColumn),
            }));
}

TEST_F(StartupScannersWin, ClassKeysWhoseServerIsGoneAreReportedWhereTheyStand) {
  File(name_ + "-here.dll");
  for (const char* clsid : {"-a", "-b", "-c"}) {
    OwnKey(RootKey::LocalMachine, "Software\\Classes\\CLSID\\{" + name_ + clsid + "}");
  }
  Import(R"reg(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{$N-a}]
@="$N control"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{$N-a}\InprocServer32]
@="$F\\gone\\a.dll"
"ThreadingModel"="Apartment"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{$N-a}\ToolboxBitmap32]
@="$F\\$N-here.dll,1"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{$N-b}\InprocServer32]
@="$F\\$N-here.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{$N-c}]
@="$F\\gone\\c.exe"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{$N-c}\InprocServer32]
@="bare.dll"
)reg");
  const test::ScanResult result = Scan({"13"});
  const std::string clsid = "HKEY_CLASSES_ROOT\\CLSID\\{" + name_;
  const std::string problem = "Custom Controls Issue";
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Custom Controls..."});
  EXPECT_EQ(test::RowsMentioning(result.rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, clsid + "-a}\\InprocServer32", InFolder("gone\\a.dll"), rkKey),
                Row(problem, clsid + "-c}", InFolder("gone\\c.exe"), rkKey),
            }));
}

}  // namespace
}  // namespace tamrisk
