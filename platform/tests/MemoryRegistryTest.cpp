// RegistryAccess over the memory registry where only the memory backend can stage the situation:
// denied rights, failing reads, call counts, the HKEY_CURRENT_USER alias and the merged classes root.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RegistryAccess.h"
#include "platform/Text.h"
#include "platform/memory/MemoryRegistry.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using test::Key;
using test::Seed;
using test::Str;
using Names = std::vector<std::string>;

constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kSetValue = 0x2;
constexpr std::uint32_t kGenericRead = 0x80000000u;

std::string Text(const std::optional<RegValue>& value) { return value ? TextFromUtf16Bytes(value->data) : "<missing>"; }

TEST(MemoryRegistryRights, DeniedRightsRefuseTheOpensThatAskForThem) {
  struct Case {
    std::uint32_t denied;
    std::uint32_t asked;
    long expected;
  };
  const Case cases[] = {
      {rights::AllAccess & ~rights::QueryEnumerate, rights::QueryEnumerate, status::Success},
      {rights::AllAccess & ~rights::QueryEnumerate, rights::Read, status::AccessDenied},
      {rights::AllAccess & ~rights::QueryEnumerate, rights::AllAccess, status::AccessDenied},
      {kSetValue, rights::Read, status::Success},
      {kSetValue, rights::AllAccess, status::AccessDenied},
      {rights::Read, kGenericRead, status::AccessDenied},  // generic rights map to the key rights
      {rights::Read, 0, status::Success},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.denied << " asked " << c.asked);
    MemoryRegistry registry;
    registry.DenyRights(RootKey::LocalMachine, "Software\\Locked", c.denied);
    KeyHandle handle = 0;
    EXPECT_EQ(registry.OpenKey(RootHandle(RootKey::LocalMachine), "Software\\Locked", c.asked, handle), c.expected);
    EXPECT_EQ(registry.CreateKey(RootHandle(RootKey::LocalMachine), "Software\\Locked", c.asked, handle), c.expected);
    if (handle != 0) registry.CloseKey(handle);
  }
}

TEST(MemoryRegistryRights, AKeyDenyingDeleteStaysThroughRemoveSubkey) {
  MemoryRegistry registry;
  Seed(registry, {Str("HKCU\\Software\\App\\Keep", "v", "1"), Str("HKCU\\Software\\App\\Drop", "v", "2")});
  registry.DenyRights(RootKey::CurrentUser, "Software\\App\\Keep", kDelete);
  RegistryAccess access(registry, RootKey::CurrentUser);
  EXPECT_FALSE(access.RemoveSubkey("Software\\App"));  // the last delete, of App itself, fails
  EXPECT_TRUE(registry.KeyExists(RootKey::CurrentUser, "Software\\App\\Keep"));
  EXPECT_FALSE(registry.KeyExists(RootKey::CurrentUser, "Software\\App\\Drop"));
}

TEST(MemoryRegistryRights, MakingAKeyNeedsCreateRightsOnTheParentHandle) {
  MemoryRegistry registry;
  registry.CreateKey(RootKey::CurrentUser, "Software\\Exists");
  RegistryAccess access(registry, RootKey::CurrentUser);
  access.SetAccess(rights::Read);
  ASSERT_TRUE(access.OpenPath("Software", false));
  EXPECT_TRUE(access.OpenPath("Exists", true));  // an existing key only opens
  ASSERT_TRUE(access.OpenPath("\\Software", false));
  EXPECT_FALSE(access.OpenPath("New", true));
  EXPECT_FALSE(registry.KeyExists(RootKey::CurrentUser, "Software\\New"));
  access.SetAccess(rights::AllAccess);
  EXPECT_FALSE(access.OpenPath("New\\Deeper", true));  // the current key is still a read-only one
  EXPECT_TRUE(access.OpenPath("\\Software\\New\\Deeper", true));
  EXPECT_TRUE(registry.KeyExists(RootKey::CurrentUser, "Software\\New\\Deeper"));
}

TEST(MemoryRegistryRights, FailedReadsRaiseWithTheValueName) {
  MemoryRegistry registry;
  registry.SetString(RootKey::LocalMachine, "Software\\App", "Path", "C:\\App");
  registry.FailReads(RootKey::LocalMachine, "Software\\App", "path");
  RegistryAccess access(registry, RootKey::LocalMachine);
  ASSERT_TRUE(access.OpenPath("Software\\App", false));
  EXPECT_TRUE(access.HasValue("Path"));
  EXPECT_EQ(access.ValueKind("Path"), DataKind::String);
  try {
    access.ReadText("Path");
    ADD_FAILURE() << "the read did not fail";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'Path'");
  }
}

TEST(MemoryRegistryHandles, EveryOpenIsCountedAndClosedAgain) {
  MemoryRegistry registry;
  Seed(registry, {Str("HKLM\\Software\\A\\B", "v", "x"), Key("HKLM\\Software\\A\\C")});
  {
    RegistryAccess access(registry, RootKey::LocalMachine);
    ASSERT_TRUE(access.OpenPath("Software\\A", false));
    EXPECT_EQ(registry.OpenHandleCount(), 1u);
    registry.ResetCalls();
    EXPECT_TRUE(access.HasSubkey("B"));
    EXPECT_FALSE(access.HasSubkey("Z"));
    EXPECT_EQ(registry.Calls().opens, 2u);
    EXPECT_EQ(registry.Calls().closes, 1u);
    EXPECT_EQ(access.ListSubkeys(), (Names{"B", "C"}));
    EXPECT_EQ(registry.Calls().infoQueries, 1u);
    EXPECT_EQ(registry.Calls().enumKeys, 2u);
    ASSERT_TRUE(access.OpenPath("B", false));  // the previous key is closed
    EXPECT_EQ(registry.OpenHandleCount(), 1u);
    EXPECT_FALSE(access.OpenPath("missing", false));
    EXPECT_EQ(registry.OpenHandleCount(), 1u);
  }
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
  EXPECT_EQ(registry.Calls().Total(), registry.Calls().opens + registry.Calls().closes + registry.Calls().infoQueries +
                                          registry.Calls().enumKeys);
}

TEST(MemoryRegistryHandles, ABackendHandleCanDeleteItsOwnKey) {
  MemoryRegistry registry;
  registry.CreateKey(RootKey::CurrentUser, "Software\\Self\\Child");
  KeyHandle self = 0;
  ASSERT_EQ(registry.OpenKey(RootHandle(RootKey::CurrentUser), "Software\\Self", rights::AllAccess, self),
            status::Success);
  EXPECT_EQ(registry.DeleteKey(self, ""), status::AccessDenied);  // it still has a subkey
  EXPECT_EQ(registry.DeleteKey(self, "Child"), status::Success);
  EXPECT_EQ(registry.DeleteKey(self, ""), status::Success);
  EXPECT_FALSE(registry.KeyExists(RootKey::CurrentUser, "Software\\Self"));
  EXPECT_EQ(registry.DeleteKey(RootHandle(RootKey::CurrentUser), ""), status::AccessDenied);
  // Key names hold up to 255 characters, counted in UTF-16 units as Windows counts them.
  std::string cjk255, emoji128;
  for (int i = 0; i < 255; ++i) cjk255 += "\xE4\xBB\xB6";
  for (int i = 0; i < 128; ++i) emoji128 += "\xF0\x9F\x98\x80";
  EXPECT_EQ(registry.CreateKey(RootHandle(RootKey::CurrentUser), cjk255, rights::AllAccess, self), status::Success);
  EXPECT_EQ(registry.CloseKey(self), status::Success);
  for (const std::string& tooLong : {std::string(256, 'k'), cjk255 + "k", emoji128}) {
    EXPECT_EQ(registry.CreateKey(RootHandle(RootKey::CurrentUser), tooLong, rights::AllAccess, self),
              status::InvalidParameter);
  }
  EXPECT_EQ(registry.CloseKey(0), status::InvalidHandle);
}

TEST(MemoryRegistryCurrentUser, ShowsUnderUsersOnceItsSidIsSet) {
  MemoryRegistry registry;
  registry.SetString(RootKey::CurrentUser, "Software\\Before", "v", "kept");
  registry.SetString(RootKey::Users, "S-1-5-21-7\\Software\\Stale", "v", "replaced");
  KeyHandle open = 0;
  ASSERT_EQ(registry.OpenKey(RootHandle(RootKey::CurrentUser), "Software\\Before", rights::AllAccess, open),
            status::Success);

  registry.SetCurrentUserSid("S-1-5-21-7");
  EXPECT_EQ(Text(registry.GetValue(RootKey::Users, "S-1-5-21-7\\Software\\Before", "v")), "kept");
  EXPECT_FALSE(registry.KeyExists(RootKey::Users, "S-1-5-21-7\\Software\\Stale"));
  registry.SetString(RootKey::Users, "s-1-5-21-7\\Software\\After", "v", "both");
  EXPECT_EQ(Text(registry.GetValue(RootKey::CurrentUser, "Software\\After", "v")), "both");
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(registry.QueryValueInfo(open, "v", type, size), status::Success);  // handles stay good
  EXPECT_EQ(registry.DeleteKey(RootHandle(RootKey::Users), "S-1-5-21-7"), status::AccessDenied);

  RegistryAccess users(registry, RootKey::Users);
  EXPECT_EQ(users.ListSubkeys(), Names{"S-1-5-21-7"});
  registry.SetCurrentUserSid("");
  EXPECT_TRUE(users.ListSubkeys().empty());
  EXPECT_EQ(Text(registry.GetValue(RootKey::CurrentUser, "Software\\After", "v")), "both");
  registry.CloseKey(open);
}

class MergedClassesRoot : public ::testing::Test {
 protected:
  MergedClassesRoot() {
    Seed(registry_, {
                        Str("HKLM\\Software\\Classes\\.both", "", "machine"),
                        Str("HKLM\\Software\\Classes\\.both", "machine-only", "m"),
                        Key("HKLM\\Software\\Classes\\.both\\MachineChild"),
                        Str("HKLM\\Software\\Classes\\.machine", "", "machine"),
                        Str("HKCU\\Software\\Classes\\.BOTH", "", "user"),
                        Key("HKCU\\Software\\Classes\\.BOTH\\UserChild"),
                        Str("HKCU\\Software\\Classes\\.user", "", "user"),
                    });
  }
  MemoryRegistry registry_;
};

TEST_F(MergedClassesRoot, ListsTheUnionWithTheUsersSpellingAndValues) {
  RegistryAccess classes(registry_, RootKey::ClassesRoot);
  EXPECT_EQ(classes.ListSubkeys(), (Names{".BOTH", ".machine", ".user"}));
  EXPECT_EQ(classes.QueryKeyInfo().subkeyCount, 3u);
  ASSERT_TRUE(classes.OpenPath(".both", false));
  EXPECT_EQ(classes.ReadText(""), "user");
  EXPECT_FALSE(classes.HasValue("machine-only"));  // a key the user has shows only the user's values
  EXPECT_EQ(classes.ListSubkeys(), (Names{"MachineChild", "UserChild"}));
  EXPECT_TRUE(classes.HasSubkey("\\.user"));
  ASSERT_TRUE(classes.OpenPath("\\.machine", false));
  EXPECT_EQ(classes.ReadText(""), "machine");
}

TEST_F(MergedClassesRoot, WritesGoWhereTheKeyLives) {
  RegistryAccess classes(registry_, RootKey::ClassesRoot);
  ASSERT_TRUE(classes.OpenPath(".both", false));
  classes.WriteText("written", "x");
  ASSERT_TRUE(classes.OpenPath("\\.machine", false));
  classes.WriteText("written", "y");
  ASSERT_TRUE(classes.OpenPath("\\.new", true));
  ASSERT_TRUE(classes.OpenPath("\\.user\\shell", true));
  classes.ClosePath();

  EXPECT_EQ(Text(registry_.GetValue(RootKey::CurrentUser, "Software\\Classes\\.both", "written")), "x");
  EXPECT_EQ(Text(registry_.GetValue(RootKey::LocalMachine, "Software\\Classes\\.both", "written")), "<missing>");
  EXPECT_EQ(Text(registry_.GetValue(RootKey::LocalMachine, "Software\\Classes\\.machine", "written")), "y");
  EXPECT_TRUE(registry_.KeyExists(RootKey::LocalMachine, "Software\\Classes\\.new"));
  EXPECT_FALSE(registry_.KeyExists(RootKey::CurrentUser, "Software\\Classes\\.new"));
  EXPECT_TRUE(registry_.KeyExists(RootKey::CurrentUser, "Software\\Classes\\.user\\shell"));

  EXPECT_TRUE(classes.RemoveSubkey(".both"));  // the user's copy goes, the machine's shows again
  EXPECT_TRUE(classes.HasSubkey(".both"));
  ASSERT_TRUE(classes.OpenPath(".both", false));
  EXPECT_EQ(classes.ReadText(""), "machine");
}

TEST(MemoryRegistryClasses, MachineClassesAppearOnlyOnceTheClassesRootIsUsed) {
  MemoryRegistry registry;
  registry.CreateKey(RootKey::LocalMachine, "SOFTWARE\\vendor");
  EXPECT_EQ(registry.SubkeyNames(RootKey::LocalMachine, "Software"), Names{"vendor"});
  EXPECT_FALSE(registry.KeyExists(RootKey::ClassesRoot, "CLSID"));
  EXPECT_EQ(registry.SubkeyNames(RootKey::LocalMachine, ""), Names{"SOFTWARE"});
  EXPECT_EQ(registry.SubkeyNames(RootKey::LocalMachine, "Software"), (Names{"Classes", "vendor"}));
}

}  // namespace
}  // namespace tamrisk
