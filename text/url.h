// Cutting text between markers, percent decoding with the UTF-8 stage, and
// splitting http URLs into host, port and path.
#pragma once

#include "text/text.h"

namespace zoq {

// The bytes strictly between the first `startMarker` and the first
// `endMarker` after it; empty when either is missing.
Text TextBetween(const Text& source, const Text& startMarker, const Text& endMarker);

// Percent escapes become bytes, then the bytes are read as UTF-8 and
// converted to code page 936.
Text UrlDecode(const Text& text);
// Reads `bytes` as UTF-8; may append a zero byte to the caller's byte set.
Text Utf8ToLocal(Bytes& bytes);
// Converts little-endian UTF-16 code units up to the first zero unit.
Text WideToLocal(const Bytes& wide);

Text UrlHost(const Text& url, bool keepPort = false);
Text UrlPath(const Text& url);
std::int32_t UrlPort(const Text& url);

}  // namespace zoq
