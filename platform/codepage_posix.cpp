// MultiByteToWideChar and WideCharToMultiByte for UTF-8 and code page 936,
// with the results and calling conventions the program sees on Windows:
// output size 0 asks for the size, a length of -1 means "up to and including
// the zero terminator", and 0 comes back on bad arguments or a short buffer.
//
// Code page 936 goes through two tables made at build time from iconv's CP936
// table and what Windows has beyond it (cp936_windows.inc). iconv itself is not
// used for the text: it stops at the first unmappable or ill-formed
// character, where Windows substitutes and carries on.

#include "platform/win32.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr UINT kCodePage936 = 936;
constexpr DWORD kMbErrInvalidChars = 0x08;  // MB_ERR_INVALID_CHARS
constexpr DWORD kWcErrInvalidChars = 0x80;  // WC_ERR_INVALID_CHARS
constexpr DWORD kErrorInvalidFlags = 1004;           // ERROR_INVALID_FLAGS
constexpr DWORD kErrorNoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION

constexpr char16_t kReplacement = 0xFFFD;
// What bytes that mean nothing in code page 936 read as, and what a character
// the code page lacks is written as unless the caller names another.
constexpr char16_t kGbkUnicodeDefault = u'?';
constexpr char kGbkDefault = '?';
constexpr std::size_t kMaxInt = 0x7FFFFFFF;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// --- Code page 936 tables ---

// Made at build time (tools/cp936_tables.cpp).
#include "cp936_tables.inc"

struct GbkTables {
  const std::uint16_t* encode;
  const char16_t* single;
  const char16_t* pair;
};

const GbkTables& Gbk() {
  static constexpr GbkTables tables{kGbkEncode, kGbkSingle, kGbkPair};
  return tables;
}

// --- Output with Windows' buffer rules ---

// Counts units when there is no buffer; otherwise writes them and notes when
// the buffer runs out, which fails the call (the buffer's content is then
// unspecified, as on Windows).
template <typename Unit>
struct Sink {
  Unit* out;
  std::size_t capacity;
  std::size_t count = 0;
  bool full = false;

  bool Room(std::size_t n) {
    if (out && capacity - count < n) full = true;
    return !full;
  }
  void Put(Unit u) {
    if (!Room(1)) return;
    if (out) out[count] = u;
    ++count;
  }
  void Put2(Unit a, Unit b) {
    if (!Room(2)) return;
    if (out) {
      out[count] = a;
      out[count + 1] = b;
    }
    count += 2;
  }
};

// Pages are mostly ASCII: these copy runs of it between the byte and the
// 16-bit forms sixteen or eight characters at a time, and return how many
// they took (a run may end anywhere; the caller goes on one by one).
std::size_t WidenAscii(const unsigned char* s, std::size_t n, Sink<char16_t>& sink) {
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  while (n - i >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    if (_mm_movemask_epi8(bytes) != 0 || !sink.Room(16)) break;
    if (sink.out) {
      auto* out = reinterpret_cast<__m128i*>(sink.out + sink.count);
      _mm_storeu_si128(out, _mm_unpacklo_epi8(bytes, zero));
      _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(bytes, zero));
    }
    sink.count += 16;
    i += 16;
  }
#endif
  while (n - i >= 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, 8);
    if ((w & 0x8080808080808080ULL) != 0 || !sink.Room(8)) break;
    if (sink.out) {
      for (int k = 0; k < 8; ++k) {
        sink.out[sink.count + k] = static_cast<char16_t>(w >> (8 * k) & 0xFF);
      }
    }
    sink.count += 8;
    i += 8;
  }
  return i;
}

std::size_t NarrowAscii(const char16_t* w, std::size_t n, Sink<char>& sink) {
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  while (n - i >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + i));
    const __m128i outside = _mm_cmpeq_epi16(_mm_and_si128(units, high), zero);
    if (_mm_movemask_epi8(outside) != 0xFFFF || !sink.Room(8)) break;
    if (sink.out) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(sink.out + sink.count),
                       _mm_packus_epi16(units, units));
    }
    sink.count += 8;
    i += 8;
  }
#endif
  while (n - i >= 4) {
    std::uint64_t units;
    std::memcpy(&units, w + i, 8);
    if ((units & 0xFF80FF80FF80FF80ULL) != 0 || !sink.Room(4)) break;
    if (sink.out) {
      for (int k = 0; k < 4; ++k) sink.out[sink.count + k] = static_cast<char>(units >> (16 * k));
    }
    sink.count += 4;
    i += 4;
  }
  return i;
}

// --- UTF-8 -> UTF-16 ---

// Ill-formed UTF-8 becomes U+FFFD, as on Windows since Vista: one for each
// maximal ill-formed part, so that no well-formed byte after it is lost.
// Returns false instead when `strict`.
bool DecodeUtf8(const unsigned char* s, std::size_t n, bool strict, Sink<char16_t>& sink) {
  std::size_t i = 0;
  while (i < n && !sink.full) {
    i += WidenAscii(s + i, n - i, sink);
    if (i >= n || sink.full) break;

    const unsigned char b = s[i];
    if (b < 0x80) {
      sink.Put(b);
      ++i;
      continue;
    }
    // Length and the allowed range of the second byte (tighter after E0, ED,
    // F0 and F4 so that overlong forms and surrogates are ill-formed).
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    }
    if (length == 0) {
      if (strict) return false;
      sink.Put(kReplacement);
      ++i;
      continue;
    }
    char32_t c = b & (0xFF >> (length + 1));
    int taken = 1;
    for (; taken < length && i + taken < n; ++taken) {
      const unsigned char t = s[i + taken];
      if (t < low || t > high) break;
      c = c << 6 | (t & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (taken < length) {
      if (strict) return false;
      sink.Put(kReplacement);
    } else if (c >= 0x10000) {
      c -= 0x10000;
      sink.Put2(static_cast<char16_t>(0xD800 + (c >> 10)),
                static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      sink.Put(static_cast<char16_t>(c));
    }
    i += taken;
  }
  return true;
}

// --- Code page 936 -> UTF-16 ---

// A lead byte takes the byte after it whatever that is, as Windows does,
// except a zero byte, which stays the end of a text; a pair or a single
// byte that is no character reads as "?".
void DecodeGbk(const unsigned char* s, std::size_t n, Sink<char16_t>& sink) {
  const GbkTables& gbk = Gbk();
  std::size_t i = 0;
  while (i < n && !sink.full) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      sink.Put(b);
      ++i;
    } else if (b >= 0x81 && b <= 0xFE && i + 1 < n && s[i + 1] != 0) {
      const char16_t c = gbk.pair[(b - 0x81) << 8 | s[i + 1]];
      sink.Put(c ? c : kGbkUnicodeDefault);
      i += 2;
    } else {
      const char16_t c = gbk.single[b - 0x80];
      sink.Put(c ? c : kGbkUnicodeDefault);
      ++i;
    }
  }
}

// --- UTF-16 -> UTF-8 ---

// Lone surrogates become U+FFFD; returns false instead when `strict`.
bool EncodeUtf8(const char16_t* w, std::size_t n, bool strict, Sink<char>& sink) {
  std::size_t i = 0;
  while (i < n && !sink.full) {
    char32_t c = w[i++];
    if (c < 0x80) {
      sink.Put(static_cast<char>(c));
      continue;
    }
    if (IsHighSurrogate(c) && i < n && IsLowSurrogate(w[i])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i++] - 0xDC00);
    } else if (IsSurrogate(c)) {
      if (strict) return false;
      c = kReplacement;
    }
    char bytes[4];
    int length;
    if (c < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | c >> 6);
      length = 1;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | c >> 12);
      bytes[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      length = 2;
    } else {
      bytes[0] = static_cast<char>(0xF0 | c >> 18);
      bytes[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      length = 3;
    }
    bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
    if (!sink.Room(static_cast<std::size_t>(length))) break;
    for (int k = 0; k < length; ++k) sink.Put(bytes[k]);
  }
  return true;
}

// --- UTF-16 -> code page 936 ---

void EncodeGbk(const char16_t* w, std::size_t n, const char* defaultChar, BOOL* usedDefault,
               Sink<char>& sink) {
  const GbkTables& gbk = Gbk();
  // A two-byte default character is written whole, a longer one is cut.
  char fallback[2] = {kGbkDefault, 0};
  std::size_t fallbackLength = 1;
  if (defaultChar && defaultChar[0]) {
    fallback[0] = defaultChar[0];
    const bool twoBytes = static_cast<unsigned char>(defaultChar[0]) >= 0x81 && defaultChar[1];
    fallback[1] = twoBytes ? defaultChar[1] : 0;
    fallbackLength = twoBytes ? 2 : 1;
  }
  std::size_t i = 0;
  while (i < n && !sink.full) {
    i += NarrowAscii(w + i, n - i, sink);
    if (i >= n || sink.full) break;

    const char16_t c = w[i++];
    if (c < 0x80) {
      sink.Put(static_cast<char>(c));
      continue;
    }
    const std::uint16_t code = IsSurrogate(c) ? 0 : gbk.encode[c];
    if (code >= 0x100) {
      sink.Put2(static_cast<char>(code >> 8), static_cast<char>(code & 0xFF));
    } else if (code != 0) {
      sink.Put(static_cast<char>(code));
    } else {
      // Every unit of a surrogate pair gets its own default character, as
      // on Windows: the code page has no character beyond the BMP.
      if (usedDefault) *usedDefault = TRUE;
      if (fallbackLength == 2) {
        sink.Put2(fallback[0], fallback[1]);
      } else {
        sink.Put(fallback[0]);
      }
    }
  }
}

bool IsGbk(UINT codePage) { return codePage == CP_ACP || codePage == kCodePage936; }

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

template <typename Unit>
int Result(const Sink<Unit>& sink) {
  if (sink.full) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (sink.count > kMaxInt) return Fail(ERROR_INVALID_PARAMETER);
  return static_cast<int>(sink.count);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength) {
  const bool utf8 = codePage == CP_UTF8;
  if (!utf8 && !IsGbk(codePage)) return Fail(ERROR_INVALID_PARAMETER);
  if (flags & ~kMbErrInvalidChars) return Fail(kErrorInvalidFlags);
  if (!multiByte || multiByteLength == 0 || multiByteLength < -1 || wideLength < 0 ||
      (wideLength > 0 && !wide)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }

  const auto* s = reinterpret_cast<const unsigned char*>(multiByte);
  const std::size_t n = multiByteLength == -1 ? std::strlen(multiByte) + 1
                                              : static_cast<std::size_t>(multiByteLength);
  Sink<char16_t> sink{wideLength == 0 ? nullptr : reinterpret_cast<char16_t*>(wide),
                      static_cast<std::size_t>(wideLength)};
  if (utf8) {
    if (!DecodeUtf8(s, n, flags & kMbErrInvalidChars, sink)) {
      return Fail(kErrorNoUnicodeTranslation);
    }
  } else {
    DecodeGbk(s, n, sink);
  }
  return Result(sink);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideLength,
                        LPSTR multiByte, int multiByteLength, LPCCH defaultChar,
                        LPBOOL usedDefaultChar) {
  const bool utf8 = codePage == CP_UTF8;
  if (!utf8 && !IsGbk(codePage)) return Fail(ERROR_INVALID_PARAMETER);
  if (utf8 ? (flags & ~kWcErrInvalidChars) != 0 : flags != 0) return Fail(kErrorInvalidFlags);
  if ((utf8 && (defaultChar || usedDefaultChar)) || !wide || wideLength == 0 ||
      wideLength < -1 || multiByteLength < 0 || (multiByteLength > 0 && !multiByte)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }

  const auto* w = reinterpret_cast<const char16_t*>(wide);
  std::size_t n = static_cast<std::size_t>(wideLength);
  if (wideLength == -1) {
    n = 0;
    while (w[n] != 0) ++n;
    ++n;
  }
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  Sink<char> sink{multiByteLength == 0 ? nullptr : multiByte,
                  static_cast<std::size_t>(multiByteLength)};
  if (utf8) {
    if (!EncodeUtf8(w, n, flags & kWcErrInvalidChars, sink)) {
      return Fail(kErrorNoUnicodeTranslation);
    }
  } else {
    EncodeGbk(w, n, defaultChar, usedDefaultChar, sink);
  }
  return Result(sink);
}
