// Text and byte-set primitives. Positions below 1 count as 1, negative counts
// as 0, and positions or counts past the end are cut to it, so that every
// argument gives an ordinary value.

#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "search.h"

namespace zoq {
namespace {

constexpr std::size_t kMaxLength = std::numeric_limits<std::int32_t>::max();

std::size_t Count(std::int32_t count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

// 0-based offset of a 1-based start position, below 1 counting as 1.
std::size_t Offset(std::int32_t start) {
  return start > 1 ? static_cast<std::size_t>(start) - 1 : 0;
}

}  // namespace

std::int32_t TextLength(const Text& text) {
  return static_cast<std::int32_t>(std::min(text.size(), kMaxLength));
}

int TextCompare(const Text& a, const Text& b) {
  // Equal up to the shorter length: a text that begins the other is the
  // smaller one (texts carry no terminator to compare).
  const std::size_t common = std::min(a.size(), b.size());
  const int c = std::memcmp(a.data(), b.data(), common);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

Text TextConcat(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view p : parts) total += p.size();
  Text out;
  out.reserve(total);
  for (std::string_view p : parts) out.append(p);
  return out;
}

Text TextMid(const Text& text, std::int32_t start, std::int32_t count) {
  const std::size_t from = Offset(start);
  if (from >= text.size()) return {};
  return text.substr(from, Count(count));
}

Text TextLeft(const Text& text, std::int32_t count) { return text.substr(0, Count(count)); }

Text TextRight(const Text& text, std::int32_t count) {
  const std::size_t n = std::min(Count(count), text.size());
  return text.substr(text.size() - n);
}

std::int32_t TextFind(const Text& text, const Text& sought, std::int32_t start,
                      bool ignoreCase) {
  const std::size_t at = FindBytes(text, sought, Offset(start), ignoreCase);
  if (at == kNotFound || at >= kMaxLength) return -1;
  return static_cast<std::int32_t>(at + 1);
}

Text TextUpper(const Text& text) {
  Text out = text;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return out;
}

Text TextLower(const Text& text) {
  Text out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

Text CharFromCode(std::int32_t code) {
  const auto byte = static_cast<unsigned char>(code & 0xFF);
  if (byte == 0) return {};
  return Text(1, static_cast<char>(byte));
}

// Reads [spaces][+|-]digits[.digits] (or .digits) from the start of the
// text. Anything else, an exponent included, ends the number; a text that
// does not start with one reads as 0. Too many digits for a double give
// +/-infinity (or 0 when all of them sit after the point).
double TextToNumber(const Text& text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == Text::npos) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t numberStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  const std::size_t integerEnd = i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  }
  const std::size_t digits = (integerEnd - numberStart) + (i > integerEnd ? i - integerEnd - 1 : 0);
  if (digits == 0) return 0;

  double value = 0;
  const char* first = text.data() + numberStart;
  const auto [end, error] = std::from_chars(first, text.data() + i, value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    const bool big = text.find_first_not_of('0', numberStart) < integerEnd;
    value = big ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc()) {
    return 0;
  }
  (void)end;
  return negative ? -value : value;
}

std::int32_t ToInteger(double number) {
  // Exactly the doubles in [-2^63, 2^63) fit a 64-bit integer.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(number >= -kLimit && number < kLimit)) return 0;  // NaN fails both
  const auto wide = static_cast<std::int64_t>(number);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

Text BlankText(std::int32_t n) { return Text(Count(n), ' '); }

Text TextFromBytes(const Bytes& bytes) {
  // As one block: a page may be many megabytes.
  if (bytes.empty()) return {};
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  const void* zero = std::memchr(data, 0, bytes.size());
  return Text(data, zero ? static_cast<const char*>(zero) - data : bytes.size());
}

Text TextFromInteger(std::int64_t value) { return std::to_string(value); }

Bytes BytesFromText(const Text& text) { return Bytes(text.begin(), text.end()); }

std::int32_t BytesLength(const Bytes& bytes) {
  return static_cast<std::int32_t>(std::min(bytes.size(), kMaxLength));
}

Bytes BytesLeft(const Bytes& bytes, std::int32_t count) {
  const std::size_t n = std::min(Count(count), bytes.size());
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes BytesRight(const Bytes& bytes, std::int32_t count) {
  const std::size_t n = std::min(Count(count), bytes.size());
  return Bytes(bytes.end() - static_cast<std::ptrdiff_t>(n), bytes.end());
}

Bytes BlankBytes(std::int32_t n) { return Bytes(Count(n), 0); }

}  // namespace zoq
