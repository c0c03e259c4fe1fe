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

namespace zoq::fuzz {

// Texts never hold a zero byte; fuzz texts keep to that.
inline Text WithoutZeros(std::string s) {
  std::erase(s, '\0');
  return s;
}

inline bool HasZero(const Text& t) { return t.find('\0') != Text::npos; }

inline bool HasUpper(const Text& t) {
  for (unsigned char c : t)
    if (c >= 'A' && c <= 'Z') return true;
  return false;
}

inline Text AsciiLower(Text t) {
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return t;
}

}  // namespace zoq::fuzz
