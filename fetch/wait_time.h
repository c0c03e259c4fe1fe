// How long PageFetch waits for quiet before it gives up on its worker.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace zoq::fetch {

inline constexpr std::int32_t kDefaultTimeoutSeconds = 90;
// The longest time-out whose millisecond count fits a signed 32-bit value:
// 2 147 483 s, just under 24.86 days. Longer ones would wrap (or reach
// INFINITE) in the wait's 32-bit argument.
inline constexpr std::int32_t kMaxTimeoutSeconds = 2147483;

// What wakes the wait besides the worker's end: keys, mouse, raw input,
// posted messages, timers, painting and hot keys (0x04BF). Not QS_ALLEVENTS:
// current Windows headers add pointer and touch input to it.
inline constexpr DWORD kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_RAWINPUT |
                                   QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
static_assert(kWakeMask == 0x04BF);

// The wait in milliseconds; a time-out of zero, below zero or above the
// maximum counts as the default.
DWORD FetchWaitMilliseconds(std::int32_t timeoutSeconds);

}  // namespace zoq::fetch
