// The code-page calls as the program uses them: UTF-8 and code page 936
// (CP_ACP on a Chinese system) to and from UTF-16.

#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace {

using Wide = std::u16string;

// Converts with the two-call convention: size query, then conversion.
Wide ToWide(UINT codePage, const std::string& in) {
  const int n = MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  Wide out(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) {
    const int written = MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()),
                                            reinterpret_cast<LPWSTR>(out.data()), n);
    EXPECT_EQ(written, n);
  }
  return out;
}

std::string FromWide(UINT codePage, const Wide& in, LPCCH defaultChar = nullptr,
                     BOOL* usedDefault = nullptr) {
  const auto* w = reinterpret_cast<LPCWCH>(in.data());
  const int size = static_cast<int>(in.size());
  const int n = WideCharToMultiByte(codePage, 0, w, size, nullptr, 0, defaultChar, usedDefault);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    const int written =
        WideCharToMultiByte(codePage, 0, w, size, out.data(), n, defaultChar, usedDefault);
    EXPECT_EQ(written, n);
  }
  return out;
}

TEST(CodePageUtf8, DecodesToUtf16) {
  EXPECT_EQ(ToWide(CP_UTF8, "abc"), u"abc");
  EXPECT_EQ(ToWide(CP_UTF8, "\xE4\xB8\xAD\xE6\x96\x87"), u"\u4E2D\u6587");
  EXPECT_EQ(ToWide(CP_UTF8, "\xC2\xA9\xEF\xBF\xBF"), u"\u00A9\uFFFF");
  // Beyond the BMP: a surrogate pair.
  EXPECT_EQ(ToWide(CP_UTF8, "\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  // Zero bytes inside a counted source are characters.
  EXPECT_EQ(ToWide(CP_UTF8, std::string("a\0b", 3)), Wide(u"a\0b", 3));
}

TEST(CodePageUtf8, IllFormedInputBecomesReplacementCharacters) {
  EXPECT_EQ(ToWide(CP_UTF8, "\xFF"), u"\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "a\x80" "b"), u"a\uFFFDb");
  // A sequence cut short is one replacement; the byte that cut it is kept.
  EXPECT_EQ(ToWide(CP_UTF8, "\xE4\xB8" "A"), u"\uFFFDA");
  EXPECT_EQ(ToWide(CP_UTF8, "\xE4\xB8"), u"\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF0\x9F\x98"), u"\uFFFD");
  // An overlong form is no character.
  EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD");
  // Text in code page 936 read as UTF-8.
  EXPECT_EQ(ToWide(CP_UTF8, "\xD6\xD0"), u"\uFFFD\uFFFD");
}

TEST(CodePageUtf8, EncodesFromUtf16) {
  EXPECT_EQ(FromWide(CP_UTF8, u"a\u4E2D"), "a\xE4\xB8\xAD");
  EXPECT_EQ(FromWide(CP_UTF8, u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromWide(CP_UTF8, u"\u00E9\u0800"), "\xC3\xA9\xE0\xA0\x80");
  // A surrogate without its partner becomes U+FFFD.
  EXPECT_EQ(FromWide(CP_UTF8, Wide(1, u'\xD83D') + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(FromWide(CP_UTF8, Wide(1, u'\xDE00')), "\xEF\xBF\xBD");
}

TEST(CodePage936, EncodesFromUtf16) {
  EXPECT_EQ(FromWide(CP_ACP, u"\u4E2D"), "\xD6\xD0");
  EXPECT_EQ(FromWide(CP_ACP, u"\uFF01"), "\xA3\xA1");
  EXPECT_EQ(FromWide(CP_ACP, u"a\u4E2D\u6587z"), "a\xD6\xD0\xCE\xC4z");
  EXPECT_EQ(FromWide(CP_ACP, u"\u3000\u00B7\u2014"), "\xA1\xA1\xA1\xA4\xA1\xAA");
  // The euro sign is the single byte 0x80: neither plain GBK, which lacks
  // it, nor GB18030, which writes A2 E3.
  EXPECT_EQ(FromWide(CP_ACP, u"\u20AC"), "\x80");
}

TEST(CodePage936, MissingCharactersBecomeTheDefaultCharacter) {
  BOOL used = TRUE;
  EXPECT_EQ(FromWide(CP_ACP, u"a", nullptr, &used), "a");
  EXPECT_EQ(used, FALSE);
  EXPECT_EQ(FromWide(CP_ACP, u"a\u0E01b", nullptr, &used), "a?b");  // Thai
  EXPECT_EQ(used, TRUE);
  EXPECT_EQ(FromWide(CP_ACP, u"\u0E01", "*"), "*");
  EXPECT_EQ(FromWide(CP_ACP, u"\u0E01", "\xD6\xD0"), "\xD6\xD0");
  // Nothing beyond the BMP: each unit of a surrogate pair is missing.
  EXPECT_EQ(FromWide(CP_ACP, u"a\U0001F600b", nullptr, &used), "a??b");
  EXPECT_EQ(used, TRUE);
  EXPECT_EQ(FromWide(CP_ACP, Wide(1, u'\xDE00')), "?");
}

TEST(CodePage936, DecodesToUtf16) {
  EXPECT_EQ(ToWide(CP_ACP, "\xD6\xD0\xCE\xC4"), u"\u4E2D\u6587");
  EXPECT_EQ(ToWide(CP_ACP, "x\xA3\xA1y"), u"x\uFF01y");
  EXPECT_EQ(ToWide(CP_ACP, "\x80"), u"\u20AC");
  EXPECT_EQ(ToWide(CP_ACP, "\x81\x40"), u"\u4E02");
}

TEST(CodePage936, BytesThatAreNoCharacterReadAsQuestionMarks) {
  // A lead byte takes the next byte along, even one that cannot end a pair,
  // but not a zero byte; a lead byte at the end stands alone.
  EXPECT_EQ(ToWide(CP_ACP, "\x81\x7F" "a"), u"?a");
  EXPECT_EQ(ToWide(CP_ACP, "\xD6\x30"), u"?");
  EXPECT_EQ(ToWide(CP_ACP, "a\xD6"), u"a?");
  EXPECT_EQ(ToWide(CP_ACP, std::string("\xD6\0", 2)), Wide(u"?\0", 2));
}

// The code page reaches beyond GBK: the private use area both ways (0xFF and
// the user-defined rows), and for some characters it lacks a close one in
// place of "?" (best fit), which counts as no default character.
TEST(CodePage936, PrivateUseAreaAndBestFit) {
  EXPECT_EQ(ToWide(CP_ACP, "\xFF"), u"\uF8F5");
  EXPECT_EQ(ToWide(CP_ACP, "\xAA\xA1\xFE\xFE\xA1\x40"), u"\uE000\uE4C5\uE4C6");
  EXPECT_EQ(FromWide(CP_ACP, u"\uE000\uF8F5"), "\xAA\xA1\xFF");
  BOOL used = TRUE;
  // Yen, capital A with grave, superscript two: full-width yen, small a with
  // grave, the digit.
  EXPECT_EQ(FromWide(CP_ACP, u"\u00A5\u00C0\u00B2", nullptr, &used), "\xA3\xA4\xA8\xA4" "2");
  EXPECT_EQ(used, FALSE);
}

// Every character of the code page's table comes back as the bytes it came
// from: decoding and encoding use tables that agree.
TEST(CodePage936, DoubleByteCharactersSurviveTheRoundTrip) {
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string bytes = {static_cast<char>(lead), static_cast<char>(trail)};
      const Wide w = ToWide(CP_ACP, bytes);
      ASSERT_EQ(w.size(), 1u);
      if (w == u"?") continue;  // a pair with no character of its own
      ++characters;
      ASSERT_EQ(FromWide(CP_ACP, w), bytes) << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(characters, 21000);  // GBK has 21886 characters
}

TEST(CodePageCalls, SizeQueryAndTerminatedSources) {
  // -1: up to and including the terminator, which is counted and written.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE4\xB8\xAD", -1, nullptr, 0), 2);
  char16_t wide[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, reinterpret_cast<LPWSTR>(wide), 4), 3);
  EXPECT_EQ(Wide(wide, 4), Wide(u"ab\0x", 4));

  const char16_t source[] = u"\u4E2Da";
  const auto* w = reinterpret_cast<LPCWCH>(source);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr), 4);
  char bytes[5] = {'.', '.', '.', '.', '.'};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, w, -1, bytes, 5, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(bytes, 5), std::string("\xD6\xD0" "a\0.", 5));
  // A counted source gets no terminator.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, w, 1, nullptr, 0, nullptr, nullptr), 2);
}

TEST(CodePageCalls, FailuresGiveZero) {
  char16_t wide[2];
  // Buffer too small, even by one unit or byte.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, reinterpret_cast<LPWSTR>(wide), 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char one[1];
  const char16_t chinese[] = u"\u4E2D";
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(chinese), 1, one, 1, nullptr,
                                nullptr), 0);
  // Nothing to convert, or no source at all.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(chinese), 0, nullptr, 0,
                                nullptr, nullptr), 0);
}

}  // namespace
