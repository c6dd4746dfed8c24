// A hand-written "options.ini" full of odd values, and what it loads to, shared by the native test
// (memory ini) and the one under Wine (GetPrivateProfileStringW).
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/RegGlobal.h"

namespace tamrisk::test {

// The main window at its designed size on a 1280 x 1024 screen.
inline constexpr WindowMetrics kDesignedWindow{684, 520, 1280, 1024};

inline const std::string kOddOptionsFile =
    "[Options]\r\nDeleteBackupFile=abc\r\nIncludeRemoveMedia=0X1A\r\nIncludeCDdrive=-1\r\n"
    "[TreeViewNodeCheck]\r\n1=0x0\r\n2=0\r\n3=\r\n4=0x\r\n5=1.5\r\n6=00\r\n7=+0\r\n8= 0 \r\n9=2\r\n10=0xG\r\n"
    "11=99999999999\r\n12=0xFFFFFFFF\r\n13=--1\r\n14=\"0\"\r\n15=1 0\r\n16=-0\r\n"
    "[IgnoreValue]\r\nCount=-2\r\nValue1=never read\r\n"
    "[IgnoreKey]\r\nCount=0x4\r\nKey1=k1\r\nKey3=k3\r\nKey9=never read\r\n"
    "[Window]\r\nState=2\r\nWidth=800\r\nHeight=600\r\n";

inline void ExpectOddOptionsLoaded(const TOptionsSetting& options, const std::optional<WindowBounds>& bounds,
                                   const std::string& executableFolder) {
  EXPECT_EQ(options.OutputDirectory, executableFolder + "Backup");
  EXPECT_TRUE(options.DeleteBackupFile) << "abc keeps the default";
  EXPECT_TRUE(options.IncludeRemoveMedia) << "0X1A is 26";
  EXPECT_TRUE(options.IncludeCDdrive) << "-1 is not zero";
  // "0x0", "0", "", "0x", "1.5", "00", "+0", " 0 ", "2", "0xG", "99999999999", "0xFFFFFFFF", "--1",
  // quoted "0", "1 0", "-0"
  const std::vector<bool> expectedChecks = {false, false, true, true, true, false, false, false,
                                            true,  true,  true, true, true, false, true,  false};
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(options.TreeViewNodeCheck[n], expectedChecks[n - 1]) << "node " << n;
  for (int n = 17; n <= TNodeChecks::Last; ++n) EXPECT_TRUE(options.TreeViewNodeCheck[n]) << "node " << n;
  EXPECT_EQ(options.IgnoreValueCount, -2);
  EXPECT_TRUE(options.IgnoreValues.empty());
  EXPECT_EQ(options.IgnoreKeyCount, 4);
  EXPECT_EQ(options.IgnoreKeys, (std::vector<std::string>{"k1", "", "k3", ""}));
  EXPECT_EQ(options.WindowState, wsNormal);
  ASSERT_TRUE(bounds) << "a minimized state reads the bounds like any state but maximized";
  EXPECT_EQ(*bounds, (WindowBounds{298, 252, 800, 600})) << "centred by the designed size, then sized";
}

}  // namespace tamrisk::test
