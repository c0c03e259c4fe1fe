#include "text/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zoq {
namespace {

TEST(TextPositions, LengthCountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength("\xD6\xD0"), 2);  // one Chinese character
}

TEST(TextPositions, MidLeftRightInRange) {
  EXPECT_EQ(TextMid("abc", 2, 10), "bc");
  EXPECT_EQ(TextMid("abc", 1, 2), "ab");
  EXPECT_EQ(TextMid("abc", 3, 1), "c");
  EXPECT_EQ(TextLeft("abc", 2), "ab");
  EXPECT_EQ(TextRight("abc", 2), "bc");
  EXPECT_EQ(TextRight("abc", 5), "abc");
  EXPECT_EQ(TextLeft("abc", 3), "abc");
}

TEST(TextPositions, OutOfRangeGivesOrdinaryValues) {
  EXPECT_EQ(TextMid("abc", 4, 1), "");
  EXPECT_EQ(TextMid("abc", 100000, 5), "");
  EXPECT_EQ(TextMid("abc", 2, 0), "");
  EXPECT_EQ(TextMid("", 1, 5), "");
  // A start below 1 counts as 1; a negative count as 0.
  EXPECT_EQ(TextMid("abc", 0, 2), "ab");
  EXPECT_EQ(TextMid("abc", -5, 2), "ab");
  EXPECT_EQ(TextMid("abc", 2, -2), "");
  EXPECT_EQ(TextMid("abc", INT32_MIN, INT32_MAX), "abc");
  EXPECT_EQ(TextMid("abc", INT32_MAX, INT32_MAX), "");
  EXPECT_EQ(TextLeft("abc", 0), "");
  EXPECT_EQ(TextLeft("abc", -1), "");
  EXPECT_EQ(TextRight("abc", -1), "");
  EXPECT_EQ(TextRight("abc", INT32_MAX), "abc");
}

TEST(TextFind, PositionsAndStart) {
  EXPECT_EQ(TextFind("abcabc", "b"), 2);
  EXPECT_EQ(TextFind("abcabc", "b", 3), 5);
  EXPECT_EQ(TextFind("abcabc", "b", 6), -1);
  EXPECT_EQ(TextFind("abcabc", "bc", 5), 5);
  EXPECT_EQ(TextFind("abc", "x"), -1);
  EXPECT_EQ(TextFind("abc", "abcd"), -1);
  EXPECT_EQ(TextFind("abc", "abc"), 1);
}

TEST(TextFind, OutOfRangeStartAndEmptyTexts) {
  EXPECT_EQ(TextFind("abcabc", "a", 0), 1);
  EXPECT_EQ(TextFind("abcabc", "a", -7), 1);
  EXPECT_EQ(TextFind("abc", "c", 4), -1);
  EXPECT_EQ(TextFind("abc", "c", INT32_MAX), -1);
  // A search for nothing finds nothing, and nothing is found in nothing.
  EXPECT_EQ(TextFind("abc", ""), -1);
  EXPECT_EQ(TextFind("", ""), -1);
  EXPECT_EQ(TextFind("", "a"), -1);
}

TEST(TextFind, CaseFlag) {
  EXPECT_EQ(TextFind("http://abc/", "ABC", 1, true), 8);
  EXPECT_EQ(TextFind("http://abc/", "ABC", 1, false), -1);
  EXPECT_EQ(TextFind("Content-LENGTH: 5", "content-length", 1, true), 1);
  EXPECT_EQ(TextFind("xxAbCaBc", "abc", 4, true), 6);
  // Only ASCII letters fold: "@" is not "`", and 0xC1 is not 0xE1.
  EXPECT_EQ(TextFind("`", "@", 1, true), -1);
  EXPECT_EQ(TextFind("\xE1", "\xC1", 1, true), -1);
  EXPECT_EQ(TextFind("[", "{", 1, true), -1);
}

TEST(TextFind, DoubleByteTextIsSearchedByBytes) {
  // Positions count bytes; the second byte of one character and the first of
  // the next can form a match, as nothing looks at character boundaries.
  const Text text = "\xD6\xD0\xCE\xC4";
  EXPECT_EQ(TextFind(text, "\xCE\xC4"), 3);
  EXPECT_EQ(TextFind(text, "\xD0\xCE"), 2);
}

TEST(TextCompare, Order) {
  EXPECT_EQ(TextCompare("", ""), 0);
  EXPECT_EQ(TextCompare("abc", "abc"), 0);
  EXPECT_EQ(TextCompare("ab", "abc"), -1);
  EXPECT_EQ(TextCompare("abc", "ab"), 1);
  EXPECT_EQ(TextCompare("b", "a"), 1);
  EXPECT_EQ(TextCompare("a", "b"), -1);
  EXPECT_NE(TextCompare("A", "a"), 0);
  EXPECT_EQ(TextCompare("", "x"), -1);
  EXPECT_EQ(TextCompare("x", ""), 1);
  // Bytes compare unsigned: 0xD6 is above every ASCII byte.
  EXPECT_EQ(TextCompare("\xD6\xD0", "z"), 1);
  EXPECT_EQ(TextCompare("z", "\xD6\xD0"), -1);
}

TEST(TextCase, AsciiLettersOnly) {
  EXPECT_EQ(TextUpper("abc-XYZ 09"), "ABC-XYZ 09");
  EXPECT_EQ(TextLower("ABC-xyz @["), "abc-xyz @[");
  // The bytes of a double-byte character are left alone.
  EXPECT_EQ(TextUpper("\xD6\xD0" "a"), "\xD6\xD0" "A");
  EXPECT_EQ(TextLower("\xC1\xC2"), "\xC1\xC2");
}

TEST(TextNumbers, ToIntegerTruncatesAndKeepsLow32Bits) {
  EXPECT_EQ(ToInteger(7.0), 7);
  EXPECT_EQ(ToInteger(-0.5), 0);
  EXPECT_EQ(ToInteger(8080.9), 8080);
  EXPECT_EQ(ToInteger(-2.5), -2);
  EXPECT_EQ(ToInteger(4294967296.0 + 80), 80);
  EXPECT_EQ(ToInteger(2147483648.0), INT32_MIN);
  EXPECT_EQ(ToInteger(4294967295.0), -1);
  EXPECT_EQ(ToInteger(-9223372036854775808.0), 0);  // low 32 bits of INT64_MIN
  EXPECT_EQ(ToInteger(9223372036854774784.0), -1024);  // largest double below 2^63
  EXPECT_EQ(ToInteger(9223372036854774784.0 + 4096), 0);
  EXPECT_EQ(ToInteger(1e300), 0);
  EXPECT_EQ(ToInteger(-1e300), 0);
  EXPECT_EQ(ToInteger(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(ToInteger(std::nan("")), 0);
}

TEST(TextNumbers, TextToNumberReadsTheLeadingDecimal) {
  EXPECT_EQ(TextToNumber("8080"), 8080.0);
  EXPECT_EQ(TextToNumber("8080.9/x"), 8080.9);
  EXPECT_EQ(TextToNumber("  -12.5abc"), -12.5);
  EXPECT_EQ(TextToNumber("+3"), 3.0);
  EXPECT_EQ(TextToNumber(".5"), 0.5);
  EXPECT_EQ(TextToNumber("7."), 7.0);
  EXPECT_EQ(TextToNumber("1e3"), 1.0);  // no exponents
  EXPECT_EQ(TextToNumber("0x10"), 0.0);
  EXPECT_EQ(TextToNumber(""), 0.0);
  EXPECT_EQ(TextToNumber("   "), 0.0);
  EXPECT_EQ(TextToNumber("abc"), 0.0);
  EXPECT_EQ(TextToNumber("-"), 0.0);
  EXPECT_EQ(TextToNumber("."), 0.0);
  EXPECT_EQ(TextToNumber("- 5"), 0.0);
  EXPECT_EQ(TextToNumber("4294967376"), 4294967376.0);
  EXPECT_EQ(TextToNumber(Text(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToNumber("-" + Text(400, '9')), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToNumber("0." + Text(400, '0') + "1"), 0.0);
}

TEST(TextNumbers, CharFromCodeKeepsTheLowByte) {
  EXPECT_EQ(CharFromCode(65), "A");
  EXPECT_EQ(CharFromCode(0xD6), "\xD6");
  EXPECT_EQ(CharFromCode(0), "");
  EXPECT_EQ(CharFromCode(256), "");
  EXPECT_EQ(CharFromCode(256 + 66), "B");
  EXPECT_EQ(CharFromCode(-34), "\xDE");
  EXPECT_EQ(TextConcat({"a", CharFromCode(0), "b"}), "ab");
}

TEST(TextNumbers, TextFromInteger) {
  EXPECT_EQ(TextFromInteger(0), "0");
  EXPECT_EQ(TextFromInteger(-42), "-42");
  EXPECT_EQ(TextFromInteger(INT64_MIN), "-9223372036854775808");
}

TEST(TextBuild, ConcatAndBlank) {
  EXPECT_EQ(TextConcat({}), "");
  EXPECT_EQ(TextConcat({"", "abc"}), "abc");
  EXPECT_EQ(TextConcat({"ab", "", "c", "\xD6\xD0"}), "abc\xD6\xD0");
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-3), "");
  // The result is a separate value.
  Text part = "x";
  Text joined = TextConcat({part, part});
  part[0] = 'y';
  EXPECT_EQ(joined, "xx");
}

TEST(BytesOps, ConversionsStopAtZeroForTexts) {
  const Bytes withZero = {'a', 'b', 0, 'c'};
  EXPECT_EQ(TextFromBytes(withZero), "ab");
  EXPECT_EQ(TextFromBytes(Bytes{0, 'a'}), "");
  EXPECT_EQ(TextFromBytes(Bytes{}), "");
  EXPECT_EQ(BytesFromText("a\xD6"), (Bytes{'a', 0xD6}));
  EXPECT_EQ(BytesFromText(""), Bytes{});
  EXPECT_EQ(BytesLength(withZero), 4);
}

TEST(BytesOps, LeftRightConcatBlank) {
  const Bytes b = {1, 0, 2, 3};
  EXPECT_EQ(BytesLeft(b, 2), (Bytes{1, 0}));
  EXPECT_EQ(BytesRight(b, 2), (Bytes{2, 3}));
  EXPECT_EQ(BytesLeft(b, 9), b);
  EXPECT_EQ(BytesRight(b, 9), b);
  EXPECT_EQ(BytesLeft(b, -1), Bytes{});
  EXPECT_EQ(BytesRight(b, 0), Bytes{});
  EXPECT_EQ(BytesRight(Bytes{}, 1), Bytes{});
  EXPECT_EQ(BytesConcat(Bytes{}, Bytes{}), Bytes{});
  EXPECT_EQ(BytesConcat(b, Bytes{}, Bytes{9}), (Bytes{1, 0, 2, 3, 9}));
  EXPECT_EQ(BlankBytes(3), (Bytes{0, 0, 0}));
  EXPECT_EQ(BlankBytes(-1), Bytes{});
}

}  // namespace
}  // namespace zoq
