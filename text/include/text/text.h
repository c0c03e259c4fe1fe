// Text and byte-set primitives.
//
// A text is a string of code-page 936 bytes that never holds a zero byte; an
// absent text and the empty text are the same value. Positions are 1-based
// byte positions, counts are byte counts, and a search that finds nothing
// gives -1. A byte set is a counted sequence of any bytes, zeros included.
// Every operation returns a new value and leaves its arguments alone; out-of-
// range positions and counts give ordinary values, never out-of-bounds access.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zoq {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// --- Texts ---
std::int32_t TextLength(const Text& text);
// 0 when equal byte for byte; otherwise -1 or +1 by the first differing
// unsigned byte, a text that begins the other being the smaller.
int TextCompare(const Text& a, const Text& b);
Text TextConcat(std::initializer_list<std::string_view> parts);
// A start below 1 counts as 1 and a negative count as 0; what lies beyond
// the end is left out.
Text TextMid(const Text& text, std::int32_t start, std::int32_t count);
Text TextLeft(const Text& text, std::int32_t count);
Text TextRight(const Text& text, std::int32_t count);
// Position of the first `sought` at or after `start` (below 1 counts as 1);
// `ignoreCase` folds the ASCII letters only. An empty `sought` is never found.
// Linear in the lengths, whatever the bytes.
std::int32_t TextFind(const Text& text, const Text& sought, std::int32_t start = 1,
                      bool ignoreCase = false);
Text TextUpper(const Text& text);  // a-z only; other bytes untouched
Text TextLower(const Text& text);  // A-Z only
Text CharFromCode(std::int32_t code);  // low eight bits; empty for 0
// The decimal number at the start: spaces, a sign, digits and a fraction
// ("8080.9/x" gives 8080.9); no exponent. 0 when the text does not start
// with one.
double TextToNumber(const Text& text);
std::int32_t ToInteger(double number);  // toward zero, low 32 bits of the int64
Text BlankText(std::int32_t n);         // n spaces

// Conversions to text: a byte set's bytes (up to its first zero byte, which
// a text cannot hold) and an integer in decimal.
Text TextFromBytes(const Bytes& bytes);
Text TextFromInteger(std::int64_t value);

// --- Byte sets ---
Bytes BytesFromText(const Text& text);
std::int32_t BytesLength(const Bytes& bytes);
Bytes BytesLeft(const Bytes& bytes, std::int32_t count);
Bytes BytesRight(const Bytes& bytes, std::int32_t count);
template <typename... Parts>
Bytes BytesConcat(const Parts&... parts) {
  Bytes out;
  out.reserve((std::size_t{0} + ... + parts.size()));
  (out.insert(out.end(), parts.begin(), parts.end()), ...);
  return out;
}
Bytes BlankBytes(std::int32_t n);  // n zero bytes

}  // namespace zoq
