// The backup's sections, and when an entry is backed up and deleted or left alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "repair/BackupRecord.h"
#include "repair/RegBackup.h"
#include "repair/RegFile.h"
#include "repair/Repair.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

constexpr const char* kBackup = "C:\\Backup\\Backup20240102030405.reg";

using test::kRegFileHeader;
constexpr const char* kLoneSurrogate = "\xED\xA0\x80";  // U+D800 alone, as names and data may hold it

class RegBackupTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.files.AddFolder("C:\\Backup"); }

  std::string Backup() const { return test::Utf8OfUtf16File(env_.files.Contents(kBackup).value_or("")); }
  bool HasBackup() const { return env_.files.Exists(kBackup); }
  MemoryRegistry& Reg() { return env_.registry; }
  const Platform& Env() { return env_.platform; }
  // A fresh writer each time, as each repair makes one.
  RegBackup Writer() { return RegBackup(env_.platform, kBackup); }

  MemoryPlatform env_;
};

TEST_F(RegBackupTest, WholeKeyListsValuesThenSubkeysDepthFirst) {
  const std::string lone = std::string("x") + kLoneSurrogate;
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\App", "", "C:\\App");
  Reg().SetDword(RootKey::LocalMachine, "Software\\Vendor\\App", "Count", 0xFFFFFFFF);
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\App\\A", "Name", "a");
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\App\\A\\Deep", "Level", "3");
  Reg().CreateKey(RootKey::LocalMachine, "Software\\Vendor\\App\\B");
  Reg().SetExpandString(RootKey::LocalMachine, "Software\\Vendor\\App\\" + lone, "\xE6\x96\x87", "%\xCE\x94%");

  ASSERT_TRUE(Writer().AppendToBackup(RootKey::LocalMachine, "Software\\Vendor\\App\\", "", true));
  EXPECT_EQ(Backup(),
            std::string(kRegFileHeader) +
                "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App]\r\n@=\"C:\\\\App\"\r\n\"Count\"=dword:FFFFFFFF\r\n"
                "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\A]\r\n\"Name\"=\"a\"\r\n"
                "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\A\\Deep]\r\n\"Level\"=\"3\"\r\n"
                "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\B]\r\n"
                "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\" +
                lone +
                "]\r\n"
                "\"\xE6\x96\x87\"=hex(2):25,00,94,03,25,00,00,00\r\n");
  EXPECT_EQ(Reg().OpenHandleCount(), 0u);
}

TEST_F(RegBackupTest, ValueSectionHoldsOnlyThatValueAndLaterSectionsAppend) {
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Tool", "C:\\tool.exe");
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Other", "C:\\other.exe");
  Reg().SetString(RootKey::CurrentUser, "", "AtRoot", "r");

  ASSERT_TRUE(Writer().AppendToBackup(RootKey::CurrentUser, "Software\\Run", "Tool", false));
  ASSERT_TRUE(Writer().AppendToBackup(RootKey::CurrentUser, "", "AtRoot", false));
  EXPECT_EQ(Backup(), std::string(kRegFileHeader) +
                          "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Tool\"=\"C:\\\\tool.exe\"\r\n"
                          "\r\n[HKEY_CURRENT_USER\\]\r\n\"AtRoot\"=\"r\"\r\n");
}

// A file of the same name is an earlier repair's in the same second, when its bytes are on record: it
// gets no second header, and the whole file is on record after the append. A file not on record is
// someone else's, and nothing of the repair goes into it.
TEST_F(RegBackupTest, AnExistingFileGetsNoSecondHeaderAndOnlyWhenItIsOnRecord) {
  const std::string earlier = std::string(kRegFileHeader) + "\r\n[HKEY_CURRENT_USER\\Earlier]\r\n";
  const std::string earlierBytes = RegFileBytes(earlier.substr(3), true);
  env_.files.AddFile(kBackup, earlierBytes);
  Reg().SetDword(RootKey::CurrentUser, "Software\\X", "n", 1);
  EXPECT_THROW(Writer().AppendToBackup(RootKey::CurrentUser, "Software\\X", "n", false), RepairError);
  EXPECT_EQ(env_.files.Contents(kBackup), earlierBytes);

  RecordBackup(env_.registry, Sha256Hex(earlierBytes), "Backup.reg");
  ASSERT_TRUE(Writer().AppendToBackup(RootKey::CurrentUser, "Software\\X", "n", false));
  EXPECT_EQ(Backup(), earlier + "\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"n\"=dword:00000001\r\n");
  EXPECT_TRUE(IsRecordedBackup(env_.registry, env_.files.Contents(kBackup).value()));
}

TEST_F(RegBackupTest, AFileThatCannotBeWrittenThrowsAndTheEntryStays) {
  Reg().SetString(RootKey::CurrentUser, "Software\\X", "v", "1");
  const std::string missingFolder = "C:\\NoSuchFolder\\Backup.reg";
  EXPECT_THROW(RegBackup(Env(), missingFolder).RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\X", "v"),
               RepairError);
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\X", "v"));
}

// A write that failed part-way leaves bytes that the hash on record does not hold: a later write after
// them would not restore, so nothing more is written or deleted.
TEST_F(RegBackupTest, AfterAFailedWriteNothingMoreIsBackedUpOrDeleted) {
  for (const char* key : {"Software\\A", "Software\\B", "Software\\C"})
    Reg().SetString(RootKey::CurrentUser, key, "v", "1");
  RegBackup backup = Writer();
  EXPECT_EQ(backup.RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\A", "v"), RemoveOutcome::Removed);
  env_.files.SetFreeSpace('C', 4);
  EXPECT_THROW(backup.RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\B", "v"), RepairError);
  env_.files.SetFreeSpace('C', std::nullopt);
  EXPECT_THROW(backup.RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\C", "v"), RepairError);
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\B", "v"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\C", "v"));
}

TEST(RegBackupGuard, KeysTooNearTheRootAreNotRemovable) {
  struct Case {
    const char* path;
    bool removable;
  };
  const Case cases[] = {
      {"", false},
      {"\\", false},
      {"Software", false},
      {"Software\\", false},
      {"CLSID", false},
      {"\\Software", false},
      {"Software\\\\X", false},
      {"Software\\X\\\\", false},
      {"Software\\X", true},
      {"Software\\X\\", true},
      {"SYSTEM\\CurrentControlSet\\Services\\Gone", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRemovableKeyPath(c.path), c.removable) << '"' << c.path << '"';
}

struct HeldEntry {
  RootKey root;
  std::string path, name;
};

// Values that resist a faithful backup each in its own way (refused, unreadable, unwritable as a line,
// changed by the editor), beside ordinary ones.
std::vector<HeldEntry> SeedEntriesThatResistABackup(MemoryRegistry& registry) {
  const std::vector<HeldEntry> entries = {
      {RootKey::CurrentUser, "Software\\Vendor", "v"},
      {RootKey::ClassesRoot, "CLSID\\{1}", ""},
      {RootKey::CurrentUser, "Software\\Tree\\Open", "v"},
      {RootKey::CurrentUser, "Software\\Tree\\Hidden", "secret"},
      {RootKey::CurrentUser, "Software\\ReadOnly", "v"},
      {RootKey::CurrentUser, "Software\\Unreadable", "v"},
      {RootKey::CurrentUser, "Software\\Lines", "two\r\nlines"},
      {RootKey::CurrentUser, "Software\\Odd\nKey", "v"},
      {RootKey::CurrentUser, "Software\\Unending", "v"},
  };
  for (const HeldEntry& e : entries) registry.SetString(e.root, e.path, e.name, "data");
  registry.SetValue(RootKey::CurrentUser, "Software\\Unending", "v", regtype::String, {'d', 0, 'a', 0});
  registry.DenyRights(RootKey::CurrentUser, "Software\\Tree\\Hidden", 0x1);  // KEY_QUERY_VALUE
  registry.DenyRights(RootKey::CurrentUser, "Software\\ReadOnly", 0x2);      // KEY_SET_VALUE: no all-access open
  registry.FailReads(RootKey::CurrentUser, "Software\\Unreadable", "v");
  return entries;
}

// Entries that are refused, or that cannot be read or written back faithfully, stay as they are and
// leave no trace in the backup.
TEST_F(RegBackupTest, EntriesThatCannotBeBackedUpFaithfullyAreKept) {
  const std::vector<HeldEntry> entries = SeedEntriesThatResistABackup(Reg());
  struct Case {
    const char* label;
    bool wholeKey;
    const char* root;
    const char* path;
    const char* name;
    RemoveOutcome expected;
  };
  const Case cases[] = {
      {"one level below the root", true, "HKEY_CURRENT_USER", "Software", "", RemoveOutcome::Refused},
      {"one level, trailing backslash", true, "HKEY_CURRENT_USER", "Software\\", "", RemoveOutcome::Refused},
      {"CLSID itself", true, "HKEY_CLASSES_ROOT", "CLSID", "", RemoveOutcome::Refused},
      {"the root", true, "HKEY_CURRENT_USER", "", "", RemoveOutcome::Refused},
      {"an empty level", true, "HKEY_CURRENT_USER", "Software\\\\Vendor", "", RemoveOutcome::Refused},
      {"a subkey that cannot be read", true, "HKEY_CURRENT_USER", "Software\\Tree", "", RemoveOutcome::NotBackedUp},
      {"a key seen but not opened", true, "HKEY_CURRENT_USER", "Software\\ReadOnly", "",
       RemoveOutcome::NeedsAdministrator},
      {"a value in a key not opened", false, "HKEY_CURRENT_USER", "Software\\ReadOnly", "v",
       RemoveOutcome::NeedsAdministrator},
      {"a key with an unreadable value", true, "HKEY_CURRENT_USER", "Software\\Unreadable", "",
       RemoveOutcome::NotBackedUp},
      {"an unreadable value", false, "HKEY_CURRENT_USER", "Software\\Unreadable", "v", RemoveOutcome::NotBackedUp},
      {"a key with a name a line cannot carry", true, "HKEY_CURRENT_USER", "Software\\Lines", "",
       RemoveOutcome::NotBackedUp},
      {"a value name a line cannot carry", false, "HKEY_CURRENT_USER", "Software\\Lines", "two\r\nlines",
       RemoveOutcome::NotBackedUp},
      {"a key path a line cannot carry", true, "HKEY_CURRENT_USER", "Software\\Odd\nKey", "",
       RemoveOutcome::NotBackedUp},
      {"a key with a string the editor would change", true, "HKEY_CURRENT_USER", "Software\\Unending", "",
       RemoveOutcome::NotBackedUp},
      {"a string the editor would change", false, "HKEY_CURRENT_USER", "Software\\Unending", "v",
       RemoveOutcome::NotBackedUp},
  };
  // Refused without a look at the registry; a key this process may not change needs an administrator.
  for (const Case& c : cases) {
    const RemoveOutcome outcome = c.wholeKey ? Writer().RemoveKeyWithBackup(c.root, c.path)
                                             : Writer().RemoveValueWithBackup(c.root, c.path, c.name);
    EXPECT_EQ(outcome, c.expected) << c.label;
  }
  for (const HeldEntry& e : entries) EXPECT_TRUE(Reg().GetValue(e.root, e.path, e.name)) << e.path << "\\" << e.name;
  EXPECT_FALSE(HasBackup());
  EXPECT_EQ(Writer().RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\ReadOnly", "none"), RemoveOutcome::NotFound);
  EXPECT_EQ(Reg().OpenHandleCount(), 0u);
}

// A backend whose deletions of the named keys and values fail, as access denied would, while
// everything else works: the backup is written, the delete is refused.
class RefusingDeletes final : public test::ForwardingRegistry {
 public:
  RefusingDeletes(RegistryBackend& inner, std::set<std::string> refused)
      : ForwardingRegistry(inner), refused_(std::move(refused)) {}
  long DeleteKey(KeyHandle p, const std::string& s) override {
    return Refused(s) ? status::AccessDenied : ForwardingRegistry::DeleteKey(p, s);
  }
  long DeleteValue(KeyHandle k, const std::string& n) override {
    return Refused(n) ? status::AccessDenied : ForwardingRegistry::DeleteValue(k, n);
  }

 private:
  bool Refused(const std::string& name) const {
    const std::size_t slash = name.rfind('\\');
    return refused_.count(slash == std::string::npos ? name : name.substr(slash + 1)) != 0;
  }
  std::set<std::string> refused_;
};

TEST_F(RegBackupTest, AFailedDeletionKeepsTheEntryButItsBackupIsWritten) {
  Reg().SetString(RootKey::CurrentUser, "Software\\App\\Pinned", "v", "1");
  Reg().SetString(RootKey::CurrentUser, "Software\\App\\Loose", "w", "2");
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Pinned", "3");
  RefusingDeletes refusing(Reg(), {"Pinned"});
  const Platform platform{refusing, env_.files, env_.system, env_.ini, env_.shell};

  EXPECT_EQ(RegBackup(platform, kBackup).RemoveKeyWithBackup("HKEY_CURRENT_USER", "Software\\App"),
            RemoveOutcome::NotDeleted);
  EXPECT_EQ(RegBackup(platform, kBackup).RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\Run", "Pinned"),
            RemoveOutcome::NotDeleted);
  EXPECT_TRUE(Reg().KeyExists(RootKey::CurrentUser, "Software\\App\\Pinned"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "Pinned"));
  // What could go did go, and the backup holds all of it.
  EXPECT_FALSE(Reg().KeyExists(RootKey::CurrentUser, "Software\\App\\Loose"));
  EXPECT_NE(Backup().find("[HKEY_CURRENT_USER\\Software\\App\\Loose]\r\n\"w\"=\"2\"\r\n"), std::string::npos);
  EXPECT_NE(Backup().find("[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Pinned\"=\"3\"\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tamrisk
