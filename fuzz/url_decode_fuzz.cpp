// Percent decoding and the UTF-8 / UTF-16 conversions with arbitrary bytes:
// malformed escapes, invalid and truncated UTF-8, odd UTF-16 lengths.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>

#include "check.h"
#include "text/decode.h"

using namespace zoq;
using zoq::fuzz::HasZero;
using zoq::fuzz::WithoutZeros;

namespace {

bool PlainAscii(const Text& t) {
  return std::all_of(t.begin(), t.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 127 && c != '%';
  });
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
  } else if (which == 1) {
    Bytes b(raw.begin(), raw.end());
    const Bytes before = b;
    const Text r = Utf8ToLocal(b);
    FUZZ_CHECK(!HasZero(r));
    FUZZ_CHECK(r.size() <= 2 * before.size() + 2);
    // The only change allowed to the caller's bytes is one appended zero.
    FUZZ_CHECK(b == before || (b.size() == before.size() + 1 && b.back() == 0 &&
                               std::equal(before.begin(), before.end(), b.begin())));
  } else {
    const Bytes wide(raw.begin(), raw.end());
    const Text r = WideToLocal(wide);
    FUZZ_CHECK(!HasZero(r));
    FUZZ_CHECK(r.size() <= wide.size());
  }
  return 0;
}
