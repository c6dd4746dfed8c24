// A scan only reads: a key the user may read but not change (the machine's keys, for anyone but an
// administrator) is scanned like any other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "testkit/ScanHarness.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using namespace test;

constexpr char kGone[] = "C:\\Gone\\app.exe";
constexpr std::uint32_t kWriteRights = 0x0002 /* KEY_SET_VALUE */ | 0x0004 /* KEY_CREATE_SUB_KEY */ | 0x10000;

struct ReadOnlyCase {
  const char* code;
  RegRow entry;
  const char* readOnlyKey;  // below HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for the sounds
  RootKey root;
};

const ReadOnlyCase kCases[] = {
    {"15", Str("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Gone", "ImagePath", kGone),
     "SYSTEM\\CurrentControlSet\\Services", RootKey::LocalMachine},
    {"21", Str("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders", "C:\\Gone\\", ""),
     "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders", RootKey::LocalMachine},
    {"22", Str("HKLM\\Software\\Classes\\Applications\\app.exe\\shell\\open\\command", "", kGone),
     "Software\\Classes\\Applications", RootKey::LocalMachine},
    {"23",
     Str("HKLM\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules", "{R}",
         "v2.10|App=C:\\Gone\\app.exe|"),
     "SYSTEM\\CurrentControlSet\\Services\\SharedAccess", RootKey::LocalMachine},
    {"25", Str("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers", kGone, "WIN98"),
     "Software\\Microsoft\\Windows NT", RootKey::LocalMachine},
    {"26", Str("HKLM\\Software\\Classes\\*\\shellex\\ContextMenuHandlers\\Gone", "", "{Unregistered}"),
     "Software\\Classes", RootKey::LocalMachine},
    {"14", Key("HKLM\\Software\\Vendor\\Program"), "Software", RootKey::LocalMachine},
    {"18", Str("HKCU\\AppEvents\\Schemes\\Apps\\App\\Event\\.Current", "", "C:\\Gone\\a.wav"), "AppEvents",
     RootKey::CurrentUser},
};

TEST(ReadRightsTest, KeysThatOnlyMayBeReadAreScanned) {
  for (const ReadOnlyCase& c : kCases) {
    SCOPED_TRACE(std::string("code ") + c.code);
    MemoryPlatform env;
    Seed(env.registry, {c.entry});
    env.registry.DenyRights(c.root, c.readOnlyKey, kWriteRights);
    EXPECT_EQ(RunScan(env.platform, {c.code}).rows.size(), 1u);
  }
}

}  // namespace
}  // namespace tamrisk
