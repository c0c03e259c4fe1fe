// Percent decoding, and the conversions from UTF-8 and UTF-16 to code page
// 936 behind it.
#pragma once

#include "text/text.h"

namespace zoq {

// Percent escapes become bytes, then the bytes are read as UTF-8 and
// converted to code page 936. The text ends at its first zero byte, so a
// page's bytes decode as they lie, with no copy made as text first.
Text UrlDecode(std::string_view text);
// Reads `bytes` as UTF-8; may append a zero byte to the caller's byte set.
Text Utf8ToLocal(Bytes& bytes);
// Converts little-endian UTF-16 code units up to the first zero unit.
Text WideToLocal(const Bytes& wide);

}  // namespace zoq
