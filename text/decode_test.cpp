#include <gtest/gtest.h>

#include "text/decode.h"

namespace zoq {
namespace {

TEST(UrlDecode, PlainAsciiComesBackUnchanged) {
  const Text page = "<h2 class=\"title\">1.2</h2>\r\n\tHello, World! 1+2=3 (a|b) ~`^";
  EXPECT_EQ(UrlDecode(page), page);
  EXPECT_EQ(UrlDecode(""), "");
}

TEST(UrlDecode, EscapesInEitherLetterCase) {
  EXPECT_EQ(UrlDecode("%41%42c"), "ABc");
  EXPECT_EQ(UrlDecode("%4a"), "J");
  EXPECT_EQ(UrlDecode("%4A"), "J");
  EXPECT_EQ(UrlDecode("%3c%3C%2f"), "<</");
  EXPECT_EQ(UrlDecode("a%20b"), "a b");
}

TEST(UrlDecode, PlusStaysAndZeroEscapeAddsNothing) {
  EXPECT_EQ(UrlDecode("a+b"), "a+b");
  EXPECT_EQ(UrlDecode("x%00y"), "xy");
  EXPECT_EQ(UrlDecode("%00"), "");
  EXPECT_EQ(UrlDecode("%00%00a%00"), "a");
}

TEST(UrlDecode, Utf8BecomesCodePage936) {
  // U+4E2D escaped, unescaped, and as escapes mixed with raw bytes.
  EXPECT_EQ(UrlDecode("%E4%B8%AD"), "\xD6\xD0");
  EXPECT_EQ(UrlDecode("%e4%b8%ad"), "\xD6\xD0");
  EXPECT_EQ(UrlDecode("\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(UrlDecode("\xE4%B8\xAD"), "\xD6\xD0");
  // U+4E2D U+6587 between ASCII; the full-width "！" and the euro sign.
  EXPECT_EQ(UrlDecode("v=%E4%B8%AD\xE6\x96\x87!"), "v=\xD6\xD0\xCE\xC4!");
  EXPECT_EQ(UrlDecode("\xEF\xBC\x81"), "\xA3\xA1");
  EXPECT_EQ(UrlDecode("%E2%82%AC"), "\x80");
}

TEST(UrlDecode, BytesThatAreNotUtf8AreReplaced) {
  // Text already in code page 936 is read as UTF-8 and does not survive.
  EXPECT_EQ(UrlDecode("\xD6\xD0"), "??");
  // A sequence cut short, then ASCII: one replacement, the ASCII is kept.
  EXPECT_EQ(UrlDecode("%E4%B8x"), "?x");
  // A character beyond the BMP: code page 936 has none, and each half of
  // its surrogate pair becomes a "?".
  EXPECT_EQ(UrlDecode("a%F0%9F%98%80b"), "a??b");
}

// Long ASCII runs are copied around the converted parts, and a page with
// little ASCII is converted in pieces: neither may lose or split a
// character, also across escapes and broken sequences at the seams.
TEST(UrlDecode, LargePagesConvertWholeAtEverySeam) {
  const std::string ascii(40, 'x');
  Text page, expected;
  Bytes raw;
  for (int i = 0; i < 30000; ++i) {
    const std::string escaped = i % 7 == 0 ? ascii + "\xE4%B8\xAD" : "\xE6\x96\x87 a%E4%B8";
    const std::string plain = i % 7 == 0 ? ascii + "\xE4\xB8\xAD" : "\xE6\x96\x87 a\xE4\xB8";
    page += escaped;
    raw.insert(raw.end(), plain.begin(), plain.end());
    expected += i % 7 == 0 ? ascii + "\xD6\xD0" : "\xCE\xC4 a?";
  }
  EXPECT_EQ(UrlDecode(page), expected);
  EXPECT_EQ(Utf8ToLocal(raw), expected);
}

// A "%" without two hexadecimal digits after it stays a "%" and the bytes
// after it are read as usual; it once swallowed the next two bytes and left a
// stray byte in their place.
TEST(UrlDecode, PercentWithoutDigitsStaysLiteral) {
  EXPECT_EQ(UrlDecode("100% ok"), "100% ok");
  EXPECT_EQ(UrlDecode("50%"), "50%");
  EXPECT_EQ(UrlDecode("%4"), "%4");
  EXPECT_EQ(UrlDecode("%G1"), "%G1");
  EXPECT_EQ(UrlDecode("%4g"), "%4g");
  EXPECT_EQ(UrlDecode("%%41"), "%A");
  EXPECT_EQ(UrlDecode("%%%"), "%%%");
  EXPECT_EQ(UrlDecode("%E4%B8%AD%"), "\xD6\xD0%");
}

TEST(Utf8ToLocal, AppendsAZeroByteAfterALowLastByte) {
  Bytes ascii = {'a', 'b'};
  EXPECT_EQ(Utf8ToLocal(ascii), "ab");
  EXPECT_EQ(ascii, (Bytes{'a', 'b', 0}));

  Bytes endsInZero = {'a', 0};
  EXPECT_EQ(Utf8ToLocal(endsInZero), "a");
  EXPECT_EQ(endsInZero, (Bytes{'a', 0, 0}));
}

TEST(Utf8ToLocal, LeavesAHighLastByteAlone) {
  Bytes chinese = {0xE4, 0xB8, 0xAD};
  EXPECT_EQ(Utf8ToLocal(chinese), "\xD6\xD0");
  EXPECT_EQ(chinese, (Bytes{0xE4, 0xB8, 0xAD}));

  Bytes del = {'a', 0x7F};
  EXPECT_EQ(Utf8ToLocal(del), "a\x7F");
  EXPECT_EQ(del, (Bytes{'a', 0x7F}));

  Bytes empty;
  EXPECT_EQ(Utf8ToLocal(empty), "");
  EXPECT_TRUE(empty.empty());
}

TEST(Utf8ToLocal, StopsAtTheFirstZeroByte) {
  Bytes b = {'a', 0, 'b'};
  EXPECT_EQ(Utf8ToLocal(b), "a");
}

TEST(WideToLocal, ConvertsUpToTheFirstZeroUnit) {
  EXPECT_EQ(WideToLocal(Bytes{0x2D, 0x4E, 'A', 0, 0, 0}), "\xD6\xD0" "A");
  EXPECT_EQ(WideToLocal(Bytes{'A', 0, 0, 0, 'B', 0}), "A");
  EXPECT_EQ(WideToLocal(Bytes{0, 0, 'B', 0}), "");
  EXPECT_EQ(WideToLocal(Bytes{}), "");
}

TEST(WideToLocal, WithoutZeroUnitConvertsTheWholeBuffer) {
  // No terminator: everything is converted and nothing beyond is read.
  EXPECT_EQ(WideToLocal(Bytes{'x', 0, 0x2D, 0x4E}), "x\xD6\xD0");
  // A dangling odd byte is no unit.
  EXPECT_EQ(WideToLocal(Bytes{'x', 0, 'y'}), "x");
  // Long enough for the four-units-at-a-time scan, zero unit at the end.
  Bytes longer;
  for (int i = 0; i < 11; ++i) longer.insert(longer.end(), {static_cast<std::uint8_t>('a' + i), 0});
  EXPECT_EQ(WideToLocal(longer), "abcdefghijk");
  longer[2 * 9] = 0;
  EXPECT_EQ(WideToLocal(longer), "abcdefghi");
}

}  // namespace
}  // namespace zoq
