// Cutting a text out of a larger one between two markers.
#pragma once

#include "text/text.h"

namespace zoq {

// The bytes strictly between the first `startMarker` and the first
// `endMarker` after it; empty when either is missing.
Text TextBetween(const Text& source, const Text& startMarker, const Text& endMarker);

}  // namespace zoq
