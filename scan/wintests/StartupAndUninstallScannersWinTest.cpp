// Codes 10 and 11 on the real registry and files of the Wine prefix (see testkit/RealScanTest.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "scan/ProblemRow.h"
#include "testkit/ScanHarness.h"
#include "testkit/RealScanTest.h"
#include "testkit/WinFixture.h"

namespace tamrisk {

namespace {

using test::Row;
using test::ValuesMentioning;

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kStartupReg[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

using StartupAndUninstallScannersWin = test::RealScanTest;

TEST_F(StartupAndUninstallScannersWin, StartupProgramsThatAreGoneAreReportedFromRunKeysAndTheMsConfigList) {
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
  ProblemId problem = ProblemId::MissingStartupPrograms;
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

TEST_F(StartupAndUninstallScannersWin, UninstallEntriesThatHoldNothingAreReported) {
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
  ProblemId problem = ProblemId::AddRemoveProgramsIssue;
  EXPECT_EQ(ValuesMentioning(Scan({"11"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, key, name_ + "-chain", rkSubkeyInColumn),
                Row(problem, key, name_ + "-empty", rkSubkeyInColumn),
                Row(problem, key, name_ + "-emptydefault", rkSubkeyInColumn),
            }));
}

}  // namespace
}  // namespace tamrisk
