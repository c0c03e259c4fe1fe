// The search anchors on one byte of the needle, the one least likely to occur
// in a page, lets memchr find its occurrences and compares the needle around
// each. That is fast on real text but quadratic on crafted input such as a
// needle of many "a" in a text of "a", so the comparisons are budgeted: once
// they cost more than a few passes over the text read so far, the rest of the
// text is searched with Knuth-Morris-Pratt, which reads each byte once.

#include "search.h"

#include <climits>
#include <cstring>
#include <vector>

namespace zoq {
namespace {

unsigned char Fold(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool IsLetter(unsigned char c) {
  const unsigned char f = Fold(c);
  return f >= 'a' && f <= 'z';
}

// A rough rank of how often a byte occurs in web pages and in the program's
// texts; higher is more common.
int Commonness(unsigned char c) {
  static constexpr std::string_view kByFrequency = "etaoinsrhldcumfpgwybvkxjqz";
  if (c == ' ') return 255;
  if (c >= 'a' && c <= 'z') return 250 - 3 * static_cast<int>(kByFrequency.find(static_cast<char>(c)));
  if (std::string_view("<>\"/=.,-:;\n\t\r").find(static_cast<char>(c)) != std::string_view::npos) {
    return 190;
  }
  if (c >= 0x80) return 170;  // UTF-8 and double-byte text
  if (c >= '0' && c <= '9') return 150;
  if (c >= 'A' && c <= 'Z') return 140;
  if (c < 0x20) return 20;
  return 100;
}

// Cost of anchoring on `c`: a letter under `ignoreCase` needs two scans.
int AnchorCost(unsigned char c, bool ignoreCase) {
  if (ignoreCase && IsLetter(c)) return Commonness(Fold(c)) + 60;
  return Commonness(c);
}

bool MatchesAt(const unsigned char* at, const unsigned char* needle, std::size_t m,
               bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(at, needle, m) == 0;
  for (std::size_t i = 0; i < m; ++i) {
    if (Fold(at[i]) != Fold(needle[i])) return false;
  }
  return true;
}

std::size_t KnuthMorrisPratt(const unsigned char* hay, std::size_t n, const unsigned char* needle,
                             std::size_t m, std::size_t from, bool ignoreCase) {
  auto f = [ignoreCase](unsigned char c) { return ignoreCase ? Fold(c) : c; };
  // border[i]: length of the longest proper border of needle[0..i].
  std::vector<std::size_t> border(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && f(needle[i]) != f(needle[k])) k = border[k - 1];
    if (f(needle[i]) == f(needle[k])) ++k;
    border[i] = k;
  }
  for (std::size_t i = from, k = 0; i < n; ++i) {
    while (k > 0 && f(hay[i]) != f(needle[k])) k = border[k - 1];
    if (f(hay[i]) == f(needle[k])) ++k;
    if (k == m) return i + 1 - m;
  }
  return kNotFound;
}

// Next offset in [from, end) holding `byte`, or `end`.
std::size_t NextByte(const unsigned char* hay, std::size_t from, std::size_t end,
                     unsigned char byte) {
  const void* hit = std::memchr(hay + from, byte, end - from);
  return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - hay) : end;
}

}  // namespace

std::size_t FindBytes(std::string_view hayText, std::string_view needleText, std::size_t from,
                      bool ignoreCase) {
  const std::size_t n = hayText.size();
  const std::size_t m = needleText.size();
  if (m == 0 || from > n || n - from < m) return kNotFound;
  const auto* hay = reinterpret_cast<const unsigned char*>(hayText.data());
  const auto* needle = reinterpret_cast<const unsigned char*>(needleText.data());

  std::size_t anchor = 0;
  int best = INT_MAX;
  for (std::size_t i = 0; i < m; ++i) {
    const int cost = AnchorCost(needle[i], ignoreCase);
    if (cost < best) {
      best = cost;
      anchor = i;
    }
  }
  const bool twoCases = ignoreCase && IsLetter(needle[anchor]);
  const unsigned char small = twoCases ? Fold(needle[anchor]) : needle[anchor];
  const unsigned char capital = twoCases ? small - ('a' - 'A') : small;

  // The anchor byte of a match starting at s lies at s + anchor, s <= n - m.
  const std::size_t end = n - m + anchor + 1;
  std::size_t at = from + anchor;
  // With two cases each scan's result is kept until the search passes it, so
  // neither byte is looked for twice over the same stretch.
  std::size_t nextSmall = at, nextCapital = at;
  bool haveSmall = false, haveCapital = false;
  std::size_t compared = 0;
  while (at < end) {
    std::size_t hit;
    if (!twoCases) {
      hit = NextByte(hay, at, end, small);
    } else {
      if (!haveSmall || nextSmall < at) {
        nextSmall = NextByte(hay, at, end, small);
        haveSmall = true;
      }
      if (!haveCapital || nextCapital < at) {
        nextCapital = NextByte(hay, at, end, capital);
        haveCapital = true;
      }
      hit = nextSmall < nextCapital ? nextSmall : nextCapital;
    }
    if (hit >= end) return kNotFound;
    const std::size_t start = hit - anchor;
    if (MatchesAt(hay + start, needle, m, ignoreCase)) return start;
    compared += m;
    if (compared > 2 * (start - from) + 8 * m + 1024) {
      return KnuthMorrisPratt(hay, n, needle, m, start + 1, ignoreCase);
    }
    at = hit + 1;
  }
  return kNotFound;
}

}  // namespace zoq
