// The Obsolete Software and Windows Services scanners (codes 14 and 15) on the memory platform.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {

namespace {

using namespace test;

class ObsoleteSoftwareAndServiceScannersTest : public test::MemoryScanTest {
 protected:
  void SetUp() override { SeedFiles(env.files, {"C:\\Apps\\here.exe", "C:\\Data\\", "D:\\Other\\"}); }
};

// ---- code 14 ----

TEST_F(ObsoleteSoftwareAndServiceScannersTest, SoftwareKeysWithoutDataAreReportedUserHiveFirst) {
  Seed(env.registry, {
                         Key("HKLM\\Software\\Machine"),
                         Key("HKCU\\Software\\A"),
                         Key("HKCU\\Software\\B\\C"),
                         Key("HKCU\\Software\\D\\X"),
                         Key("HKCU\\Software\\D\\Y"),
                         Str("HKCU\\Software\\E", "", ""),
                         Dword("HKCU\\Software\\F", "Installed", 1),
                         Key("HKCU\\Software\\G\\H\\I"),
                         Str("HKCU\\Software\\J\\K", "Name", "x"),
                     });
  const test::ScanResult result = Scan({"14"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Software Locations..."});
  ProblemId problem = ProblemId::ObsoleteSoftwareKey;
  EXPECT_EQ(result.rows, (std::vector<ProblemRow>{
                             Row(problem, "HKEY_CURRENT_USER\\Software", "A", rkSubkeyInColumn),
                             Row(problem, "HKEY_CURRENT_USER\\Software", "B", rkSubkeyInColumn),
                             Row(problem, "HKEY_CURRENT_USER\\Software", "G", rkSubkeyInColumn),
                             Row(problem, "HKEY_LOCAL_MACHINE\\Software", "Machine", rkSubkeyInColumn),
                         }));
}

TEST_F(ObsoleteSoftwareAndServiceScannersTest, SoftwareKeysThatWindowsOwnsAreNeverReported) {
  // Empty on a new system, in any letter case, under either root; names that only begin like them are
  // a program's.
  for (const char* name : {"Classes", "CLIENTS", "Microsoft", "policies", "Registered Applications",
                           "RegisteredApplications", "Wow6432Node", "ODBC", "Intel", "Wine"}) {
    Seed(env.registry, {Key(std::string("HKCU\\Software\\") + name), Key(std::string("HKLM\\Software\\") + name)});
  }
  Seed(env.registry, {Key("HKCU\\Software\\WineApp"), Key("HKLM\\Software\\Policies Old")});
  EXPECT_EQ(Scan({"14"}).rows,
            (std::vector<ProblemRow>{
                Row(ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Software", "WineApp", rkSubkeyInColumn),
                Row(ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software", "Policies Old", rkSubkeyInColumn),
            }));
}

TEST_F(ObsoleteSoftwareAndServiceScannersTest, SoftwareKeysThatCannotBeOpenedAreLeftAlone) {
  Seed(env.registry, {
                         Key("HKCU\\Software\\Locked"),
                         Key("HKCU\\Software\\NoWrite"),
                         Key("HKCU\\Software\\Open"),
                         Key("HKLM\\Software\\Machine"),
                     });
  env.registry.DenyRights(RootKey::CurrentUser, "Software\\Locked", rights::Read);
  env.registry.DenyRights(RootKey::CurrentUser, "Software\\NoWrite", 0x0002 /* KEY_SET_VALUE */);
  EXPECT_EQ(Scan({"14"}).rows,
            (std::vector<ProblemRow>{
                Row(ProblemId::ObsoleteSoftwareKey, "HKEY_CURRENT_USER\\Software", "Open", rkSubkeyInColumn),
                Row(ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software", "Machine", rkSubkeyInColumn),
            }));

  // A root whose "Software" does not open is skipped; the other is still examined.
  env.registry.DenyRights(RootKey::CurrentUser, "Software", rights::Read);
  EXPECT_EQ(Scan({"14"}).rows,
            (std::vector<ProblemRow>{
                Row(ProblemId::ObsoleteSoftwareKey, "HKEY_LOCAL_MACHINE\\Software", "Machine", rkSubkeyInColumn)}));
}

// ---- code 15 ----

TEST_F(ObsoleteSoftwareAndServiceScannersTest, ServicesWhoseProgramIsMissingAreReported) {
  const std::string services = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
  Seed(env.registry, {
                         ExpandStr(services + "Gone", "ImagePath", "\"C:\\Gone\\svc.exe\" -k netsvcs"),
                         Str(services + "Relative", "ImagePath", "system32\\drivers\\gone.sys"),
                         Key(services + "NoImage"),
                         Dword(services + "Numeric", "ImagePath", 1),
                         Str(services + "Present", "ImagePath", "C:\\Apps\\here.exe -service"),
                         Str(services + "Folder", "ImagePath", "C:\\Data"),
                         Str(services + "Locked", "ImagePath", "C:\\Gone\\locked.exe"),
                         Str(services + "OtherDrive", "ImagePath", "D:\\Gone\\svc.exe"),
                         Str(services + "Zed", "ImagePath", "C:\\Gone\\zed.exe"),
                     });
  env.registry.DenyRights(RootKey::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Locked", rights::Read);
  const test::ScanResult result = Scan({"15"});
  EXPECT_EQ(result.tasks, std::vector<std::string>{"Scanning Windows Services..."});
  const std::string key = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
  EXPECT_EQ(result.rows,
            (std::vector<ProblemRow>{
                Row(ProblemId::WindowsServiceIssue, key + "Gone\\ImagePath", "\"C:\\Gone\\svc.exe\" -k netsvcs",
                    rkValueInPath),
                Row(ProblemId::WindowsServiceIssue, key + "Zed\\ImagePath", "C:\\Gone\\zed.exe", rkValueInPath),
            }));
}

}  // namespace
}  // namespace tamrisk
