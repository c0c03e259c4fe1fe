// wininet.dll, opened on first use rather than imported: it loads on the
// fetch worker while the program starts, not before the program runs.
#pragma once

#include "platform/win32.h"

namespace zoq::platform {

// The library's own calls, which the forwarders of the same names call on.
struct WinInetApi {
  decltype(&::InternetOpenA) InternetOpenA;
  decltype(&::InternetConnectA) InternetConnectA;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA;
  decltype(&::HttpAddRequestHeadersA) HttpAddRequestHeadersA;
  decltype(&::HttpSendRequestA) HttpSendRequestA;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::HttpQueryInfoA) HttpQueryInfoA;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
  decltype(&::InternetSetCookieA) InternetSetCookieA;
};

// The library, opened once from the system folder; waits for a load in
// progress. Null when it is missing or lacks a call: HTTP then fails with
// ERROR_MOD_NOT_FOUND, nothing else. Tests may point an entry elsewhere.
WinInetApi* WinInet();

}  // namespace zoq::platform
