// Percent decoding, then UTF-8 to code page 936 through UTF-16 with the
// platform's conversion calls.

#include <cstring>
#include <limits>

#include "platform/win32.h"
#include "text/decode.h"

namespace zoq {
namespace {

constexpr std::size_t kMaxInt = std::numeric_limits<int>::max();

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Number of 16-bit units before the first zero unit, or all of them.
std::size_t UnitsBeforeZero(const Bytes& wide) {
  const std::size_t units = wide.size() / 2;
  std::size_t i = 0;
  // Four units at a time while none of them is zero.
  for (; units - i >= 4; i += 4) {
    std::uint64_t w;
    std::memcpy(&w, wide.data() + 2 * i, 8);
    if (((w - 0x0001000100010001ULL) & ~w & 0x8000800080008000ULL) != 0) break;
  }
  for (; i < units; ++i) {
    if (wide[2 * i] == 0 && wide[2 * i + 1] == 0) break;
  }
  return i;
}

}  // namespace

// "%" with two hexadecimal digits in either case is the byte they spell; a
// "%" without them is kept as it is, and the bytes after it are read as
// usual. "%00" adds nothing, since a text holds no zero byte.
Text UrlDecode(const Text& text) {
  Bytes decoded;
  decoded.reserve(text.size() + 1);
  const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const void* found = std::memchr(s + i, '%', n - i);
    const std::size_t percent = found ? static_cast<const std::uint8_t*>(found) - s : n;
    decoded.insert(decoded.end(), s + i, s + percent);
    if (percent == n) break;
    const int high = percent + 2 < n ? HexValue(s[percent + 1]) : -1;
    const int low = high >= 0 ? HexValue(s[percent + 2]) : -1;
    if (low >= 0) {
      if (high != 0 || low != 0) decoded.push_back(static_cast<std::uint8_t>(high * 16 + low));
      i = percent + 3;
    } else {
      decoded.push_back('%');
      i = percent + 1;
    }
  }
  return Utf8ToLocal(decoded);
}

Text Utf8ToLocal(Bytes& bytes) {
  // The zero byte makes the conversions stop at it and end the text there;
  // a last byte of 127 or more is left alone, and the text is then converted
  // to the end of the buffer instead.
  if (!bytes.empty() && bytes.back() < 127) bytes.push_back(0);
  if (bytes.empty() || bytes.size() > kMaxInt) return {};
  const auto* source = reinterpret_cast<LPCCH>(bytes.data());
  const int length = static_cast<int>(bytes.size());
  const int count = MultiByteToWideChar(CP_UTF8, 0, source, length, nullptr, 0);
  if (count <= 0) return {};
  Bytes wide(2 * static_cast<std::size_t>(count), 0);
  MultiByteToWideChar(CP_UTF8, 0, source, length, reinterpret_cast<LPWSTR>(wide.data()), count);
  return WideToLocal(wide);
}

Text WideToLocal(const Bytes& wide) {
  // An explicit length instead of -1 keeps the conversion inside the buffer
  // when it holds no zero unit.
  const std::size_t units = UnitsBeforeZero(wide);
  if (units == 0 || units > kMaxInt) return {};
  const auto* source = reinterpret_cast<LPCWCH>(wide.data());
  const int length = static_cast<int>(units);
  // Sized by asking first: two bytes per unit would always do, but a page is
  // mostly ASCII and the buffer would be twice what it needs.
  const int size = WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  Text out(static_cast<std::size_t>(size), ' ');
  const int written =
      WideCharToMultiByte(CP_ACP, 0, source, length, out.data(), size, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

}  // namespace zoq
