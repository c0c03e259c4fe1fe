// libcurl, linked: its libraries load with the program, so that the
// version page's request leaves as soon as the program starts instead of
// after a load that would queue behind the toolkit's own.
#pragma once

#include <curl/curl.h>

namespace zoq::platform {

// Initialises the library once, from whichever thread comes first; false
// when it cannot start (HTTP then fails, nothing else).
bool CurlReady();

}  // namespace zoq::platform
