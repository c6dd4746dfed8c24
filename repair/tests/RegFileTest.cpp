// Registry files as the backup writes them and as they are read back, and the check that an import
// put everything back.
#include "repair/RegFile.h"

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "platform/memory/MemoryPlatform.h"
#include "platform/memory/MemoryRegistry.h"
#include "repair/RegBackup.h"
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

std::vector<std::uint8_t> Sz(std::string_view text) { return test::TextBytes(text); }
constexpr const char* kLoneSurrogate = "\xED\xA0\x80";  // U+D800 alone, as names and data may hold it
// Greek, Hebrew, CJK and a character outside the BMP, and the same as a quoted string carries it.
constexpr const char* kWorldText =
    "C:\\\u0394ata\\\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x98\x80.exe";
constexpr const char* kWorldTextQuoted =
    "\"C:\\\\\u0394ata\\\\\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x98\x80.exe\"";

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> data(n);
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i);
  return data;
}
// "00,01,...": the bytes first to first + count - 1 of Counting.
std::string HexList(std::size_t count, std::size_t first = 0) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = first; i < first + count; ++i) {
    if (i > first) text += ',';
    text += kDigits[(i >> 4) & 15];
    text += kDigits[i & 15];
  }
  return text;
}

struct WrittenCase {
  const char* label;
  std::string name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::string line;  // as the file holds it, in UTF-8; "" when it cannot be backed up faithfully
};

const std::vector<WrittenCase>& WrittenCases() {
  static const std::vector<WrittenCase> cases = {
      {"default value", "", regtype::String, Sz("C:\\App\\app.exe"), "@=\"C:\\\\App\\\\app.exe\"\r\n"},
      {"a value named @", "@", regtype::String, Sz("x"), "\"@\"=\"x\"\r\n"},
      {"escaped name and data", "a\\b \"c\"", regtype::String, Sz("say \"x\\y\""),
       "\"a\\\\b \\\"c\\\"\"=\"say \\\"x\\\\y\\\"\"\r\n"},
      {"a backslash before a quote", "\\\"", regtype::String, Sz("\\\""), "\"\\\\\\\"\"=\"\\\\\\\"\"\r\n"},
      {"empty string", "e", regtype::String, Sz(""), "\"e\"=\"\"\r\n"},
      {"text in any language stays as it is", kWorldText, regtype::String, Sz(kWorldText),
       std::string(kWorldTextQuoted) + "=" + kWorldTextQuoted + "\r\n"},
      {"a lone surrogate in a name",
       std::string("n") + kLoneSurrogate,
       regtype::Dword,
       {1, 0, 0, 0},
       std::string("\"n") + kLoneSurrogate + "\"=dword:00000001\r\n"},
      {"dword", "d", regtype::Dword, {0x2B, 0x1A, 0, 0}, "\"d\"=dword:00001A2B\r\n"},
      {"negative dword", "d", regtype::Dword, {0xFE, 0xFF, 0xFF, 0xFF}, "\"d\"=dword:FFFFFFFE\r\n"},
      {"binary", "b", regtype::Binary, {0x00, 0xAB, 0x7F}, "\"b\"=hex:00,AB,7F\r\n"},
      {"empty binary", "b", regtype::Binary, {}, "\"b\"=hex:\r\n"},
      {"binary over three lines", "b", regtype::Binary, Counting(76),
       "\"b\"=hex:" + HexList(26) + ",\\\r\n" + HexList(25, 26) + ",\\\r\n" + HexList(25, 51) + "\r\n"},
      // Types a quoted string or a dword would change are written as their raw bytes.
      {"expandable string", "x", regtype::ExpandString, Sz("%A%"), "\"x\"=hex(2):25,00,41,00,25,00,00,00\r\n"},
      {"expandable string in other letters", "\xE6\x96\x87", regtype::ExpandString, Sz("%\xCE\x94%"),
       "\"\xE6\x96\x87\"=hex(2):25,00,94,03,25,00,00,00\r\n"},
      {"multi-string", "m", regtype::MultiString, test::Bytes(std::string("a\0\0\0b\0\0\0\0\0", 10)),
       "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"},
      {"empty multi-string", "m", regtype::MultiString, test::Bytes(std::string("\0\0", 2)), "\"m\"=hex(7):00,00\r\n"},
      {"multi-string of no bytes", "m", regtype::MultiString, {}, "\"m\"=hex(7):\r\n"},
      {"dword of two bytes", "d", regtype::Dword, {1, 2}, "\"d\"=hex(4):01,02\r\n"},
      {"qword", "q", regtype::Qword, {1, 0, 0, 0, 0, 0, 0, 0xFF}, "\"q\"=hex(b):01,00,00,00,00,00,00,FF\r\n"},
      {"qword-like over two lines", "m", regtype::Qword, Counting(27), "\"m\"=hex(b):" + HexList(26) + ",\\\r\n1A\r\n"},
      {"none", "n", regtype::None, {}, "\"n\"=hex(0):\r\n"},
      {"big-endian dword", "n", regtype::DwordBigEndian, {0, 0, 0, 1}, "\"n\"=hex(5):00,00,00,01\r\n"},
      {"type above 15", "n", 0x1C, {9}, "\"n\"=hex(1c):09\r\n"},
      {"string with a line break", "s", regtype::String, Sz("a\r\nb"),
       "\"s\"=hex(1):61,00,0D,00,0A,00,62,00,00,00\r\n"},
      {"string with a lone line feed", "s", regtype::String, Sz("a\nb"), "\"s\"=hex(1):61,00,0A,00,62,00,00,00\r\n"},
      {"string with a lone surrogate", "s", regtype::String, Sz(std::string("a") + kLoneSurrogate),
       "\"s\"=hex(1):61,00,00,D8,00,00\r\n"},
      {"string with units after its NUL", "s", regtype::String, test::Bytes(std::string("a\0\0\0b\0\0\0", 8)),
       "\"s\"=hex(1):61,00,00,00,62,00,00,00\r\n"},
      {"string of no bytes", "s", regtype::String, {}, "\"s\"=hex(1):\r\n"},
      {"odd length after a NUL unit", "s", regtype::String, {0, 0, 0x41}, "\"s\"=hex(1):00,00,41\r\n"},
      // The registry editor ends string data with a NUL unit when its last whole unit is not one (and
      // crashes on a single byte), so such data is not backed up.
      {"string without its NUL", "s", regtype::String, test::Bytes(std::string("a\0b\0", 4)), ""},
      {"string of one byte", "s", regtype::String, {0x41}, ""},
      {"string of odd length", "s", regtype::String, {0x41, 0, 0x42}, ""},
      {"expandable string without its NUL", "x", regtype::ExpandString, {0x41, 0}, ""},
      {"multi-string without its last NUL", "m", regtype::MultiString, {0x41, 0, 0}, ""},
      // Nor is a value whose name cannot stand on one line.
      {"name with a line feed", "two\nlines", regtype::String, Sz("x"), ""},
      {"name with a carriage return", "two\rlines", regtype::Dword, {0, 0, 0, 0}, ""},
  };
  return cases;
}

// Each value backed up alone: the file holds exactly the expected bytes, and reading it gives back the
// same name, type and data.
TEST(RegFileWritten, EveryValueIsWrittenByteForByteAndReadBackTheSame) {
  constexpr const char* kFile = "C:\\Backup\\Backup20240102030405.reg";
  constexpr const char* kPath = "Software\\Tamrisk\\\u0394ata";
  for (const WrittenCase& c : WrittenCases()) {
    MemoryPlatform env;
    env.files.AddFolder("C:\\Backup");
    env.registry.SetValue(RootKey::CurrentUser, kPath, c.name, c.type, c.data);
    const bool written = RegBackup(env.platform, kFile).AppendToBackup(RootKey::CurrentUser, kPath, c.name, false);
    ASSERT_EQ(written, !c.line.empty()) << c.label;
    if (!written) continue;
    const std::string bytes = env.files.Contents(kFile).value_or("");
    EXPECT_EQ(bytes, Utf16File(std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\") + kPath +
                               "]\r\n" + c.line))
        << c.label;
    const std::optional<RegFile> file = ParseRegFile(bytes, Cp1252);
    ASSERT_TRUE(file && file->keys.size() == 1 && file->keys[0].values.size() == 1) << c.label;
    EXPECT_EQ(file->keys[0].path, kPath) << c.label;
    const RegFileValue& value = file->keys[0].values[0];
    EXPECT_EQ(value.name, c.name) << c.label;
    EXPECT_EQ(value.type, c.type) << c.label;
    EXPECT_EQ(value.data, c.data) << c.label;
  }
}

TEST(RegFileWritten, BinaryBreaksAfterEvery25BytesFromTheTwentySixth) {
  struct Layout {
    std::size_t size;
    std::vector<std::size_t> bytesPerLine;
  };
  const std::vector<Layout> layouts = {
      {1, {1}}, {25, {25}}, {26, {26}}, {27, {26, 1}}, {51, {26, 25}}, {52, {26, 25, 1}}, {76, {26, 25, 25}},
  };
  for (const Layout& layout : layouts) {
    std::string expected = "\"b\"=hex:";
    std::size_t first = 0;
    for (const std::size_t count : layout.bytesPerLine) {
      expected += HexList(count, first);
      first += count;
      expected += first < layout.size ? ",\\\r\n" : "\r\n";
    }
    EXPECT_EQ(RegValueLine("b", regtype::Binary, Counting(layout.size)), expected) << layout.size << " bytes";
  }
}

TEST(RegFileWritten, TextIsWrittenAsUtf16WithTheByteOrderMarkOnRequest) {
  EXPECT_EQ(RegFileBytes("A\xCE\x94\r\n", true), std::string("\xFF\xFE"
                                                             "A\0\x94\x03\r\0\n\0",
                                                             10));
  EXPECT_EQ(RegFileBytes(std::string("\xF0\x9F\x98\x80") + kLoneSurrogate, false),
            std::string("\x3D\xD8\x00\xDE\x00\xD8", 6));
}

}  // namespace
}  // namespace tamrisk
