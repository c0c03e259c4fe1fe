// Percent decoding and the UTF-8 / UTF-16 conversions with arbitrary bytes:
// malformed escapes, invalid and truncated UTF-8, odd UTF-16 lengths.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "check.h"
#include "platform/win32.h"
#include "text/decode.h"

using namespace zoq;
using zoq::fuzz::HasZero;
using zoq::fuzz::WithoutZeros;

namespace {

FUZZ_UNTRACED bool PlainAscii(const Text& t) {
  return std::all_of(t.begin(), t.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 127 && c != '%';
  });
}

// The conversion of the whole byte set in one pair of calls, ending at the
// first zero: what the piecewise conversion must give. The buffers are sized
// from the most each step can give (a unit per byte, two bytes per unit).
FUZZ_UNTRACED Text WholeConversion(Bytes b) {
  if (!b.empty() && b.back() < 127) b.push_back(0);
  if (b.empty()) return {};
  const int length = static_cast<int>(b.size());
  std::vector<WCHAR> wide(b.size());
  const int count = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCCH>(b.data()), length,
                                        wide.data(), length);
  if (count <= 0) return {};
  const int units = static_cast<int>(
      std::find(wide.begin(), wide.begin() + count, WCHAR{0}) - wide.begin());
  if (units == 0) return {};
  Text out(2 * static_cast<std::size_t>(units), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out.data(),
                                          static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

// Percent escapes decoded on their own, byte by byte.
FUZZ_UNTRACED Bytes PercentDecoded(const Text& t) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  Bytes out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    const int high = t[i] == '%' && i + 2 < t.size() ? hex(t[i + 1]) : -1;
    const int low = high >= 0 ? hex(t[i + 2]) : -1;
    if (low < 0) {
      out.push_back(static_cast<std::uint8_t>(t[i]));
      continue;
    }
    if (high != 0 || low != 0) out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int which = in.ConsumeIntegralInRange(0, 2);
  const std::string raw = in.ConsumeRemainingBytesAsString();

  if (which == 0) {
    const Text t = WithoutZeros(raw);
    const Text copy = t;
    const Text r = UrlDecode(t);
    FUZZ_CHECK(t == copy);
    FUZZ_CHECK(!HasZero(r));
    // One decoded byte per input byte at most, and code page 936 needs at
    // most two bytes per UTF-16 unit.
    FUZZ_CHECK(r.size() <= 2 * t.size() + 2);
    if (PlainAscii(t)) FUZZ_CHECK(r == t);
    FUZZ_CHECK(r == WholeConversion(PercentDecoded(t)));
    // Bytes decode as their text, which ends at the first zero byte (without
    // one, raw is t and this would compare r with itself).
    if (raw.size() != t.size()) FUZZ_CHECK(UrlDecode(raw) == UrlDecode(raw.c_str()));
  } else if (which == 1) {
    Bytes b(raw.begin(), raw.end());
    const Bytes before = b;
    const Text r = Utf8ToLocal(b);
    FUZZ_CHECK(!HasZero(r));
    FUZZ_CHECK(r.size() <= 2 * before.size() + 2);
    // The only change allowed to the caller's bytes is one appended zero.
    FUZZ_CHECK(b == before || (b.size() == before.size() + 1 && b.back() == 0 &&
                               std::equal(before.begin(), before.end(), b.begin())));
    FUZZ_CHECK(r == WholeConversion(before));
  } else {
    const Bytes wide(raw.begin(), raw.end());
    const Text r = WideToLocal(wide);
    FUZZ_CHECK(!HasZero(r));
    FUZZ_CHECK(r.size() <= wide.size());
  }
  return 0;
}
