// The Win32 backend's pictures and the COM objects behind them.

#include <gtest/gtest.h>

#include "win.h"

#include <objbase.h>

#include <vector>

#include "support/import_hook.h"

// Controls name only the fields that differ from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zoq::ui {
namespace {

using zoq::testing::ImportHook;
using zoq::testing::LookUpHook;

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

TEST(SharedComObjects, ReleasedBeforeComEndsAndMadeAfreshAfter) {
  // COM is looked up when first used.
  LookUpHook hook({{"CoCreateInstance", reinterpret_cast<void*>(&FakeCreate)},
                   {"CoUninitialize", reinterpret_cast<void*>(&FakeUninitialize)}});
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

// A BMP file of one colour, bottom row first as BMP files have it.
Bytes SolidBmp(int width, int height, COLORREF colour) {
  const std::size_t pixels = std::size_t(width) * height * 4;
  Bytes bytes(14 + 40 + pixels, 0);
  auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put(2, static_cast<std::uint32_t>(bytes.size()), 4);
  put(10, 14 + 40, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 32, 2);
  for (std::size_t i = 54; i < bytes.size(); i += 4) {
    bytes[i] = GetBValue(colour);
    bytes[i + 1] = GetGValue(colour);
    bytes[i + 2] = GetRValue(colour);
    bytes[i + 3] = 0xFF;
  }
  return bytes;
}

int stretches = 0;
BOOL WINAPI CountingStretch(HDC to, int x, int y, int w, int h, HDC from, int fx, int fy, int fw,
                            int fh, DWORD operation) {
  ++stretches;
  ZOQ_REAL("gdi32.dll", StretchBlt);
  return real(to, x, y, w, h, from, fx, fy, fw, fh, operation);
}

void LetEventsRun() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The picture box's child window: in this thread's windows, the one static
// control showing a bitmap.
HWND PictureBox() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND top, LPARAM result) -> BOOL {
        EnumChildWindows(
            top,
            [](HWND child, LPARAM result) -> BOOL {
              if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) return TRUE;
              *reinterpret_cast<HWND*>(result) = child;
              return FALSE;
            },
            result);
        return *reinterpret_cast<HWND*>(result) == nullptr;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

COLORREF PixelOf(HBITMAP bitmap, int width, int height, int x, int y) {
  BITMAPINFO info = win::TopDownInfo(width, height);
  std::vector<std::uint8_t> bits(std::size_t(width) * height * 4);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, height, bits.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return CLR_INVALID;
  const std::uint8_t* p = bits.data() + (std::size_t(y) * width + x) * 4;
  return RGB(p[2], p[1], p[0]);
}

// A photograph is scaled once, to the size it shows at; a change of its
// frame's colour only lays it over the new background again.
TEST(PictureBoxOnWindows, FrameColourChangesNeverRescaleThePhotograph) {
  const Bytes photo = SolidBmp(640, 480, RGB(255, 0, 0));
  const win::Picture shown = win::DecodePicture(photo.data(), photo.size(), {320, 288}, 96);
  EXPECT_EQ(shown.width, 320);
  EXPECT_EQ(shown.height, 240);

  FormSpec form{.name = "pictured", .title = "pictured", .left = 0, .top = 0, .width = 400,
                .height = 360, .icon = {}, .controls = {}};
  form.controls.push_back({.name = "frame", .kind = Kind::GroupBox, .left = 0, .top = 0,
                           .width = 380, .height = 320, .backColour = RGB(0, 255, 255)});
  form.controls.push_back({.name = "photo", .kind = Kind::PictureBox, .container = "frame",
                           .left = 10, .top = 20, .width = 320, .height = 288});
  Window* window = LoadWindow(form, {}, nullptr, false);
  ASSERT_NE(window, nullptr);
  window->SetPicture("photo", photo);
  LetEventsRun();
  const HWND box = PictureBox();
  ASSERT_NE(box, nullptr);
  {
    ImportHook hook("gdi32.dll", "StretchBlt", reinterpret_cast<void*>(&CountingStretch));
    ASSERT_TRUE(hook.Installed());
    for (const COLORREF colour : {RGB(255, 0, 255), RGB(0, 0, 0), RGB(255, 255, 255)}) {
      window->SetBackColour("frame", colour);
      RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      LetEventsRun();
    }
  }
  EXPECT_EQ(stretches, 0);
  // Still the photograph, centred, over the frame's last colour.
  const auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(box, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelOf(bitmap, 320, 288, 160, 144), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(bitmap, 320, 288, 160, 10), RGB(255, 255, 255));
  window->Destroy();
  LetEventsRun();
}

}  // namespace
}  // namespace zoq::ui
