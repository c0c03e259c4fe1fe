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

// Only the small-letter prefix "http://" is known; without it the host part
// starts the URL. The host is in small letters and ends at the first ":"
// unless `keepPort`; the path is the URL from the first "/" after the host's
// start, or "/"; the port is 80 without a ":" and otherwise the number after
// it, cut to an integer (0 when no number follows).
Text UrlHost(const Text& url, bool keepPort = false);
Text UrlPath(const Text& url);
std::int32_t UrlPort(const Text& url);

}  // namespace zoq
