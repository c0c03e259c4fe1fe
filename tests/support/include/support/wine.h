// Whether the Windows build of a test runs under Wine rather than Windows.
//
// Wine reimplements the API and differs from Windows in a few places the
// tests can see; a test checks this only to skip an assertion about such a
// place, and says which difference it is.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace zoq::testing {

inline bool RunningUnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace zoq::testing
