// The REGEDIT4 writer's exact text, and when an entry is backed up and deleted or left alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "repair/RegBackup.h"
#include "repair/Repair.h"

namespace tamrisk {
namespace {

constexpr const char* kBackup = "C:\\Backup\\Backup20240102030405.reg";

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
std::vector<std::uint8_t> Sz(std::string_view text) {
  std::vector<std::uint8_t> data = Bytes(text);
  data.push_back(0);
  return data;
}
std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> data(n);
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i);
  return data;
}
std::string HexList(std::size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) text += ',';
    text += kDigits[(i >> 4) & 15];
    text += kDigits[i & 15];
  }
  return text;
}

TEST(RegBackupText, EscapesBackslashesBeforeQuotes) {
  EXPECT_EQ(DoubleBackslashes("a\\b\\\\c"), "a\\\\b\\\\\\\\c");
  EXPECT_EQ(EscapeQuotes("say \"hi\""), "say \\\"hi\\\"");
  // One backslash then one quote: two backslashes, a third, then the quote.
  EXPECT_EQ(EscapeQuotes(DoubleBackslashes("\\\"")), "\\\\\\\"");
  EXPECT_EQ(EscapeQuotes(DoubleBackslashes("line\r\nbreak")), "line\r\nbreak");
}

struct LineCase {
  const char* label;
  std::string name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::string expected;
};

TEST(RegBackupText, ValueLines) {
  const std::vector<LineCase> cases = {
      {"default value", "", regtype::String, Sz("C:\\App\\app.exe"), "@=\"C:\\\\App\\\\app.exe\"\r\n"},
      {"escaped name and data", "a\\b \"c\"", regtype::String, Sz("say \"x\\y\""),
       "\"a\\\\b \\\"c\\\"\"=\"say \\\"x\\\\y\\\"\"\r\n"},
      {"empty string", "e", regtype::String, Sz(""), "\"e\"=\"\"\r\n"},
      {"ANSI letters stay as they are", "n", regtype::String, Sz("caf\xe9"), "\"n\"=\"caf\xe9\"\r\n"},
      {"dword", "d", regtype::Dword, {0x2B, 0x1A, 0, 0}, "\"d\"=dword:00001A2B\r\n"},
      {"negative dword", "d", regtype::Dword, {0xFE, 0xFF, 0xFF, 0xFF}, "\"d\"=dword:FFFFFFFE\r\n"},
      {"binary", "b", regtype::Binary, {0x00, 0xAB, 0x7F}, "\"b\"=hex:00,AB,7F\r\n"},
      {"empty binary", "b", regtype::Binary, {}, "\"b\"=hex:\r\n"},
      // Types a quoted string or a dword would change are written as their raw bytes.
      {"expandable string", "x", regtype::ExpandString, Sz("%A%"), "\"x\"=hex(2):25,41,25,00\r\n"},
      {"multi-string", "m", regtype::MultiString, Bytes(std::string("a\0b\0\0", 5)), "\"m\"=hex(7):61,00,62,00,00\r\n"},
      {"dword of two bytes", "d", regtype::Dword, {1, 2}, "\"d\"=hex(4):01,02\r\n"},
      {"qword", "q", regtype::Qword, {1, 0, 0, 0, 0, 0, 0, 0xFF}, "\"q\"=hex(b):01,00,00,00,00,00,00,FF\r\n"},
      {"none", "n", regtype::None, {}, "\"n\"=hex(0):\r\n"},
      {"big-endian dword", "n", regtype::DwordBigEndian, {0, 0, 0, 1}, "\"n\"=hex(5):00,00,00,01\r\n"},
      {"type above 15", "n", 0x1C, {9}, "\"n\"=hex(1c):09\r\n"},
      {"string with a line break", "s", regtype::String, Sz("a\r\nb"), "\"s\"=hex(1):61,0D,0A,62,00\r\n"},
      {"string with a lone line feed", "s", regtype::String, Sz("a\nb"), "\"s\"=hex(1):61,0A,62,00\r\n"},
      {"string without its NUL", "s", regtype::String, Bytes("ab"), "\"s\"=hex(1):61,62\r\n"},
      {"string with bytes after its NUL", "s", regtype::String, Bytes(std::string("a\0b\0", 4)),
       "\"s\"=hex(1):61,00,62,00\r\n"},
      {"string of no bytes", "s", regtype::String, {}, "\"s\"=hex(1):\r\n"},
      // A name that cannot stand on one line gives no line at all.
      {"name with a line feed", "two\nlines", regtype::String, Sz("x"), ""},
      {"name with a carriage return", "two\rlines", regtype::Dword, {0, 0, 0, 0}, ""},
  };
  for (const LineCase& c : cases) EXPECT_EQ(RegValueLine(c.name, c.type, c.data), c.expected) << c.label;
}

TEST(RegBackupText, BinaryBreaksAfterEvery25BytesFromTheTwentySixth) {
  struct Layout {
    std::size_t size;
    std::vector<std::size_t> bytesPerLine;
  };
  const std::vector<Layout> layouts = {
      {1, {1}}, {25, {25}}, {26, {26}}, {27, {26, 1}}, {51, {26, 25}}, {52, {26, 25, 1}}, {76, {26, 25, 25}},
  };
  for (const Layout& layout : layouts) {
    const std::string line = RegValueLine("b", regtype::Binary, Counting(layout.size));
    std::string expected = "\"b\"=hex:";
    std::size_t next = 0;
    for (std::size_t row = 0; row < layout.bytesPerLine.size(); ++row) {
      for (std::size_t i = 0; i < layout.bytesPerLine[row]; ++i, ++next) {
        expected += HexList(next + 1).substr(next * 3, 2);
        if (next + 1 < layout.size) expected += ',';
      }
      expected += row + 1 < layout.bytesPerLine.size() ? "\\\r\n" : "\r\n";
    }
    EXPECT_EQ(line, expected) << layout.size << " bytes";
  }
  // The same layout for the raw-byte types.
  const std::string qwordLike = RegValueLine("m", regtype::MultiString, Counting(27));
  EXPECT_EQ(qwordLike, "\"m\"=hex(7):" + HexList(26) + ",\\\r\n1A\r\n");
}

class RegBackupTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.files.AddFolder("C:\\Backup"); }

  std::string Backup() const { return env_.files.Contents(kBackup).value_or("<no file>"); }
  bool HasBackup() const { return env_.files.Exists(kBackup); }
  MemoryRegistry& Reg() { return env_.registry; }
  const Platform& Env() { return env_.platform; }
  // A fresh writer each time, as each repair makes one.
  RegBackup Writer() { return RegBackup(env_.platform, kBackup); }

  MemoryPlatform env_;
};

TEST_F(RegBackupTest, WholeKeyListsValuesThenSubkeysDepthFirst) {
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\App", "", "C:\\App");
  Reg().SetDword(RootKey::LocalMachine, "Software\\Vendor\\App", "Count", 0xFFFFFFFF);
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\App\\A", "Name", "a");
  Reg().SetString(RootKey::LocalMachine, "Software\\Vendor\\App\\A\\Deep", "Level", "3");
  Reg().CreateKey(RootKey::LocalMachine, "Software\\Vendor\\App\\B");

  ASSERT_TRUE(Writer().AppendToBackup(RootKey::LocalMachine, "Software\\Vendor\\App\\", "", true));
  EXPECT_EQ(Backup(),
            "REGEDIT4\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App]\r\n@=\"C:\\\\App\"\r\n\"Count\"=dword:FFFFFFFF\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\A]\r\n\"Name\"=\"a\"\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\A\\Deep]\r\n\"Level\"=\"3\"\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\B]\r\n");
  EXPECT_EQ(Reg().OpenHandleCount(), 0u);
}

TEST_F(RegBackupTest, ValueSectionHoldsOnlyThatValueAndLaterSectionsAppend) {
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Tool", "C:\\tool.exe");
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Other", "C:\\other.exe");
  Reg().SetString(RootKey::CurrentUser, "", "AtRoot", "r");

  ASSERT_TRUE(Writer().AppendToBackup(RootKey::CurrentUser, "Software\\Run", "Tool", false));
  ASSERT_TRUE(Writer().AppendToBackup(RootKey::CurrentUser, "", "AtRoot", false));
  EXPECT_EQ(Backup(),
            "REGEDIT4\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Tool\"=\"C:\\\\tool.exe\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\]\r\n\"AtRoot\"=\"r\"\r\n");
}

TEST_F(RegBackupTest, AnExistingFileGetsNoSecondHeader) {
  env_.files.AddFile(kBackup, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Earlier]\r\n");
  Reg().SetDword(RootKey::CurrentUser, "Software\\X", "n", 1);
  ASSERT_TRUE(Writer().AppendToBackup(RootKey::CurrentUser, "Software\\X", "n", false));
  EXPECT_EQ(Backup(),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Earlier]\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"n\"=dword:00000001\r\n");
}

TEST_F(RegBackupTest, AFileThatCannotBeWrittenThrowsAndTheEntryStays) {
  Reg().SetString(RootKey::CurrentUser, "Software\\X", "v", "1");
  const std::string missingFolder = "C:\\NoSuchFolder\\Backup.reg";
  EXPECT_THROW(RegBackup(Env(), missingFolder).RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\X", "v"), RepairError);
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\X", "v"));
}

TEST(RegBackupGuard, KeysTooNearTheRootAreNotRemovable) {
  struct Case {
    const char* path;
    bool removable;
  };
  const Case cases[] = {
      {"", false},           {"\\", false},           {"Software", false},         {"Software\\", false},
      {"CLSID", false},      {"\\Software", false},   {"Software\\\\X", false},    {"Software\\X\\\\", false},
      {"Software\\X", true}, {"Software\\X\\", true}, {"SYSTEM\\CurrentControlSet\\Services\\Gone", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRemovableKeyPath(c.path), c.removable) << '"' << c.path << '"';
}

// Entries that are refused, or that cannot be read or written back faithfully, stay as they are and
// leave no trace in the backup.
TEST_F(RegBackupTest, EntriesThatCannotBeBackedUpFaithfullyAreKept) {
  struct Entry {
    RootKey root;
    std::string path, name;
  };
  const std::vector<Entry> entries = {
      {RootKey::CurrentUser, "Software\\Vendor", "v"},       {RootKey::ClassesRoot, "CLSID\\{1}", ""},
      {RootKey::CurrentUser, "Software\\Tree\\Open", "v"},   {RootKey::CurrentUser, "Software\\Tree\\Hidden", "secret"},
      {RootKey::CurrentUser, "Software\\ReadOnly", "v"},     {RootKey::CurrentUser, "Software\\Unreadable", "v"},
      {RootKey::CurrentUser, "Software\\Lines", "two\r\nlines"}, {RootKey::CurrentUser, "Software\\Odd\nKey", "v"},
  };
  for (const Entry& e : entries) Reg().SetString(e.root, e.path, e.name, "data");
  Reg().DenyRights(RootKey::CurrentUser, "Software\\Tree\\Hidden", 0x1);  // KEY_QUERY_VALUE
  Reg().DenyRights(RootKey::CurrentUser, "Software\\ReadOnly", 0x2);      // KEY_SET_VALUE: no all-access open
  Reg().FailReads(RootKey::CurrentUser, "Software\\Unreadable", "v");

  struct Case {
    const char* label;
    bool wholeKey;
    const char* root;
    const char* path;
    const char* name;
  };
  const Case cases[] = {
      {"one level below the root", true, "HKEY_CURRENT_USER", "Software", ""},
      {"one level, trailing backslash", true, "HKEY_CURRENT_USER", "Software\\", ""},
      {"CLSID itself", true, "HKEY_CLASSES_ROOT", "CLSID", ""},
      {"the root", true, "HKEY_CURRENT_USER", "", ""},
      {"an empty level", true, "HKEY_CURRENT_USER", "Software\\\\Vendor", ""},
      {"a subkey that cannot be read", true, "HKEY_CURRENT_USER", "Software\\Tree", ""},
      {"a key seen but not opened", true, "HKEY_CURRENT_USER", "Software\\ReadOnly", ""},
      {"a value in a key not opened", false, "HKEY_CURRENT_USER", "Software\\ReadOnly", "v"},
      {"a key with an unreadable value", true, "HKEY_CURRENT_USER", "Software\\Unreadable", ""},
      {"an unreadable value", false, "HKEY_CURRENT_USER", "Software\\Unreadable", "v"},
      {"a key with a name a line cannot carry", true, "HKEY_CURRENT_USER", "Software\\Lines", ""},
      {"a value name a line cannot carry", false, "HKEY_CURRENT_USER", "Software\\Lines", "two\r\nlines"},
      {"a key path a line cannot carry", true, "HKEY_CURRENT_USER", "Software\\Odd\nKey", ""},
  };
  for (const Case& c : cases) {
    const RemoveOutcome outcome = c.wholeKey ? Writer().RemoveKeyWithBackup(c.root, c.path)
                                             : Writer().RemoveValueWithBackup(c.root, c.path, c.name);
    EXPECT_EQ(outcome, RemoveOutcome::Kept) << c.label;
  }
  for (const Entry& e : entries) EXPECT_TRUE(Reg().GetValue(e.root, e.path, e.name)) << e.path << "\\" << e.name;
  EXPECT_FALSE(HasBackup());
  EXPECT_EQ(Writer().RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\ReadOnly", "none"), RemoveOutcome::NotFound);
  EXPECT_EQ(Reg().OpenHandleCount(), 0u);
}

// A backend whose deletions of the named keys and values fail, as access denied would, while
// everything else works: the backup is written, the delete is refused.
class RefusingDeletes final : public RegistryBackend {
 public:
  RefusingDeletes(RegistryBackend& inner, std::set<std::string> refused) : inner_(inner), refused_(std::move(refused)) {}
  long OpenKey(KeyHandle p, const std::string& s, std::uint32_t r, KeyHandle& k) override { return inner_.OpenKey(p, s, r, k); }
  long CreateKey(KeyHandle p, const std::string& s, std::uint32_t r, KeyHandle& k) override {
    return inner_.CreateKey(p, s, r, k);
  }
  long CloseKey(KeyHandle k) override { return inner_.CloseKey(k); }
  long EnumKey(KeyHandle k, std::uint32_t i, std::string& n) override { return inner_.EnumKey(k, i, n); }
  long EnumValue(KeyHandle k, std::uint32_t i, std::string& n) override { return inner_.EnumValue(k, i, n); }
  long QueryValueInfo(KeyHandle k, const std::string& n, std::uint32_t& t, std::uint32_t& s) override {
    return inner_.QueryValueInfo(k, n, t, s);
  }
  long QueryValue(KeyHandle k, const std::string& n, std::uint32_t& t, std::vector<std::uint8_t>& d) override {
    return inner_.QueryValue(k, n, t, d);
  }
  long QueryInfoKey(KeyHandle k, KeyInfo& i) override { return inner_.QueryInfoKey(k, i); }
  long SetValue(KeyHandle k, const std::string& n, std::uint32_t t, const std::vector<std::uint8_t>& d) override {
    return inner_.SetValue(k, n, t, d);
  }
  long DeleteKey(KeyHandle p, const std::string& s) override {
    return Refused(s) ? status::AccessDenied : inner_.DeleteKey(p, s);
  }
  long DeleteValue(KeyHandle k, const std::string& n) override {
    return Refused(n) ? status::AccessDenied : inner_.DeleteValue(k, n);
  }

 private:
  bool Refused(const std::string& name) const {
    const std::size_t slash = name.rfind('\\');
    return refused_.count(slash == std::string::npos ? name : name.substr(slash + 1)) != 0;
  }
  RegistryBackend& inner_;
  std::set<std::string> refused_;
};

TEST_F(RegBackupTest, AFailedDeletionKeepsTheEntryButItsBackupIsWritten) {
  Reg().SetString(RootKey::CurrentUser, "Software\\App\\Pinned", "v", "1");
  Reg().SetString(RootKey::CurrentUser, "Software\\App\\Loose", "w", "2");
  Reg().SetString(RootKey::CurrentUser, "Software\\Run", "Pinned", "3");
  RefusingDeletes refusing(Reg(), {"Pinned"});
  const Platform platform{refusing, env_.files, env_.system, env_.ini, env_.shell};

  EXPECT_EQ(RegBackup(platform, kBackup).RemoveKeyWithBackup("HKEY_CURRENT_USER", "Software\\App"), RemoveOutcome::Kept);
  EXPECT_EQ(RegBackup(platform, kBackup).RemoveValueWithBackup("HKEY_CURRENT_USER", "Software\\Run", "Pinned"),
            RemoveOutcome::Kept);
  EXPECT_TRUE(Reg().KeyExists(RootKey::CurrentUser, "Software\\App\\Pinned"));
  EXPECT_TRUE(Reg().GetValue(RootKey::CurrentUser, "Software\\Run", "Pinned"));
  // What could go did go, and the backup holds all of it.
  EXPECT_FALSE(Reg().KeyExists(RootKey::CurrentUser, "Software\\App\\Loose"));
  EXPECT_NE(Backup().find("[HKEY_CURRENT_USER\\Software\\App\\Loose]\r\n\"w\"=\"2\"\r\n"), std::string::npos);
  EXPECT_NE(Backup().find("[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Pinned\"=\"3\"\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tamrisk
