#include "search.h"
#include "text/between.h"

namespace zoq {

// A missing marker gives the empty text rather than a piece of the source cut
// at a shifted position.
Text TextBetween(const Text& source, const Text& startMarker, const Text& endMarker) {
  const std::size_t start = FindBytes(source, startMarker, 0, false);
  if (start == kNotFound) return {};
  const std::size_t from = start + startMarker.size();
  const std::size_t end = FindBytes(source, endMarker, from, false);
  if (end == kNotFound) return {};
  return source.substr(from, end - from);
}

}  // namespace zoq
