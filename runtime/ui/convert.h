// Code page 936 <-> UTF-16, the crossing every backend's texts take: the
// program's texts are 936 bytes, both toolkits' are UTF-16.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/ui.h"

namespace zoq::ui {

// The toolkit's UTF-16 code unit: Win32's wchar_t, Qt's char16_t.
#ifdef _WIN32
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif
using WideText = std::basic_string<WideChar>;

// Always 936, not the system's ANSI code page: the texts are Chinese on a
// system of any language. Valid 936 text survives the round trip byte for
// byte; a character 936 lacks becomes '?'; a text ends at a U+0000.
WideText Wide(const Text& text);
Text Narrow(const WideChar* text, std::size_t length);
Text Narrow(const WideText& text);

}  // namespace zoq::ui
