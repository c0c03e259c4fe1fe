// Windows built from layouts on the Win32 API: one child window per control,
// found by the control's layout name, with the properties the handlers read
// and write.

#include "win.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "runtime/ui_testing.h"
#include "tab_order.h"
#include "window_base.h"

namespace zoq::ui {
namespace {

using win::Scale;
using win::Wide;

constexpr wchar_t kFormClass[] = L"ZoqForm";
constexpr UINT kFirstId = 100;

// What a control has of Win32: its child window (none for timers and common
// dialogs), what its edit box was last given and its picture.
struct WinControl {
  HWND hwnd = nullptr;
  UINT id = 0;  // child-window id, and the timer's id
  std::wstring pushed;
  // Picture box and graphic button: the encoded bytes until the window first
  // shows, then the decoded picture (and the picture box's bitmap of it).
  Bytes pending;
  win::Picture picture;
  HBITMAP bitmap = nullptr;
};

std::map<COLORREF, HBRUSH>& Brushes() {
  static std::map<COLORREF, HBRUSH> brushes;
  return brushes;
}

HBRUSH BrushOf(COLORREF colour) {
  auto& brushes = Brushes();
  if (const auto it = brushes.find(colour); it != brushes.end()) return it->second;
  return brushes.emplace(colour, CreateSolidBrush(colour)).first->second;
}

class FormWindow;
std::vector<FormWindow*>& DestroyedWindows() {
  static std::vector<FormWindow*> windows;
  return windows;
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                           UINT_PTR id, DWORD_PTR data);
LRESULT CALLBACK BorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            UINT_PTR id, DWORD_PTR data);
LRESULT CALLBACK GraphicButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR data);

void RegisterFormClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FormProc;
    wc.hInstance = win::Instance();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = kFormClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}

class FormWindow final : public WindowControls<WinControl> {
 public:
  FormWindow(const FormSpec& form, HWND owner) : WindowControls(form) {
    RegisterFormClass();
    // Not resizable: the layout places every control once.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                        WS_CLIPCHILDREN;
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, Wide(form.title).c_str(), style,
                            form.left, form.top, std::max(1, form.width),
                            std::max(1, form.height), owner, nullptr, win::Instance(), this);
    // Without a window the controls still keep their texts and colours.
    dpi_ = win::DpiOf(hwnd_);
    if (hwnd_ && dpi_ != 96) {
      // Outer size as the layout gives it, at this monitor's scale.
      SetWindowPos(hwnd_, nullptr, 0, 0, Scale(std::max(1, form.width), dpi_),
                   Scale(std::max(1, form.height), dpi_),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    UINT id = kFirstId;
    for (Control& c : controls_) c.id = id++;
    BuildControls(false);
  }

  ~FormWindow() override {
    if (hwnd_) DestroyWindow(hwnd_);
    for (Control& c : controls_) {
      if (c.bitmap) DeleteObject(c.bitmap);
    }
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
  }

  HWND Handle() const { return hwnd_; }
  HWND ControlHandle(const Text& name) const {
    const Control* c = Find(name);
    return c ? c->hwnd : nullptr;
  }

  // Shows the window, first making its hidden controls, giving every
  // control its font, decoding what it shows and naming its controls for
  // screen readers: work left until now so that building a window that may
  // never show (the start-up window while its check runs) costs little.
  void Reveal(bool activate) {
    if (Destroyed() || !hwnd_) return;
    if (!revealed_) {
      revealed_ = true;
      SetIcons();
      BuildControls(true);
      for (Control& c : controls_) {
        if (c.hwnd) {
          SendMessageW(c.hwnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(win::FontFor(c.desc.font, dpi_)), FALSE);
        }
        Prepare(c);
      }
    }
    ShowWindow(hwnd_, activate ? SW_SHOW : SW_SHOWNA);
    UpdateWindow(hwnd_);
  }

  // Hides the window and frees it once no event handler runs any more.
  void Dispose() override {
    if (!MarkDestroyed()) return;
    if (hwnd_) {
      for (Control& c : controls_) {
        if (c.desc.kind == Kind::Timer) StopTimer(c);
      }
      HWND gone = hwnd_;
      hwnd_ = nullptr;
      SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      DestroyWindow(gone);
      for (Control& c : controls_) c.hwnd = nullptr;
    }
    DestroyedWindows().push_back(this);
  }

  void BringToFront() override {
    if (!hwnd_) return;
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    Reveal(true);
    SetForegroundWindow(hwnd_);
  }

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Tab or Shift+Tab: the next tab stop in layout order takes the focus,
  // an edit box with its text selected so that typing replaces it.
  void MoveFocus(bool forward) {
    const Control* now = FindWindow(GetFocus());
    const std::size_t from = now ? static_cast<std::size_t>(now - controls_.data()) : kNoControl;
    FocusControl(NextTabStop(form_.controls, from, forward));
  }

 protected:
  // --- WindowControls ---
  void ShowTitle(const Text& title) override {
    if (hwnd_) SetWindowTextW(hwnd_, Wide(title).c_str());
  }
  std::optional<Text> EditedText(const Control& c) const override;
  void ShowText(Control& c) override;
  void ShowColours(Control& c) override { Repaint(c); }
  void ShowPicture(Control& c, const Bytes& image) override {
    c.picture = {};
    c.pending = image;
    if (revealed_) Prepare(c);
  }
  void StartTimer(Control& c, int milliseconds) override {
    if (hwnd_) SetTimer(hwnd_, c.id, static_cast<UINT>(milliseconds), nullptr);
  }
  void StopTimer(Control& c) override {
    if (hwnd_) KillTimer(hwnd_, c.id);
  }
  void ShowPickerColour(Control& c) override {
    if (c.hwnd) InvalidateRect(c.hwnd, nullptr, FALSE);
  }
  std::optional<Text> RunOpenDialog(const Text& preset) override {
    return win::RunOpenDialog(hwnd_ && IsWindowVisible(hwnd_) ? hwnd_ : nullptr, preset);
  }

 private:
  Control* FindWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (Control& c : controls_) {
      if (c.hwnd == hwnd) return &c;
    }
    return nullptr;
  }
  Control* FindId(UINT id) {
    if (id < kFirstId || id - kFirstId >= controls_.size()) return nullptr;
    return &controls_[id - kFirstId];
  }

  void SetIcons();
  void BuildControls(bool hidden);
  HWND ContainerHandle(const Control& c) const;  // its group box's, else the window's
  HWND CreateChild(Control& c);
  void Place(Control& c);
  void Prepare(Control& c);
  void PushEditText(Control& c);
  void Repaint(Control& c);
  COLORREF Back(const Control& c, COLORREF fallback) const;
  COLORREF ContainerBack(const Control& c) const;
  COLORREF FormBack() const {
    return win::ToColorRef(form_.backColour, GetSysColor(COLOR_BTNFACE));
  }
  LRESULT ControlColour(HDC dc, HWND child);
  void DrawItem(const DRAWITEMSTRUCT& item);
  void DpiChanged(UINT dpi, const RECT& suggested);
  void FocusControl(std::size_t index);
  void RestoreFocus();

  HWND hwnd_ = nullptr;
  // The control that had the focus when the window was last deactivated.
  std::size_t savedFocus_ = kNoControl;
  UINT dpi_ = 96;
  bool revealed_ = false;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;

  friend LRESULT CALLBACK GroupBoxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
};

void FormWindow::SetIcons() {
  if (form_.icon.empty()) return;
  HICON big = win::LoadNamedIcon(form_.icon, Scale(32, dpi_));
  HICON small = win::LoadNamedIcon(form_.icon, Scale(16, dpi_));
  if (big) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (bigIcon_) DestroyIcon(bigIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  bigIcon_ = big;
  smallIcon_ = small;
}

// The visible controls, or (`hidden`, when the window first shows) the
// hidden ones: no handler can show a hidden control, and the start-up
// window's hidden boxes would only delay its message box.
void FormWindow::BuildControls(bool hidden) {
  for (Control& c : controls_) {
    if (c.desc.visible != hidden && !c.hwnd) c.hwnd = CreateChild(c);
  }
  // A control whose group box comes later in the list moves in once that
  // exists.
  for (Control& c : controls_) {
    const HWND container = ContainerHandle(c);
    if (c.hwnd && container != hwnd_ && GetParent(c.hwnd) != container) {
      SetParent(c.hwnd, container);
      Place(c);
    }
  }
  // List order is stacking order among siblings: each goes on top in turn.
  for (Control& c : controls_) {
    if (c.hwnd) {
      SetWindowPos(c.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

HWND FormWindow::ContainerHandle(const Control& c) const {
  const Control* container = Find(c.desc.container);
  if (container && container->hwnd && Carries(container->desc, c.desc)) return container->hwnd;
  return hwnd_;
}

HWND FormWindow::CreateChild(Control& c) {
  const ControlSpec& desc = c.desc;
  const wchar_t* kind = nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  std::wstring text;
  switch (desc.kind) {
    case Kind::GroupBox:
      // A real group box; it also carries its controls, and
      // paints its caption in the layout's colour itself (a themed group
      // box would ignore it).
      kind = L"BUTTON";
      style |= BS_GROUPBOX | WS_CLIPCHILDREN;
      exStyle |= WS_EX_CONTROLPARENT;
      text = Wide(c.text);
      break;
    case Kind::PictureBox:
      kind = L"STATIC";
      style |= SS_BITMAP;
      break;
    case Kind::EditBox:
      kind = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      if (desc.multiLine) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
      if (desc.readOnly) style |= ES_READONLY;
      if (desc.border) style |= WS_BORDER;
      break;
    case Kind::Label:
      kind = L"STATIC";
      style |= SS_NOPREFIX | SS_LEFT;
      if (desc.border) style |= WS_BORDER;
      text = Wide(c.text);
      break;
    case Kind::Button:
      kind = L"BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      text = Wide(c.text);
      break;
    case Kind::GraphicButton:
      // Drawn by the window (a picture, no text); its window text is what
      // screen readers call it.
      kind = L"BUTTON";
      style |= BS_OWNERDRAW;
      text = Wide(AccessibleName(desc));
      break;
    case Kind::ColourPicker:
      kind = L"BUTTON";
      style |= BS_OWNERDRAW | WS_TABSTOP;
      text = Wide(AccessibleName(desc));
      break;
    case Kind::Timer:
    case Kind::CommonDialog:
      return nullptr;
  }
  if (!hwnd_) return nullptr;
  // Made in place, in its group box when that already exists, and shown.
  if (desc.visible) style |= WS_VISIBLE;
  HWND child = CreateWindowExW(exStyle, kind, text.c_str(), style, Scale(desc.left, dpi_),
                               Scale(desc.top, dpi_), Scale(std::max(0, desc.width), dpi_),
                               Scale(std::max(0, desc.height), dpi_), ContainerHandle(c),
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.id)),
                               win::Instance(), nullptr);
  if (!child) return nullptr;
  c.hwnd = child;  // its font comes when the window first shows (Reveal)
  if (desc.kind == Kind::GroupBox) SetWindowSubclass(child, GroupBoxProc, 1, 0);
  if (desc.kind == Kind::Label && desc.border) SetWindowSubclass(child, BorderProc, 2, 0);
  if (desc.kind == Kind::GraphicButton) SetWindowSubclass(child, GraphicButtonProc, 3, 0);
  if (desc.kind == Kind::EditBox) {
    SendMessageW(child, EM_SETLIMITTEXT, 0, 0);  // 0: as long as the system allows
    if (desc.visible) PushEditText(c);
  }
  if ((desc.kind == Kind::PictureBox || desc.kind == Kind::GraphicButton) &&
      !desc.picture.empty()) {
    c.pending = win::ResourceBytes(desc.picture);
  }
  return child;
}

void FormWindow::Place(Control& c) {
  const ControlSpec& d = c.desc;
  SetWindowPos(c.hwnd, nullptr, Scale(d.left, dpi_), Scale(d.top, dpi_),
               Scale(std::max(0, d.width), dpi_), Scale(std::max(0, d.height), dpi_),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::Prepare(Control& c) {
  if (!c.hwnd) return;
  const ControlSpec& d = c.desc;
  if (d.visible && (d.kind == Kind::EditBox || d.kind == Kind::PictureBox ||
                    d.kind == Kind::GraphicButton || d.kind == Kind::ColourPicker)) {
    win::SetAccessibleName(c.hwnd, Wide(AccessibleName(d)));
  }
  if (!c.pending.empty()) {
    c.picture = win::DecodePicture(c.pending.data(), c.pending.size());
    Bytes().swap(c.pending);
  }
  if (d.kind != Kind::PictureBox) return;
  // The bitmap covers the whole box: the background with the picture
  // centred, scaled down when it does not fit (see ui.h).
  const int width = Scale(std::max(0, d.width), dpi_);
  const int height = Scale(std::max(0, d.height), dpi_);
  RECT target{};
  if (!c.picture.Empty()) {
    Size fitted = FittedSize({c.picture.width, c.picture.height}, {d.width, d.height});
    fitted = {Scale(fitted.width, dpi_), Scale(fitted.height, dpi_)};
    target.left = (width - fitted.width) / 2;
    target.top = (height - fitted.height) / 2;
    target.right = target.left + fitted.width;
    target.bottom = target.top + fitted.height;
  }
  HBITMAP bitmap = win::Compose(width, height, Back(c, ContainerBack(c)), c.picture, target);
  auto shown = reinterpret_cast<HBITMAP>(SendMessageW(
      c.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  // A static control may keep a copy of its own; both are ours to free.
  if (shown && shown != c.bitmap) DeleteObject(shown);
  if (c.bitmap) DeleteObject(c.bitmap);
  c.bitmap = bitmap;
  Place(c);  // a bitmap static takes the bitmap's size; the layout's wins
}

COLORREF FormWindow::ContainerBack(const Control& c) const {
  // Controls with no background of their own show their container's, the
  // way a transparent control would.
  const Control* container = Find(c.desc.container);
  if (!container || !Carries(container->desc, c.desc)) return FormBack();
  return Back(*container, ContainerBack(*container));
}

COLORREF FormWindow::Back(const Control& c, COLORREF fallback) const {
  return win::ToColorRef(c.backColour, fallback);
}

void FormWindow::Repaint(Control& c) {
  if (!c.hwnd) return;
  if (c.desc.kind == Kind::PictureBox && revealed_) Prepare(c);
  // Controls inside may show this one's background; a label's line its colour.
  RedrawWindow(c.hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  if (c.desc.kind == Kind::GroupBox) {
    for (Control& inner : controls_) {
      if (inner.desc.kind == Kind::PictureBox && revealed_ && &inner != &c) Prepare(inner);
    }
  }
}

std::optional<Text> FormWindow::EditedText(const Control& c) const {
  if (!c.hwnd || !c.desc.visible) return std::nullopt;
  const int length = GetWindowTextLengthW(c.hwnd);
  std::wstring now(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
  const int got = GetWindowTextW(c.hwnd, now.data(), static_cast<int>(now.size()));
  now.resize(static_cast<std::size_t>(std::max(0, got)));
  if (now == c.pushed) return std::nullopt;
  return win::Narrow(now);
}

void FormWindow::ShowText(Control& c) {
  switch (c.desc.kind) {
    case Kind::EditBox:
      // A hidden box keeps its content to itself.
      if (c.desc.visible) PushEditText(c);
      break;
    case Kind::Label:
    case Kind::GroupBox:
    case Kind::Button:
      if (c.hwnd) {
        SetWindowTextW(c.hwnd, Wide(c.text).c_str());
        // A label or group box drawn over its container's colour.
        RedrawWindow(c.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
      }
      break;
    default:
      break;
  }
}

void FormWindow::PushEditText(Control& c) {
  c.pushed = Wide(c.text);
  if (c.hwnd) SetWindowTextW(c.hwnd, c.pushed.c_str());
}

LRESULT FormWindow::ControlColour(HDC dc, HWND child) {
  Control* c = FindWindow(child);
  if (!c) {
    SetBkColor(dc, FormBack());
    return reinterpret_cast<LRESULT>(BrushOf(FormBack()));
  }
  COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  COLORREF back = ContainerBack(*c);
  switch (c->desc.kind) {
    case Kind::EditBox:
      back = Back(*c, GetSysColor(COLOR_WINDOW));
      break;
    case Kind::Label:
    case Kind::GroupBox:
    case Kind::PictureBox:
    case Kind::GraphicButton:
      back = Back(*c, back);
      break;
    default:
      break;
  }
  text = win::ToColorRef(c->textColour, text);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  SetBkMode(dc, OPAQUE);
  return reinterpret_cast<LRESULT>(BrushOf(back));
}

void FormWindow::DrawItem(const DRAWITEMSTRUCT& item) {
  Control* c = FindWindow(item.hwndItem);
  if (!c) return;
  HDC dc = item.hDC;
  const RECT& box = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  if (c->desc.kind == Kind::GraphicButton) {
    const COLORREF back = Back(*c, ContainerBack(*c));
    FillRect(dc, &box, BrushOf(back));
    if (!c->picture.Empty()) {
      const int inset = Scale(kGraphicButtonInset, dpi_) + (pressed ? 1 : 0);
      const Size room = GraphicButtonRoom({c->desc.width, c->desc.height});
      const Size fit = FittedSize({c->picture.width, c->picture.height}, room);
      const SIZE fitted{Scale(fit.width, dpi_), Scale(fit.height, dpi_)};
      HBITMAP shown = win::Compose(fitted.cx, fitted.cy, back, c->picture,
                                   {0, 0, fitted.cx, fitted.cy});
      if (shown) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, shown);
        BitBlt(dc, box.left + inset, box.top + inset, fitted.cx, fitted.cy, source, 0, 0,
               SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(shown);
      }
    }
    if (pressed) {
      RECT edge = box;
      DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    }
    return;
  }
  if (c->desc.kind == Kind::ColourPicker) {
    RECT face = box;
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    // The swatch fills the button but for its edge and the menu arrow.
    const int arrow = Scale(12, dpi_);
    RECT swatch{box.left + Scale(4, dpi_), box.top + Scale(4, dpi_),
                box.right - Scale(4, dpi_) - arrow, box.bottom - Scale(4, dpi_)};
    if (swatch.right > swatch.left && swatch.bottom > swatch.top) {
      FillRect(dc, &swatch, BrushOf(static_cast<COLORREF>(c->pickerColour)));
      FrameRect(dc, &swatch, BrushOf(GetSysColor(COLOR_BTNSHADOW)));
    }
    const int cx = box.right - Scale(4, dpi_) - arrow / 2;
    const int cy = (box.top + box.bottom) / 2;
    const int half = std::max(2, Scale(3, dpi_));
    POINT points[3] = {{cx - half, cy - half / 2}, {cx + half + 1, cy - half / 2},
                       {cx, cy + half / 2 + 1}};
    HGDIOBJ oldBrush = SelectObject(dc, BrushOf(GetSysColor(COLOR_BTNTEXT)));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, points, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    if (item.itemState & ODS_FOCUS) {
      RECT focus = box;
      InflateRect(&focus, -Scale(2, dpi_), -Scale(2, dpi_));
      DrawFocusRect(dc, &focus);
    }
  }
}

void FormWindow::FocusControl(std::size_t index) {
  if (index >= controls_.size() || !controls_[index].hwnd) return;
  Control& c = controls_[index];
  SetFocus(c.hwnd);
  if (c.desc.kind == Kind::EditBox) SendMessageW(c.hwnd, EM_SETSEL, 0, -1);
}

// Back to the control that had the focus, else to the first tab stop.
void FormWindow::RestoreFocus() {
  if (savedFocus_ < controls_.size() && controls_[savedFocus_].hwnd &&
      IsWindowEnabled(controls_[savedFocus_].hwnd)) {
    SetFocus(controls_[savedFocus_].hwnd);
  } else {
    FocusControl(NextTabStop(form_.controls, kNoControl, true));
  }
}

void FormWindow::DpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  SetIcons();
  for (Control& c : controls_) {
    if (!c.hwnd) continue;
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(win::FontFor(c.desc.font, dpi_)),
                 FALSE);
    Place(c);
    if (c.desc.kind == Kind::PictureBox && revealed_) Prepare(c);
  }
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, BrushOf(FormBack()));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND: {
      Control* c = FindWindow(reinterpret_cast<HWND>(lParam));
      const UINT code = HIWORD(wParam);
      if (!c || (code != BN_CLICKED && code != BN_DOUBLECLICKED)) break;
      if (c->desc.kind == Kind::ColourPicker) {
        if (code != BN_CLICKED) return 0;
        const HWND picker = c->hwnd;
        const std::size_t index = static_cast<std::size_t>(c - controls_.data());
        const std::optional<COLORREF> chosen =
            win::ChooseFromMenu(picker, static_cast<COLORREF>(c->pickerColour));
        // The menu ran a loop of its own: look the control up again.
        if (chosen && !Destroyed() && index < controls_.size()) {
          controls_[index].pickerColour = static_cast<Colour>(*chosen);
          InvalidateRect(picker, nullptr, FALSE);
        }
        return 0;
      }
      if (c->desc.kind == Kind::Button || c->desc.kind == Kind::GraphicButton) {
        RunHandler(c->click);  // may free this window: nothing of it is used after
        return 0;
      }
      break;
    }
    case WM_TIMER: {
      Control* c = FindId(static_cast<UINT>(wParam));
      if (!c || c->desc.kind != Kind::Timer) break;
      RunHandler(c->tick);
      return 0;
    }
    case WM_CLOSE:
      Close();
      // Another window is gone now; the start-up window goes with the program.
      if (Destroyed() && !ProgramEnding()) win::FreeDestroyedWindows();
      return 0;
    case WM_DPICHANGED:
      DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      // A plain window would keep the focus itself: as in a dialog, it goes
      // back to the control that had it (a message box or another program
      // took it away meanwhile).
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (const Control* had = FindWindow(GetFocus())) {
          savedFocus_ = static_cast<std::size_t>(had - controls_.data());
        }
      } else if (!HIWORD(wParam)) {
        RestoreFocus();
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* window = static_cast<FormWindow*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!window || window->Handle() != hwnd) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return window->OnMessage(message, wParam, lParam);
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
      RemoveWindowSubclass(hwnd, GroupBoxProc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
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
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, BorderProc, 2);
  return DefSubclassProc(hwnd, message, wParam, lParam);
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
      RemoveWindowSubclass(hwnd, GraphicButtonProc, 3);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

FormWindow* Build(const FormSpec& form, const Binder& bind, HWND owner) {
  if (ProgramEnding()) return nullptr;
  auto* window = new FormWindow(form, owner);
  return window->Create(bind, false) ? window : nullptr;
}

}  // namespace

namespace win {

void ReleaseBrushes() {
  for (auto& [colour, brush] : Brushes()) DeleteObject(brush);
  Brushes().clear();
}

void FreeDestroyedWindows() {
  if (HandlerRunning()) return;
  std::vector<FormWindow*> windows;
  windows.swap(DestroyedWindows());
  for (FormWindow* window : windows) delete window;
}

void Dispatch(MSG& message) {
  // Tab and Shift+Tab go through the window's tab stops in layout order
  // (the dialog manager would follow the stacking order instead). Every
  // other key goes to the control with the focus, as on the other backend.
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && message.hwnd &&
      GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    for (WindowLife* open : OpenWindows()) {
      auto* window = static_cast<FormWindow*>(open);
      if (window->Handle() == root) {
        window->MoveFocus(GetKeyState(VK_SHIFT) >= 0);
        return;
      }
    }
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace win

void HandlersDone() { win::FreeDestroyedWindows(); }

Window* CreateStartupWindow(const FormSpec& form, const Binder& bind) {
  if (ProgramEnding()) return nullptr;
  auto* window = new FormWindow(form, nullptr);
  if (!window->Create(bind, true)) return nullptr;
  window->Reveal(true);
  return window;
}

Window* LoadWindow(const FormSpec& form, const Binder& bind, Window* owner, bool modal) {
  auto* ownerWindow = dynamic_cast<FormWindow*>(owner);
  FormWindow* window = Build(form, bind, ownerWindow ? ownerWindow->Handle() : nullptr);
  if (!window) return nullptr;
  window->Reveal(true);
  if (!modal) return window;

  // Every other window of the program waits until this one has gone.
  std::vector<HWND> disabled;
  for (WindowLife* open : OpenWindows()) {
    const HWND other = static_cast<FormWindow*>(open)->Handle();
    if (open != window && other && IsWindowEnabled(other)) {
      EnableWindow(other, FALSE);
      disabled.push_back(other);
    }
  }
  MSG message;
  bool open = true;
  while (open && !ProgramEnding()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      break;
    }
    win::Dispatch(message);
    open = std::find(OpenWindows().begin(), OpenWindows().end(), window) != OpenWindows().end();
  }
  for (HWND hwnd : disabled) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
  return open && !ProgramEnding() ? window : nullptr;
}

}  // namespace zoq::ui

namespace zoq::testing {

using ui::FormWindow;

void* NativeWindow(const ui::Window& window) {
  const auto* form = dynamic_cast<const FormWindow*>(&window);
  return form ? form->Handle() : nullptr;
}

void* NativeControl(const ui::Window& window, const Text& control) {
  const auto* form = dynamic_cast<const FormWindow*>(&window);
  return form ? form->ControlHandle(control) : nullptr;
}

}  // namespace zoq::testing
