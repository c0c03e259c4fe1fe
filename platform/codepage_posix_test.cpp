// Choices of the non-Windows code-page calls where Windows' own answer is not
// what every implementation gives, and the code page 936 table against its
// source, iconv's CP936 converter.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace {

using Wide = std::u16string;

Wide ToWide(UINT codePage, const std::string& in) {
  char16_t out[16];
  const int n = MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()),
                                    reinterpret_cast<LPWSTR>(out), 16);
  return Wide(out, static_cast<std::size_t>(n > 0 ? n : 0));
}

// Every maximal ill-formed part is one U+FFFD, and no well-formed byte after
// it is lost, even near the end of the input.
TEST(CodePagePosix, IllFormedUtf8InMaximalParts) {
  EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(ToWide(CP_UTF8, "\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // > U+10FFFF
  EXPECT_EQ(ToWide(CP_UTF8, "\xF0\x90" "A"), u"\uFFFDA");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF0\x90\x80" "A"), u"\uFFFDA");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF5\x80"), u"\uFFFD\uFFFD");
}

TEST(CodePagePosix, RefusedArguments) {
  char16_t wide[4];
  // A surrogate pair that does not fit whole.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, reinterpret_cast<LPWSTR>(wide),
                                1), 0);
  // UTF-8 has no default character to report.
  const char16_t chinese[] = u"\u4E2D";
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWCH>(chinese), 1, nullptr, 0,
                                nullptr, &used), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWCH>(chinese), 1, nullptr, 0, "?",
                                nullptr), 0);
  // Only the two code pages the program uses are known.
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, reinterpret_cast<LPCWCH>(chinese), 1, nullptr, 0, nullptr,
                                nullptr), 0);
  EXPECT_EQ(MultiByteToWideChar(936, 0, "a", 1, nullptr, 0), 1);
  // Flags the calls do not know.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x1, "a", 1, nullptr, 0), 0);
}

TEST(CodePagePosix, StrictUtf8RefusesIllFormedInput) {
  constexpr DWORD kStrict = 0x08;  // MB_ERR_INVALID_CHARS
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, kStrict, "a\xE4\xB8", 3, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, kStrict, "a\xE4\xB8\xAD", 4, nullptr, 0), 2);
}

// What Windows has beyond iconv's table, as the code-page calls use it.
struct Cp936Run {
  std::uint16_t bytes, unicode, count;
};
struct Cp936BestFit {
  std::uint16_t unicode, bytes;
};
#include "cp936_windows.inc"

std::string Bytes936(unsigned code) {
  if (code < 0x100) return std::string(1, static_cast<char>(code));
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// The bytes Windows writes for a character iconv has no bytes for.
std::string WindowsOnly(char32_t c) {
  for (const Cp936Run& r : kCp936PrivateRuns) {
    if (c >= r.unicode && c < r.unicode + r.count) return Bytes936(r.bytes + (c - r.unicode));
  }
  for (const Cp936BestFit& f : kCp936BestFit) {
    if (c == f.unicode) return Bytes936(f.bytes);
  }
  return "?";
}

// Bytes iconv's table lacks (0xFF, the user-defined rows) read as Windows
// reads them: characters of the private use area.
TEST(CodePagePosix, BytesMissingFromIconvsTable) {
  EXPECT_EQ(ToWide(936, "\xFF"), u"\uF8F5");
  EXPECT_EQ(ToWide(936, "\xAA\xA1"), u"\uE000");
  EXPECT_EQ(ToWide(936, "\xFE\xFE"), u"\uE4C5");
}

// Every BMP character is written as iconv's CP936 writes it; where iconv has
// no bytes for it, as Windows writes it, which is "?" for most.
TEST(CodePagePosix, EncodingAgreesWithIconv) {
  iconv_t cd = iconv_open("CP936", "UTF-16LE");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int mapped = 0;
  for (char32_t c = 1; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char expected[8];
    char* inPtr = in;
    char* outPtr = expected;
    std::size_t inLeft = 2, outLeft = sizeof expected;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    const std::string want =
        ok ? std::string(expected, sizeof expected - outLeft) : WindowsOnly(c);
    mapped += ok;

    const char16_t unit = static_cast<char16_t>(c);
    char got[4];
    const int n = WideCharToMultiByte(936, 0, reinterpret_cast<LPCWCH>(&unit), 1, got, 4, nullptr,
                                      nullptr);
    ASSERT_EQ(std::string(got, static_cast<std::size_t>(n > 0 ? n : 0)), want)
        << "U+" << std::hex << static_cast<unsigned>(c);
  }
  iconv_close(cd);
  EXPECT_GT(mapped, 21000);
}

}  // namespace
