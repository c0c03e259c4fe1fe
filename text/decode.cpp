// Percent decoding, then UTF-8 to code page 936 through UTF-16 with the
// platform's conversion calls where the text is not plain ASCII.

#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

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

// Runs of at least this many bytes that pass unchanged are copied as they
// are; shorter ones go through the conversion with the characters around
// them.
constexpr std::size_t kCopiedRun = 32;
constexpr std::size_t kPendingLimit = 64 << 10;

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool HasZeroByte(std::uint64_t w) { return ((w - kOnes) & ~w & kHighBits) != 0; }

// Bytes at the start of [s, s + n) that both the decoding and the conversion
// leave as they are: below 128, and neither zero nor `stop`.
std::size_t PlainRun(const std::uint8_t* s, std::size_t n, std::uint8_t stop) {
  const std::uint64_t stops = kOnes * stop;
  std::size_t i = 0;
  for (; n - i >= 8; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, 8);
    if ((w & kHighBits) != 0 || HasZeroByte(w) || HasZeroByte(w ^ stops)) break;
  }
  while (i < n && s[i] < 0x80 && s[i] != 0 && s[i] != stop) ++i;
  return i;
}

// Bytes of 128 or more at the start of [s, s + n).
std::size_t HighRun(const std::uint8_t* s, std::size_t n) {
  std::size_t i = 0;
  for (; n - i >= 8; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, 8);
    if ((w & kHighBits) != kHighBits) break;
  }
  while (i < n && s[i] >= 0x80) ++i;
  return i;
}

// Converts UTF-8 without a zero byte to code page 936 onto the end of
// `out`; `wide` is scratch space kept between calls.
void AppendConverted(const std::uint8_t* s, std::size_t n, std::vector<WCHAR>& wide, Text& out) {
  if (n == 0) return;
  // No more units than bytes, and no more than two bytes per unit: the
  // buffers are sized without asking first.
  if (wide.size() < n) wide.resize(n);
  const int units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCCH>(s),
                                        static_cast<int>(n), wide.data(), static_cast<int>(n));
  if (units <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + 2 * static_cast<std::size_t>(units));
  const int written = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out.data() + at,
                                          2 * units, nullptr, nullptr);
  out.resize(at + (written > 0 ? static_cast<std::size_t>(written) : 0));
}

// Ill-formed UTF-8 ends at an ASCII byte and each UTF-16 unit converts on
// its own, so the text may be converted piece by piece at ASCII bytes: long
// plain runs, the bulk of a page, are copied, and only the bytes between
// them go through the conversion calls.
class LocalText {
 public:
  explicit LocalText(std::size_t size) { out_.reserve(size); }
  // Bytes for the conversion.
  void Add(const std::uint8_t* s, std::size_t n) { pending_.insert(pending_.end(), s, s + n); }
  void Add(std::uint8_t b) { pending_.push_back(b); }
  // Bytes that pass unchanged: a long run is copied, and so is a short one
  // once the bytes waiting for the conversion are many, which keeps its
  // buffers small on a page with little ASCII.
  void AddPlain(const std::uint8_t* s, std::size_t n) {
    if (n == 0) return;
    if (n < kCopiedRun && pending_.size() < kPendingLimit) {
      Add(s, n);
      return;
    }
    Flush();
    out_.append(reinterpret_cast<const char*>(s), n);
  }
  Text Take() {
    Flush();
    return std::move(out_);
  }

 private:
  void Flush() {
    AppendConverted(pending_.data(), pending_.size(), wide_, out_);
    pending_.clear();
  }
  Text out_;
  Bytes pending_;
  std::vector<WCHAR> wide_;
};

}  // namespace

// "%" with two hexadecimal digits in either case is the byte they spell; a
// "%" without them is kept as it is, and the bytes after it are read as
// usual. "%00" adds nothing, since a text holds no zero byte; a zero byte
// itself ends the text.
//
// One pass: the decoded bytes go straight to the conversion, which reads
// them as UTF-8 up to a zero byte of the text.
Text UrlDecode(std::string_view text) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  if (n >= kMaxInt) return {};
  LocalText local(n);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = PlainRun(s + i, n - i, '%');
    local.AddPlain(s + i, run);
    i += run;
    if (i == n || s[i] == 0) break;
    if (s[i] != '%') {
      const std::size_t high = HighRun(s + i, n - i);
      local.Add(s + i, high);
      i += high;
      continue;
    }
    const int high = i + 2 < n ? HexValue(s[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(s[i + 2]) : -1;
    if (low >= 0) {
      if (high != 0 || low != 0) local.Add(static_cast<std::uint8_t>(high * 16 + low));
      i += 3;
    } else {
      local.Add('%');
      i += 1;
    }
  }
  return local.Take();
}

Text Utf8ToLocal(Bytes& bytes) {
  // The caller's byte set gets a terminator after a last byte below 127;
  // the text ends at the first zero byte in any case.
  if (!bytes.empty() && bytes.back() < 127) bytes.push_back(0);
  if (bytes.size() > kMaxInt) return {};
  const std::uint8_t* s = bytes.data();
  const std::size_t n = bytes.size();
  LocalText local(n);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = PlainRun(s + i, n - i, 0);
    local.AddPlain(s + i, run);
    i += run;
    if (i == n || s[i] == 0) break;
    const std::size_t high = HighRun(s + i, n - i);
    local.Add(s + i, high);
    i += high;
  }
  return local.Take();
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
