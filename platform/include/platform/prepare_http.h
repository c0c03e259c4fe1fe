// A head start for the HTTP calls of win32.h, for a program that will soon
// make them.
#pragma once

namespace zoq::platform {

// Starts readying the HTTP calls in the background; they ready themselves on
// first use anyway. Returns at once.
#ifdef _WIN32
inline void PrepareHttp() {}  // WinINet is a system library, loaded with the program
#else
void PrepareHttp();
#endif

}  // namespace zoq::platform
