// Codes 7 and 8 on the real registry and files of the Wine prefix (see testkit/RealScanTest.h).
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

constexpr char kFonts[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kHelp[] = "Software\\Microsoft\\Windows\\Help";
constexpr char kHtmlHelp[] = "Software\\Microsoft\\Windows\\Html Help";

using FontAndHelpFileScannersWin = test::RealScanTest;

TEST_F(FontAndHelpFileScannersWin, FontsAreFoundInTheFontsFolderByNameOrWhereTheirFullPathPoints) {
  const std::string fonts = system_.system.SpecialFolder(20);
  ASSERT_FALSE(fonts.empty());
  const std::string installed = fonts + "\\" + name_ + "-here.ttf";
  ASSERT_TRUE(test::WriteTextFile(installed, "x"));
  OwnFile(installed);
  File(name_ + "-full.ttf");
  for (const char* value : {" Here (TrueType)", " Upper (TrueType)", " Gone (TrueType)", " Full (TrueType)",
                            " Full Gone (TrueType)", " Number"}) {
    OwnValue(RootKey::LocalMachine, kFonts, name_ + value);
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
            Sorted({Row(ProblemId::FontsIssue, key + " Gone (TrueType)", name_ + "-gone.ttf", rkValueInPath),
                    Row(ProblemId::FontsIssue, key + " Full Gone (TrueType)", InFolder("gone\\" + name_ + "-full.ttf"),
                        rkValueInPath)}));
}

TEST_F(FontAndHelpFileScannersWin, HelpFilesAreLookedForInTheirFolderAndOtherKindsAreSkipped) {
  File(name_ + "-here.hlp");
  File(name_ + "-slash.hlp");
  for (const char* value : {"-here.hlp", "-slash.hlp", "-gone.hlp", "-number.hlp"})
    OwnValue(RootKey::LocalMachine, kHelp, name_ + value);
  OwnValue(RootKey::LocalMachine, kHtmlHelp, name_ + "-gone.chm");
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
  EXPECT_EQ(
      test::RowsMentioning(result.rows, name_),
      (std::vector<ProblemRow>{
          Row(ProblemId::InvalidHelpFiles, "HKEY_LOCAL_MACHINE\\" + std::string(kHelp) + "\\" + name_ + "-gone.hlp",
              InFolder(name_ + "-gone.hlp"), rkValueInPath),
          Row(ProblemId::InvalidHelpFiles, "HKEY_LOCAL_MACHINE\\" + std::string(kHtmlHelp) + "\\" + name_ + "-gone.chm",
              InFolder(name_ + "-gone.chm"), rkValueInPath),
      }));
}

}  // namespace
}  // namespace tamrisk
