// The colour picker's menu and names for screen readers.

#include <initguid.h>  // defines the accessibility GUIDs used below in this file

#include "win.h"

#include <commdlg.h>
#include <objbase.h>
#include <oleacc.h>

#include <string>

#include "look.h"

namespace zoq::ui::win {

namespace {

constexpr UINT kOtherColour = 100;

HBITMAP Swatch(COLORREF colour, int size) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, size, size};
  HBRUSH frame = CreateSolidBrush(RGB(128, 128, 128));
  HBRUSH fill = CreateSolidBrush(colour);
  FillRect(dc, &all, fill);
  FrameRect(dc, &all, frame);
  DeleteObject(fill);
  DeleteObject(frame);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
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
    HBITMAP swatch = Swatch(colour, size);
    swatches.push_back(swatch);
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_STATE;
    item.wID = id++;
    item.fState = colour == current ? MFS_CHECKED : MFS_UNCHECKED;
    item.dwTypeData = const_cast<wchar_t*>(name.c_str());
    item.hbmpItem = swatch;
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
  }
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kOtherColour, L"其他颜色...");

  RECT below{};
  GetWindowRect(picker, &below);
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
      below.left, below.bottom, 0, owner, nullptr));
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
