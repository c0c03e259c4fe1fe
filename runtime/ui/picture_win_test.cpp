// The Win32 backend's pictures and the COM objects behind them.

#include <gtest/gtest.h>

#include "win.h"

#include <objbase.h>

#include <cstring>

#include "support/import_hook.h"

namespace zoq::ui {
namespace {

using zoq::testing::ImportHook;

// Stands in for a system component: counts the objects alive.
struct Counted final : IUnknown {
  static inline int alive = 0;
  ULONG refs = 1;
  Counted() { ++alive; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--refs > 0) return refs;
    --alive;
    delete this;
    return 0;
  }
};

int aliveWhenComEnded = -1;
HRESULT WINAPI FakeCreate(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* made) {
  *made = static_cast<IUnknown*>(new Counted);
  return S_OK;
}
void WINAPI FakeUninitialize() { aliveWhenComEnded = Counted::alive; }

// COM's functions are looked up when first used: the stand-ins come in
// through GetProcAddress.
FARPROC(WINAPI* realLookUp)(HMODULE, LPCSTR) = nullptr;
FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
    if (std::strcmp(name, "CoCreateInstance") == 0) {
      return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeCreate));
    }
    if (std::strcmp(name, "CoUninitialize") == 0) {
      return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeUninitialize));
    }
  }
  return realLookUp(module, name);
}

TEST(SharedComObjects, ReleasedBeforeComEndsAndMadeAfreshAfter) {
  realLookUp = reinterpret_cast<decltype(realLookUp)>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcAddress")));
  ImportHook hook("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&LookUp));
  ASSERT_TRUE(hook.Installed());
  const CLSID kind = {0x5a0c1e57, 0x1234, 0x4bcd, {0x9e, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};

  ASSERT_TRUE(win::ComReady());
  void* first = win::SharedObject(kind, IID_IUnknown);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(win::SharedObject(kind, IID_IUnknown), first);  // one for the whole program
  EXPECT_EQ(Counted::alive, 1);
  win::EndCom();
  EXPECT_EQ(aliveWhenComEnded, 0);  // none outlives COM
  EXPECT_EQ(Counted::alive, 0);

  // A later application starts COM again and gets a new object.
  ASSERT_TRUE(win::ComReady());
  EXPECT_NE(win::SharedObject(kind, IID_IUnknown), nullptr);
  EXPECT_EQ(Counted::alive, 1);
  win::EndCom();
  EXPECT_EQ(Counted::alive, 0);
}

}  // namespace
}  // namespace zoq::ui
