// Codes 12 and 13 on the real registry and files of the Wine prefix (see testkit/RealScanTest.h).
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

constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

using ClassScannersWin = test::RealScanTest;

TEST_F(ClassScannersWin, FileExtensionsThatSayNothingOrHaveNoClassAreReported) {
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
  ProblemId problem = ProblemId::UnusedFileExtension;
  EXPECT_EQ(ValuesMentioning(Scan({"12"}).rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, "HKEY_LOCAL_MACHINE\\Software\\Classes", "." + name_ + "-empty", rkSubkeyInColumn),
                Row(problem, "HKEY_CURRENT_USER\\" + std::string(kFileExts), "." + name_ + "-orphan", rkSubkeyInColumn),
            }));
}

TEST_F(ClassScannersWin, ClassKeysWhoseServerIsGoneAreReportedWhereTheyStand) {
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
  ProblemId problem = ProblemId::CustomControlsIssue;
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Custom Controls..."});
  EXPECT_EQ(test::RowsMentioning(result.rows, name_),
            (std::vector<ProblemRow>{
                Row(problem, clsid + "-a}\\InprocServer32", InFolder("gone\\a.dll"), rkKey),
                Row(problem, clsid + "-c}", InFolder("gone\\c.exe"), rkKey),
            }));
}

}  // namespace
}  // namespace tamrisk
