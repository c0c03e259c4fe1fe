// Invariant checks for the fuzz targets: a broken invariant aborts, which
// libFuzzer records as a crash together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/text.h"

#define FUZZ_CHECK(cond)                                                      \
  do {                                                                        \
    if (!(cond)) {                                                            \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,  \
                   #cond);                                                    \
      std::abort();                                                           \
    }                                                                         \
  } while (0)

// For the targets' own checking code: its branches say nothing about the
// code under test, and instrumenting them costs a call per comparison and
// adds coverage that only grows the corpus.
#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))

namespace zoq::fuzz {

// Texts never hold a zero byte; fuzz texts keep to that.
FUZZ_UNTRACED inline Text WithoutZeros(std::string s) {
  std::size_t kept = 0;
  for (const char c : s)
    if (c != '\0') s[kept++] = c;
  s.resize(kept);
  return s;
}

FUZZ_UNTRACED inline bool HasZero(const Text& t) { return t.find('\0') != Text::npos; }

FUZZ_UNTRACED inline bool HasUpper(const Text& t) {
  for (unsigned char c : t)
    if (c >= 'A' && c <= 'Z') return true;
  return false;
}

FUZZ_UNTRACED inline Text AsciiLower(Text t) {
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return t;
}

}  // namespace zoq::fuzz
