// Reading registry files back, and the check that an import put everything back.
#include "repair/RegFile.h"

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "platform/memory/MemoryRegistry.h"
#include "testkit/TestKit.h"

namespace tamrisk {
namespace {

using test::Cp1252;
using test::Raw;
using test::Utf16File;

std::vector<std::uint8_t> Units(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

constexpr const char* kKey = "HKCU\\Software\\Tamrisk\\\u0394ata";

// What the backup of kKey holds, as a 5.00 file of the repair writes it.
constexpr const char* kUnicodeBackup =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tamrisk\\\u0394ata]\r\n"
    "@=\"C:\\\\\u0394ata\\\\app.exe\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
    "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,17,18,19,\\\r\n"
    "  1A,1B\r\n"
    "\"Odd \\\"name\\\"\"=hex(0):\r\n"
    "\r\n"
    "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
    "\"Ignored\"=\"x\"\r\n";

std::vector<test::RegRow> BackedUpRows() {
  std::vector<std::uint8_t> blob;
  for (int i = 0; i < 28; ++i) blob.push_back(static_cast<std::uint8_t>(i));
  return {Raw(kKey, "", regtype::String, Utf16BytesOf("C:\\\u0394ata\\app.exe")),
          Raw(kKey, "Count", regtype::Dword, {42, 0, 0, 0}),
          Raw(kKey, "Path", regtype::ExpandString, Utf16BytesOf("%A%")),
          Raw(kKey, "List", regtype::MultiString, Units(std::u16string(u"a\0b\0\0", 5))),
          Raw(kKey, "Blob", regtype::Binary, blob),
          Raw(kKey, "Odd \"name\"", regtype::None, {})};
}

TEST(RegFile, ReadsEveryFormTheBackupWriterUses) {
  const std::optional<RegFile> file = ParseRegFile(Utf16File(kUnicodeBackup), Cp1252);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->keys.size(), 1u);  // the deleted key and its value are not expected back
  EXPECT_TRUE(file->deletes);
  const RegFileKey& key = file->keys[0];
  EXPECT_EQ(key.root, RootKey::CurrentUser);
  EXPECT_EQ(key.path, "Software\\Tamrisk\\\u0394ata");
  const std::vector<test::RegRow> rows = BackedUpRows();
  ASSERT_EQ(key.values.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(key.values[i].name, *rows[i].name);
    EXPECT_EQ(key.values[i].type, rows[i].type) << rows[i].name.value();
    EXPECT_EQ(key.values[i].data, rows[i].data) << rows[i].name.value();
  }
}

TEST(RegFile, CountsWhatDidNotComeBack) {
  const std::optional<RegFile> file = ParseRegFile(Utf16File(kUnicodeBackup), Cp1252);
  ASSERT_TRUE(file);
  struct Case {
    const char* what;
    std::size_t dropRow;  // rows.size(): none dropped
    bool changeCount;
    std::size_t missing;
  };
  const std::size_t all = BackedUpRows().size();
  const Case cases[] = {
      {"everything back", all, false, 0},
      {"one value gone", 2, false, 1},
      {"one value changed", all, true, 1},
      {"both", 4, true, 2},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    std::vector<test::RegRow> rows = BackedUpRows();
    if (c.changeCount) rows[1].data = {43, 0, 0, 0};
    if (c.dropRow < rows.size()) rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(c.dropRow));
    test::Seed(registry, rows);
    const RestoreCheck check = CheckRestored(registry, *file);
    EXPECT_EQ(check.missing, c.missing) << c.what;
    EXPECT_EQ(check.firstMissingKey, c.missing ? "HKEY_CURRENT_USER\\Software\\Tamrisk\\\u0394ata" : "") << c.what;
  }
  MemoryRegistry empty;
  EXPECT_EQ(CheckRestored(empty, *file).missing, 1 + all);  // the key and each of its values
}

TEST(RegFile, Regedit4TextIsConvertedFromTheAnsiCodePage) {
  const std::string ansi =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Caf\xE9]\r\n\"Name\"=\"\x80 5\"\r\n"
      "\"Expand\"=hex(2):25,00\r\n";
  const std::optional<RegFile> file = ParseRegFile(ansi, Cp1252);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->keys.size(), 1u);
  EXPECT_EQ(file->keys[0].path, "Software\\Caf\xC3\xA9");
  ASSERT_EQ(file->keys[0].values.size(), 2u);
  EXPECT_EQ(file->keys[0].values[0].data, Utf16BytesOf("\xE2\x82\xAC 5"));
  EXPECT_EQ(file->keys[0].values[1].data, Units(std::u16string(u"%\0", 2)));
}

TEST(RegFile, RefusesWhatIsNoRegistryFile) {
  const char* bad[] = {
      "",
      "REGEDIT5\r\n",
      "Windows Registry Editor Version 5.00\r\n",  // a 5.00 header needs the UTF-16 form
      "REGEDIT4\r\n\"Orphan\"=\"no key above\"\r\n",
      "REGEDIT4\r\n[HKEY_NOWHERE\\x]\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"v\"=hex:0G\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"v\"=\"unterminated\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"v\"=dword:123456789\r\n",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseRegFile(text, Cp1252)) << text;
}

}  // namespace
}  // namespace tamrisk
