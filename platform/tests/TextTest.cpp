#include "platform/Text.h"

#include <gtest/gtest.h>

namespace tamrisk {
namespace {

// Text that must survive UTF-8 -> UTF-16 -> UTF-8 unchanged, with its UTF-16 length.
struct RoundTrip {
  const char* utf8;
  std::size_t units;
};

TEST(Text, Utf8AndUtf16RoundTripEveryPlane) {
  const RoundTrip cases[] = {
      {"", 0},
      {"C:\\Data\\app.exe", 15},
      {"C:\\\u0394ata\\app.exe", 15},           // Greek capital delta
      {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", 4},  // Hebrew
      {"\xE6\x96\x87\xE4\xBB\xB6", 2},          // CJK
      {"\xF0\x9F\x98\x80 smile", 8},            // outside the BMP: a surrogate pair
      {"\xED\xA0\x80x", 2},                     // a lone high surrogate, carried through
  };
  for (const auto& c : cases) {
    const std::u16string wide = Utf8ToUtf16(c.utf8);
    EXPECT_EQ(wide.size(), c.units) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(wide), c.utf8) << c.utf8;
  }
}

TEST(Text, LoneSurrogatesFromTheRegistryComeBackExactly) {
  const std::u16string odd = {u'a', 0xDC00, u'b', 0xD83D};
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(odd)), odd);
}

TEST(Text, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");  // overlong "/"
  EXPECT_EQ(Utf8ToUtf16("\xE6\x96"), u"\uFFFD");  // cut short
}

TEST(Text, RegistryStringBytes) {
  EXPECT_EQ(Utf16BytesOf("A\xCE\x94"), (std::vector<std::uint8_t>{'A', 0, 0x94, 0x03, 0, 0}));
  EXPECT_EQ(TextFromUtf16Bytes({'A', 0, 0x94, 0x03, 0, 0, 'z', 0}), "A\xCE\x94");  // stops at the NUL
  EXPECT_EQ(TextFromUtf16Bytes({'A', 0, 'B'}), "A");                               // odd last byte
  EXPECT_EQ(TextFromUtf16Bytes({}), "");
}

TEST(Text, CaseFoldingLeavesOtherCharactersExact) {
  EXPECT_TRUE(EqualsNoCase("C:\\\u0394ATA", "c:\\\u0394ata"));
  EXPECT_FALSE(EqualsNoCase("\xCE\x94", "\xCE\xB4"));  // capital and small delta differ
  EXPECT_EQ(FindNoCase("x\u6587ABC", "abc"), 4u);
}

}  // namespace
}  // namespace tamrisk
