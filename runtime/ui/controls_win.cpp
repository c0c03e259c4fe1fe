// The controls the window draws itself (group boxes, bordered labels,
// graphic buttons, colour pickers and their menu), the colours' brushes, and
// names for screen readers.

#include <initguid.h>  // defines the accessibility GUIDs used below in this file

#include "win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <oleacc.h>

#include <algorithm>
#include <map>
#include <string>

#include "look.h"

namespace zoq::ui::win {

namespace {

struct CommonControls {
  decltype(&::SetWindowSubclass) setSubclass = nullptr;
  decltype(&::RemoveWindowSubclass) removeSubclass = nullptr;
  decltype(&::DefSubclassProc) defSubclass = nullptr;
};

CommonControls& Library() {
  static CommonControls library;
  return library;
}

template <typename F>
F Proc(HMODULE library, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

LRESULT DefSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto next = Library().defSubclass;
  return next ? next(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

void RemoveSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
  if (const auto remove = Library().removeSubclass) remove(hwnd, proc, id);
}

void Subclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
  if (const auto set = Library().setSubclass) set(hwnd, proc, id, 0);
}

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

// --- Drawing: the colours' brushes, the controls the window draws itself ---

namespace {

std::map<COLORREF, HBRUSH>& Brushes() {
  static std::map<COLORREF, HBRUSH> brushes;
  return brushes;
}

// A group box that carries controls: what they send their parent goes on to
// the window, and the box paints itself in the layout's colours.
LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
    case WM_NCHITTEST:
      return HTCLIENT;  // a group box would let clicks fall through it
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
      return 0;  // and a group box is no button
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PAINTSTRUCT paint{};
      HDC dc = message == WM_PAINT ? BeginPaint(hwnd, &paint) : reinterpret_cast<HDC>(wParam);
      // The box's colours are asked of the window, as for any control.
      HBRUSH back = reinterpret_cast<HBRUSH>(SendMessageW(
          GetAncestor(hwnd, GA_ROOT), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
          reinterpret_cast<LPARAM>(hwnd)));
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, back ? back : GetSysColorBrush(COLOR_BTNFACE));
      const int length = GetWindowTextLengthW(hwnd);
      std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
      caption.resize(static_cast<std::size_t>(
          std::max(0, GetWindowTextW(hwnd, caption.data(), length + 1))));
      HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT,
                                                                              0, 0)));
      SIZE extent{};
      if (!caption.empty()) {
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
      }
      // An etched line, its top through the middle of the caption.
      RECT line = client;
      line.top += extent.cy / 2;
      DrawEdge(dc, &line, EDGE_ETCHED, BF_RECT);
      if (!caption.empty()) {
        const UINT dpi = win::DpiOf(hwnd);
        RECT text{client.left + Scale(8, dpi), client.top,
                  client.left + Scale(8, dpi) + extent.cx + Scale(4, dpi), client.top + extent.cy};
        FillRect(dc, &text, back ? back : GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        text.left += Scale(2, dpi);
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
      }
      SelectObject(dc, oldFont);
      if (message == WM_PAINT) EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveSubclass(hwnd, GroupBoxProc, 1);
      break;
    default:
      break;
  }
  return DefSubclass(hwnd, message, wParam, lParam);
}

// A bordered label: its one-pixel line in the label's text colour, as the
// window says it when asked for the label's colours.
LRESULT CALLBACK BorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
  if (message == WM_NCPAINT) {
    HDC dc = GetWindowDC(hwnd);
    if (dc) {
      SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(hwnd));
      HBRUSH line = CreateSolidBrush(GetTextColor(dc));
      RECT outer;
      GetWindowRect(hwnd, &outer);
      OffsetRect(&outer, -outer.left, -outer.top);
      FrameRect(dc, &outer, line);
      DeleteObject(line);
      ReleaseDC(hwnd, dc);
    }
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveSubclass(hwnd, BorderProc, 2);
  return DefSubclass(hwnd, message, wParam, lParam);
}

// A graphic button is clicked like any button but never takes the focus: a
// click leaves it where it was (in the note being typed), and so Space can
// never press it again.
LRESULT CALLBACK GraphicButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR) {
  auto inside = [hwnd, lParam] {
    RECT client;
    GetClientRect(hwnd, &client);
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, at) != FALSE;
  };
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(hwnd);
      SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd) SendMessageW(hwnd, BM_SETSTATE, inside() ? TRUE : FALSE, 0);
      return 0;
    case WM_LBUTTONUP: {
      if (GetCapture() != hwnd) return 0;
      const bool click = inside();
      ReleaseCapture();  // unpresses it (WM_CAPTURECHANGED)
      if (click) {
        // May free the window and this button: nothing of either is used after.
        SendMessageW(GetParent(hwnd), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
      return 0;
    case WM_SETFOCUS:
      // Given the focus some other way: it goes straight back.
      if (wParam && IsWindow(reinterpret_cast<HWND>(wParam))) {
        SetFocus(reinterpret_cast<HWND>(wParam));
      }
      return 0;
    case WM_NCDESTROY:
      RemoveSubclass(hwnd, GraphicButtonProc, 3);
      break;
    default:
      break;
  }
  return DefSubclass(hwnd, message, wParam, lParam);
}

}  // namespace

HBRUSH BrushOf(COLORREF colour) {
  auto& brushes = Brushes();
  if (const auto it = brushes.find(colour); it != brushes.end()) return it->second;
  return brushes.emplace(colour, CreateSolidBrush(colour)).first->second;
}

void ReleaseBrushes() {
  for (auto& [colour, brush] : Brushes()) DeleteObject(brush);
  Brushes().clear();
}

void UseCommonControls() {
  static const bool loaded = [] {
    ACTCTXW manifest{};
    manifest.cbSize = sizeof(manifest);
    manifest.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    manifest.hModule = Instance();
    manifest.lpResourceName = MAKEINTRESOURCEW(kControlsManifest);
    const HANDLE context = CreateActCtxW(&manifest);
    ULONG_PTR cookie = 0;
    // Never deactivated: the windows, menus and boxes to come all want it.
    const bool themed = context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie);
    // By name only under the context, which then finds the themed version
    // among the system's assemblies; otherwise from the system folder.
    HMODULE library = themed ? LoadLibraryW(L"comctl32.dll") : nullptr;
    if (!library) {
      if (LateProc(L"comctl32.dll", "InitCommonControlsEx")) library = GetModuleHandleW(L"comctl32.dll");
    }
    if (!library) return false;
    if (const auto init = Proc<decltype(&::InitCommonControlsEx)>(library, "InitCommonControlsEx")) {
      INITCOMMONCONTROLSEX controls{};
      controls.dwSize = sizeof(controls);
      controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
      init(&controls);
    }
    Library() = {Proc<decltype(&::SetWindowSubclass)>(library, "SetWindowSubclass"),
                 Proc<decltype(&::RemoveWindowSubclass)>(library, "RemoveWindowSubclass"),
                 Proc<decltype(&::DefSubclassProc)>(library, "DefSubclassProc")};
    return true;
  }();
  (void)loaded;
}

void DrawGroupBoxItself(HWND box) { Subclass(box, GroupBoxProc, 1); }
void DrawLabelBorderItself(HWND label) { Subclass(label, BorderProc, 2); }
void ClickWithoutFocus(HWND button) { Subclass(button, GraphicButtonProc, 3); }

void DrawGraphicButton(const DRAWITEMSTRUCT& item, COLORREF back, HBITMAP picture, SIZE size,
                       UINT dpi) {
  HDC dc = item.hDC;
  const RECT& box = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &box, BrushOf(back));
  if (picture) {
    const int inset = Scale(kGraphicButtonInset, dpi) + (pressed ? 1 : 0);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture);
    BitBlt(dc, box.left + inset, box.top + inset, size.cx, size.cy, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
  }
  if (pressed) {
    RECT edge = box;
    DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
  }
}

void DrawColourPicker(const DRAWITEMSTRUCT& item, COLORREF colour, UINT dpi) {
  HDC dc = item.hDC;
  const RECT& box = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  RECT face = box;
  DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  // The swatch fills the button but for its edge and the menu arrow.
  const int arrow = Scale(12, dpi);
  RECT swatch{box.left + Scale(4, dpi), box.top + Scale(4, dpi),
              box.right - Scale(4, dpi) - arrow, box.bottom - Scale(4, dpi)};
  if (swatch.right > swatch.left && swatch.bottom > swatch.top) {
    FillRect(dc, &swatch, BrushOf(colour));
    FrameRect(dc, &swatch, BrushOf(GetSysColor(COLOR_BTNSHADOW)));
  }
  const int cx = box.right - Scale(4, dpi) - arrow / 2;
  const int cy = (box.top + box.bottom) / 2;
  const int half = std::max(2, Scale(3, dpi));
  POINT points[3] = {{cx - half, cy - half / 2}, {cx + half + 1, cy - half / 2},
                     {cx, cy + half / 2 + 1}};
  HGDIOBJ oldBrush = SelectObject(dc, BrushOf(GetSysColor(COLOR_BTNTEXT)));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, points, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = box;
    InflateRect(&focus, -Scale(2, dpi), -Scale(2, dpi));
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace zoq::ui::win
