// Colours and names both layouts use.
#pragma once

#include "runtime/ui.h"

namespace zoq::forms::palette {

using ui::Colour;

inline constexpr Colour kMagenta = 0x00FF00FF;
inline constexpr Colour kCyan = 0x00FFFF00;
inline constexpr Colour kRed = 0x000000FF;
inline constexpr Colour kBlack = 0x00000000;
inline constexpr Colour kWhite = 0x00FFFFFF;

}  // namespace zoq::forms::palette
