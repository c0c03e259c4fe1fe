// TextBetween with arbitrary sources and markers, missing, empty and
// overlapping ones included.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "check.h"
#include "text/between.h"

using namespace zoq;
using zoq::fuzz::WithoutZeros;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Text startMarker = WithoutZeros(in.ConsumeRandomLengthString(16));
  const Text endMarker = WithoutZeros(in.ConsumeRandomLengthString(16));
  const Text source = WithoutZeros(in.ConsumeRemainingBytesAsString());

  const Text copy = source;
  const Text r = TextBetween(source, startMarker, endMarker);
  FUZZ_CHECK(source == copy);
  // Whatever the markers, the result is a piece of the source.
  FUZZ_CHECK(source.find(r) != Text::npos);

  // Both markers present in order: exactly the bytes between them.
  if (startMarker.empty() || endMarker.empty()) return 0;
  const auto s = source.find(startMarker);
  if (s == Text::npos) return 0;
  const auto from = s + startMarker.size();
  const auto e = source.find(endMarker, from);
  if (e == Text::npos) return 0;
  FUZZ_CHECK(r == source.substr(from, e - from));
  return 0;
}
