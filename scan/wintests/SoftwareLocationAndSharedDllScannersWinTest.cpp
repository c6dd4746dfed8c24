// Codes 6 and 9 on the real registry and files of the Wine prefix (see testkit/RealScanTest.h).
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
using test::Sorted;
using test::ValuesMentioning;

constexpr char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

using SoftwareLocationAndSharedDllScannersWin = test::RealScanTest;

TEST_F(SoftwareLocationAndSharedDllScannersWin, AppPathsEntriesWhoseProgramIsGoneAreReported) {
  for (const char* entry : {"-gone.exe", "-here.exe", "-notes.txt", "-number.exe", "-empty.exe"}) {
    OwnKey(RootKey::LocalMachine, std::string(kAppPaths) + "\\" + name_ + entry);
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
            (std::vector<ProblemRow>{Row(ProblemId::SoftwareLocationsIssue,
                                         "HKEY_LOCAL_MACHINE\\" + std::string(kAppPaths) + "\\" + name_ + "-gone.exe",
                                         InFolder("gone\\" + name_ + "-GONE.EXE /n"), rkKey)}));
}

TEST_F(SoftwareLocationAndSharedDllScannersWin, SharedDllsThatAreGoneOrNoLongerCountedAreReported) {
  File(name_ + "-here.dll");
  const std::string zero = File(name_ + "-zero.dll");
  for (const char* value : {"-here.dll", "-zero.dll", "-gone.dll", "-text.dll"}) {
    OwnValue(RootKey::LocalMachine, kSharedDlls, InFolder(name_ + value));
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
            Sorted({Row(ProblemId::MissingSharedDlls, key, zero, rkValueInColumn),
                    Row(ProblemId::MissingSharedDlls, key, InFolder(name_ + "-gone.dll"), rkValueInColumn)}));
}

}  // namespace
}  // namespace tamrisk
