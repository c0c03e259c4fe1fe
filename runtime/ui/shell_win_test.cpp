// The browser hand-off on Windows. The mismatch path hands the download page
// over and the process ends straight after, before any window has shown:
// the shell must have finished with the address when the call returns.

#include <gtest/gtest.h>

#include "win.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "support/import_hook.h"

namespace zoq::ui {
namespace {

using zoq::testing::LookUpHook;

struct HandOff {
  int calls = 0;
  bool extended = false;  // ShellExecuteExW, not ShellExecuteW
  ULONG mask = 0;
  std::wstring verb, file;
  int show = 0;
  bool comReady = false;
  DWORD thread = 0;
};
HandOff seen;

void Record(const wchar_t* verb, const wchar_t* file, int show) {
  ++seen.calls;
  seen.verb = verb ? verb : L"";
  seen.file = file ? file : L"";
  seen.show = show;
  seen.thread = GetCurrentThreadId();
  // Nothing to start when COM already runs on this thread.
  const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  seen.comReady = started == S_FALSE || started == RPC_E_CHANGED_MODE;
  if (SUCCEEDED(started)) CoUninitialize();
}

BOOL WINAPI FakeExecuteEx(SHELLEXECUTEINFOW* info) {
  Record(info->lpVerb, info->lpFile, info->nShow);
  seen.extended = true;
  seen.mask = info->fMask;
  info->hInstApp = reinterpret_cast<HINSTANCE>(42);
  return TRUE;
}

HINSTANCE WINAPI FakeExecute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT show) {
  Record(verb, file, show);
  return reinterpret_cast<HINSTANCE>(42);
}

TEST(BrowserOnWindows, HandsOverOnThisThreadWithCom) {
  // The shell's functions are looked up when first used; no browser is
  // ever started.
  LookUpHook hook({{"ShellExecuteExW", reinterpret_cast<void*>(&FakeExecuteEx)},
                   {"ShellExecuteW", reinterpret_cast<void*>(&FakeExecute)}});
  ASSERT_TRUE(hook.Installed());

  EXPECT_FALSE(OpenInBrowser("file:///C:/windows/system32/calc.exe"));
  EXPECT_FALSE(OpenInBrowser("calc.exe"));
  EXPECT_EQ(seen.calls, 0);

  const Text url = "https://127.0.0.1:18080/down?v=1.3&x=%E4";
  EXPECT_TRUE(OpenInBrowser(url));
  // Done when the call has returned, on the calling thread: nothing is left
  // for a later moment the ending process would not live to see.
  ASSERT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.thread, GetCurrentThreadId());
  EXPECT_TRUE(seen.extended);
  // The shell finishes before returning, and shows no box of its own.
  EXPECT_EQ(seen.mask, static_cast<ULONG>(SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI));
  EXPECT_TRUE(seen.comReady);
  EXPECT_EQ(seen.verb, L"open");
  EXPECT_EQ(seen.file, L"https://127.0.0.1:18080/down?v=1.3&x=%E4");
  EXPECT_EQ(seen.show, SW_SHOWNORMAL);
}

}  // namespace
}  // namespace zoq::ui
