// The colour picker's menu and names for screen readers.

#include <initguid.h>  // defines the accessibility GUIDs used below in this file

#include "win.h"

#include <commdlg.h>
#include <objbase.h>
#include <oleacc.h>

#include <algorithm>
#include <string>

#include "look.h"

namespace zoq::ui::win {

namespace {

constexpr UINT kOtherColour = 100;

// A `size` square DIB, every pixel opaque: a grey line around what `shade`
// gives for the inside (x, y and the distance from the edge).
template <typename Shade>
HBITMAP PaintSwatch(int size, Shade shade) {
  std::uint8_t* bits = nullptr;
  HBITMAP bitmap = size > 0 ? TopDownDib(nullptr, size, size, &bits) : nullptr;
  if (!bitmap) return nullptr;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int edge = std::min(std::min(x, y), std::min(size - 1 - x, size - 1 - y));
      const COLORREF shown = edge == 0 ? RGB(128, 128, 128) : shade(x, y, edge);
      std::uint8_t* pixel = bits + (std::size_t(y) * size + x) * 4;
      pixel[0] = GetBValue(shown);
      pixel[1] = GetGValue(shown);
      pixel[2] = GetRValue(shown);
      pixel[3] = 0xFF;
    }
  }
  return bitmap;
}

std::optional<COLORREF> ChooseOther(HWND owner, COLORREF current) {
  static COLORREF custom[16] = {};
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = owner;
  choose.rgbResult = current;
  choose.lpCustColors = custom;
  choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  static const auto chooseColour =
      Late<BOOL(WINAPI*)(CHOOSECOLORW*)>(L"comdlg32.dll", "ChooseColorW");
  if (!chooseColour || !chooseColour(&choose)) return std::nullopt;
  return choose.rgbResult & 0x00FFFFFF;
}

}  // namespace

HBITMAP ColourSwatch(COLORREF colour, int size, bool current) {
  // Light colours get a black ring, dark ones a white one.
  const int light = GetRValue(colour) * 299 + GetGValue(colour) * 587 + GetBValue(colour) * 114;
  const COLORREF ring = light > 128 * 1000 ? RGB(0, 0, 0) : RGB(255, 255, 255);
  const int ringWidth = std::max(2, size / 8);
  return PaintSwatch(size, [&](int, int, int edge) {
    return current && edge <= ringWidth ? ring : colour;
  });
}

HBITMAP SpectrumSwatch(int size) {
  // Red, yellow, green, cyan, blue, magenta from left to right.
  return PaintSwatch(size, [size](int x, int, int) {
    const int hue = x * 6 * 255 / std::max(1, size - 1);
    const int segment = std::min(5, hue / 255), rise = hue - segment * 255, fall = 255 - rise;
    const int table[6][3] = {{255, rise, 0}, {fall, 255, 0}, {0, 255, rise},
                             {0, fall, 255}, {rise, 0, 255}, {255, 0, fall}};
    return RGB(table[segment][0], table[segment][1], table[segment][2]);
  });
}

std::optional<COLORREF> ChooseFromMenu(HWND picker, COLORREF current) {
  if (ProgramEnding()) return std::nullopt;
  HWND owner = GetAncestor(picker, GA_ROOT);
  // Each colour is a menu item with its name (what screen readers say) and
  // a swatch beside it.
  HMENU menu = CreatePopupMenu();
  if (!menu) return std::nullopt;
  const int size = Scale(16, DpiOf(picker));
  std::vector<HBITMAP> swatches;
  UINT id = 1;
  for (const NamedColour& named : kCommonColours) {
    const auto colour = static_cast<COLORREF>(named.colour);
    const std::wstring name(named.name, named.name + std::char_traits<char16_t>::length(named.name));
    HBITMAP swatch = ColourSwatch(colour, size, colour == current);
    swatches.push_back(swatch);
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_STATE;
    item.wID = id++;
    item.fState = colour == current ? MFS_CHECKED : MFS_UNCHECKED;  // for screen readers
    item.dwTypeData = const_cast<wchar_t*>(name.c_str());
    item.hbmpItem = swatch;
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
  }
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  // With a bitmap like the others: an item without one is measured without
  // the bitmap column its text is still pushed along by, and gets cut off.
  HBITMAP spectrum = SpectrumSwatch(size);
  swatches.push_back(spectrum);
  MENUITEMINFOW other{};
  other.cbSize = sizeof(other);
  other.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP;
  other.wID = kOtherColour;
  other.dwTypeData = const_cast<wchar_t*>(L"其他颜色...");
  other.hbmpItem = spectrum;
  InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &other);

  // Below the picker, or above it where the screen ends below: never over
  // it, and never cut off at the screen's edge.
  TPMPARAMS beside{};
  beside.cbSize = sizeof(beside);
  GetWindowRect(picker, &beside.rcExclude);
  const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
      menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL |
                TPM_LEFTBUTTON,
      beside.rcExclude.left, beside.rcExclude.bottom, owner, &beside));
  DestroyMenu(menu);
  for (HBITMAP swatch : swatches) DeleteObject(swatch);

  if (chosen >= 1 && chosen <= std::size(kCommonColours)) {
    return static_cast<COLORREF>(kCommonColours[chosen - 1].colour);
  }
  if (chosen == kOtherColour && !ProgramEnding()) return ChooseOther(owner, current);
  return std::nullopt;
}

namespace {

// CLSID_AccPropServices: oleacc's annotation service, present on every
// Windows since 2000.
const CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};

IAccPropServices* Annotations() {
  return SharedInstance<IAccPropServices>(kAccPropServices, IID_IAccPropServices);
}

}  // namespace

void SetAccessibleName(HWND control, const std::wstring& name) {
  if (!control || name.empty()) return;
  if (IAccPropServices* services = ComReady() ? Annotations() : nullptr) {
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_NAME, name.c_str());
  }
}

}  // namespace zoq::ui::win
