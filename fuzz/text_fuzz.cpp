// Text and byte-set primitives with arbitrary positions, counts and bytes.
// Where the result is fully determined it is compared with a plain
// std::string reference; where it is left open (positions below 1, negative
// counts, empty searches) the result must still be an ordinary value: a piece
// of the input, or a position inside it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "check.h"
#include "text/text.h"

using namespace zoq;
using zoq::fuzz::AsciiLower;
using zoq::fuzz::HasZero;
using zoq::fuzz::WithoutZeros;

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

bool IsPieceOf(const Text& piece, const Text& whole) {
  return whole.find(piece) != Text::npos;
}

void CheckMid(const Text& t, std::int32_t start, std::int32_t count) {
  const Text r = TextMid(t, start, count);
  FUZZ_CHECK(IsPieceOf(r, t));
  if (start >= 1 && count >= 0) {
    const auto from = static_cast<std::size_t>(start) - 1;
    const Text want = from < t.size() ? t.substr(from, static_cast<std::size_t>(count)) : Text{};
    FUZZ_CHECK(r == want);
  }
}

void CheckLeftRight(const Text& t, std::int32_t count) {
  const Text l = TextLeft(t, count);
  const Text r = TextRight(t, count);
  FUZZ_CHECK(IsPieceOf(l, t));
  FUZZ_CHECK(IsPieceOf(r, t));
  if (count >= 0) {
    const auto n = std::min(t.size(), static_cast<std::size_t>(count));
    FUZZ_CHECK(l == t.substr(0, n));
    FUZZ_CHECK(r == t.substr(t.size() - n));
  }
}

void CheckFind(const Text& t, const Text& sought, std::int32_t start, bool ignoreCase) {
  const std::int32_t r = TextFind(t, sought, start, ignoreCase);
  FUZZ_CHECK(r == -1 || (r >= 1 && r <= TextLength(t) + 1));
  if (sought.empty() || start < 1) return;  // left open: any ordinary position
  const Text hay = ignoreCase ? AsciiLower(t) : t;
  const Text needle = ignoreCase ? AsciiLower(sought) : sought;
  const auto from = static_cast<std::size_t>(start) - 1;
  const auto at = from <= hay.size() ? hay.find(needle, from) : Text::npos;
  FUZZ_CHECK(r == (at == Text::npos ? -1 : static_cast<std::int32_t>(at) + 1));
}

void CheckCase(const Text& t) {
  const Text up = TextUpper(t);
  const Text low = TextLower(t);
  FUZZ_CHECK(up.size() == t.size() && low.size() == t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    const bool lowerLetter = c >= 'a' && c <= 'z';
    const bool upperLetter = c >= 'A' && c <= 'Z';
    FUZZ_CHECK(static_cast<unsigned char>(up[i]) == (lowerLetter ? c - 32 : c));
    FUZZ_CHECK(static_cast<unsigned char>(low[i]) == (upperLetter ? c + 32 : c));
  }
}

void CheckNumbers(FuzzedDataProvider& in, const Text& t) {
  const std::int32_t code = in.ConsumeIntegral<std::int32_t>();
  const Text ch = CharFromCode(code);
  if ((code & 0xFF) == 0) {
    FUZZ_CHECK(ch.empty());
  } else {
    FUZZ_CHECK(ch.size() == 1 && static_cast<unsigned char>(ch[0]) == (code & 0xFF));
  }

  (void)TextToNumber(t);

  // Every double, NaN and infinities included, must convert without UB.
  const double d = in.ConsumeBool() ? in.ConsumeFloatingPoint<double>()
                                    : static_cast<double>(in.ConsumeIntegral<std::int64_t>()) +
                                          in.ConsumeProbability<double>();
  const std::int32_t i = ToInteger(d);
  if (std::isfinite(d) && std::fabs(d) < 9.2e18) {
    const auto wide = static_cast<std::int64_t>(std::trunc(d));
    FUZZ_CHECK(i == static_cast<std::int32_t>(static_cast<std::uint32_t>(wide)));
  }

  const std::int64_t v = in.ConsumeIntegral<std::int64_t>();
  FUZZ_CHECK(TextFromInteger(v) == std::to_string(v));
}

void CheckBytes(FuzzedDataProvider& in) {
  const std::string raw = in.ConsumeRandomLengthString(256);
  const Bytes b(raw.begin(), raw.end());
  FUZZ_CHECK(BytesLength(b) == static_cast<std::int32_t>(b.size()));

  const Text asText = TextFromBytes(b);
  FUZZ_CHECK(!HasZero(asText));
  FUZZ_CHECK(asText == raw.substr(0, raw.find('\0')));
  FUZZ_CHECK(BytesFromText(asText) == Bytes(asText.begin(), asText.end()));

  const std::int32_t count = in.ConsumeIntegral<std::int32_t>();
  const Bytes l = BytesLeft(b, count);
  const Bytes r = BytesRight(b, count);
  FUZZ_CHECK(l.size() <= b.size() && r.size() <= b.size());
  if (count >= 0) {
    const auto n = std::min(b.size(), static_cast<std::size_t>(count));
    FUZZ_CHECK(l == Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)));
    FUZZ_CHECK(r == Bytes(b.end() - static_cast<std::ptrdiff_t>(n), b.end()));
  }
  FUZZ_CHECK(BytesConcat(l, r).size() == l.size() + r.size());

  // Blank buffers: small sizes only, the allocation itself is not under test.
  const std::int32_t n = in.ConsumeIntegralInRange<std::int32_t>(-4096, 4096);
  const Bytes zeros = BlankBytes(n);
  const Text spaces = BlankText(n);
  FUZZ_CHECK(zeros.size() == static_cast<std::size_t>(std::max(n, 0)));
  FUZZ_CHECK(spaces.size() == static_cast<std::size_t>(std::max(n, 0)));
  FUZZ_CHECK(std::all_of(zeros.begin(), zeros.end(), [](auto c) { return c == 0; }));
  FUZZ_CHECK(spaces.find_first_not_of(' ') == Text::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Text a = WithoutZeros(in.ConsumeRandomLengthString(512));
  const Text b = WithoutZeros(in.ConsumeRandomLengthString(64));

  FUZZ_CHECK(TextLength(a) == static_cast<std::int32_t>(a.size()));
  FUZZ_CHECK(TextCompare(a, b) == Sign(a.compare(b)));
  FUZZ_CHECK(TextCompare(a, a) == 0);
  FUZZ_CHECK(TextConcat({a, b}) == a + b);

  CheckMid(a, in.ConsumeIntegral<std::int32_t>(), in.ConsumeIntegral<std::int32_t>());
  CheckMid(a, in.ConsumeIntegralInRange<std::int32_t>(-3, 600),
           in.ConsumeIntegralInRange<std::int32_t>(-3, 600));
  CheckLeftRight(a, in.ConsumeIntegral<std::int32_t>());
  CheckLeftRight(a, in.ConsumeIntegralInRange<std::int32_t>(-3, 600));
  CheckFind(a, b, in.ConsumeIntegral<std::int32_t>(), in.ConsumeBool());
  CheckFind(a, b, in.ConsumeIntegralInRange<std::int32_t>(-3, 600), in.ConsumeBool());
  CheckCase(a);
  CheckNumbers(in, a);
  CheckBytes(in);
  return 0;
}
