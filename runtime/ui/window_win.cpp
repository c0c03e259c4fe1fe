// Windows built from layouts on the Win32 API: one child window per control,
// made when the window first shows, found by the control's layout name, with
// the properties the handlers read and write. As on Qt, the controls the
// window draws itself live in controls_win.cpp and the message loops in
// application_win.cpp.

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
  // Picture box and graphic button: the encoded bytes, and once the window
  // shows, the picture decoded at the size it shows at (again at another
  // dpi) and the bitmap of it over the background.
  Bytes encoded;
  win::Picture picture;
  HBITMAP bitmap = nullptr;
  COLORREF bitmapBack = 0;  // the graphic button's bitmap's background
};

class FormWindow;
std::vector<FormWindow*>& DestroyedWindows() {
  static std::vector<FormWindow*> windows;
  return windows;
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

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
  // Only the window class is registered now: for the start-up window that
  // brings up the window system for this thread while the version page is
  // fetched. The window itself is made when first needed (Made), normally
  // its first show, so that the start-up box does not wait for it.
  FormWindow(const FormSpec& form, HWND owner) : WindowControls(form), owner_(owner) {
    RegisterFormClass();
    // Until the window is made every control is only its data, which is all
    // the created event (the start-up check and its box) needs; the
    // controls' child windows wait for the first show (Reveal).
    UINT id = kFirstId;
    for (Control& c : controls_) {
      c.id = id++;
      const bool pictured = c.desc.kind == Kind::PictureBox || c.desc.kind == Kind::GraphicButton;
      if (pictured && !c.desc.picture.empty()) c.encoded = win::ResourceBytes(c.desc.picture);
    }
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

  // The window itself, made hidden the first time it is asked for; null
  // once destroyed, or when the system made none (the controls still keep
  // their texts and colours).
  HWND Made() {
    if (hwnd_ || Destroyed() || tried_) return hwnd_;
    tried_ = true;
    // Not resizable: the layout places every control once.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                        WS_CLIPCHILDREN;
    const HWND owner = IsWindow(owner_) ? owner_ : nullptr;  // it may have gone meanwhile
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, Wide(Title()).c_str(), style,
                            form_.left, form_.top, std::max(1, form_.width),
                            std::max(1, form_.height), owner, nullptr, win::Instance(), this);
    if (!hwnd_) return nullptr;
    dpi_ = win::DpiOf(hwnd_);
    if (dpi_ != 96) {
      // Outer size as the layout gives it, at this monitor's scale.
      SetWindowPos(hwnd_, nullptr, 0, 0, Scale(std::max(1, form_.width), dpi_),
                   Scale(std::max(1, form_.height), dpi_),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return hwnd_;
  }
  HWND ControlHandle(const Text& name) const {
    const Control* c = Find(name);
    return c ? c->hwnd : nullptr;
  }

  // Shows the window, first making its controls from what their data holds
  // by now, giving each its font, decoding what it shows and naming it for
  // screen readers: work left until now so that building a window that may
  // never show (the start-up window while its check runs) costs little.
  void Reveal(bool activate) {
    if (!Made()) return;
    if (!revealed_) {
      revealed_ = true;
      win::UseCommonControls();
      SetIcons();
      BuildControls();
      for (Control& c : controls_) {
        if (c.hwnd) {
          SendMessageW(c.hwnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(win::FontFor(c.desc.font, dpi_)), FALSE);
        }
        Prepare(c);
      }
    }
    ShowWindow(hwnd_, activate ? SW_SHOW : SW_SHOWNA);
    // The first tab stop, or the control that had the focus, has it even
    // when the system did not activate the window (another program is in
    // front): the focus is this thread's.
    if (activate) RestoreFocus();
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
    if (!Made()) return;
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
    FocusControl(NextTabStop(form_.controls, from, forward), true);
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
    c.encoded = image;
    if (revealed_) Prepare(c);
  }
  void StartTimer(Control& c, int milliseconds) override {
    // A timer ticks at once, shown or not: it needs the window made.
    if (Made()) SetTimer(hwnd_, c.id, static_cast<UINT>(milliseconds), nullptr);
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
  void BuildControls();
  HWND ContainerHandle(const Control& c) const;  // its group box's, else the window's
  HWND CreateChild(Control& c);
  HWND NewChild(Control& c, const wchar_t* kind, DWORD style, DWORD exStyle, const Text& text);
  HWND NewGroupBox(Control& c);
  HWND NewPictureBox(Control& c);
  HWND NewEditBox(Control& c);
  HWND NewLabel(Control& c);
  HWND NewButton(Control& c);
  HWND NewGraphicButton(Control& c);
  HWND NewColourPicker(Control& c);
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
  void FocusControl(std::size_t index, bool selectAll);
  void RestoreFocus();

  HWND owner_;
  HWND hwnd_ = nullptr;
  bool tried_ = false;  // Made has asked the system once
  // The control that had the focus when the window was last deactivated.
  std::size_t savedFocus_ = kNoControl;
  UINT dpi_ = 96;
  bool revealed_ = false;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;

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

void FormWindow::BuildControls() {
  for (Control& c : controls_) {
    if (!c.hwnd) c.hwnd = CreateChild(c);
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
  switch (c.desc.kind) {
    case Kind::GroupBox: return NewGroupBox(c);
    case Kind::PictureBox: return NewPictureBox(c);
    case Kind::EditBox: return NewEditBox(c);
    case Kind::Label: return NewLabel(c);
    case Kind::Button: return NewButton(c);
    case Kind::GraphicButton: return NewGraphicButton(c);
    case Kind::ColourPicker: return NewColourPicker(c);
    case Kind::Timer:
    case Kind::CommonDialog: break;  // nothing on screen
  }
  return nullptr;
}

// A control's child window of the system class `kind`, made in place (in its
// group box when that already exists) and shown unless the layout hides it;
// its font comes next (Reveal). Tab does not look at WS_TABSTOP: the tab
// stops are the layout's (tab_order.h).
HWND FormWindow::NewChild(Control& c, const wchar_t* kind, DWORD style, DWORD exStyle,
                          const Text& text) {
  if (!hwnd_) return nullptr;
  const ControlSpec& d = c.desc;
  style |= WS_CHILD | WS_CLIPSIBLINGS | (d.visible ? WS_VISIBLE : 0);
  c.hwnd = CreateWindowExW(exStyle, kind, Wide(text).c_str(), style, Scale(d.left, dpi_),
                           Scale(d.top, dpi_), Scale(std::max(0, d.width), dpi_),
                           Scale(std::max(0, d.height), dpi_), ContainerHandle(c),
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.id)),
                           win::Instance(), nullptr);
  return c.hwnd;
}

HWND FormWindow::NewGroupBox(Control& c) {
  // A real group box; it also carries its controls, and paints its caption
  // in the layout's colour itself (a themed group box would ignore it).
  HWND box = NewChild(c, L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, c.text);
  if (box) win::DrawGroupBoxItself(box);
  return box;
}

HWND FormWindow::NewPictureBox(Control& c) {
  return NewChild(c, L"STATIC", SS_BITMAP, 0, {});
}

HWND FormWindow::NewEditBox(Control& c) {
  const ControlSpec& d = c.desc;
  DWORD style = ES_AUTOHSCROLL;
  if (d.multiLine) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  if (d.readOnly) style |= ES_READONLY;
  if (d.border) style |= WS_BORDER;
  HWND edit = NewChild(c, L"EDIT", style, 0, {});
  if (!edit) return nullptr;
  SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);  // 0: as long as the system allows
  if (d.visible) PushEditText(c);
  return edit;
}

HWND FormWindow::NewLabel(Control& c) {
  HWND label = NewChild(c, L"STATIC", SS_NOPREFIX | SS_LEFT | (c.desc.border ? WS_BORDER : 0),
                        0, c.text);
  if (label && c.desc.border) win::DrawLabelBorderItself(label);
  return label;
}

HWND FormWindow::NewButton(Control& c) { return NewChild(c, L"BUTTON", BS_PUSHBUTTON, 0, c.text); }

HWND FormWindow::NewGraphicButton(Control& c) {
  // Drawn by the window (a picture, no text); its window text is what
  // screen readers call it.
  HWND button = NewChild(c, L"BUTTON", BS_OWNERDRAW, 0, AccessibleName(c.desc));
  if (!button) return nullptr;
  win::ClickWithoutFocus(button);
  return button;
}

HWND FormWindow::NewColourPicker(Control& c) {
  return NewChild(c, L"BUTTON", BS_OWNERDRAW, 0, AccessibleName(c.desc));
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
  if (!c.encoded.empty() && c.picture.Empty()) {
    // Scaled once, here: a colour change or a repaint only composes.
    const Size box = d.kind == Kind::GraphicButton ? GraphicButtonRoom({d.width, d.height})
                                                   : Size{d.width, d.height};
    c.picture = win::DecodePicture(c.encoded.data(), c.encoded.size(), box, dpi_);
    if (c.picture.Empty()) Bytes().swap(c.encoded);  // never tried again
  }
  if (d.kind != Kind::PictureBox) return;
  // The bitmap covers the whole box: the background with the picture
  // centred, scaled down when it does not fit (see ui.h).
  const int width = Scale(std::max(0, d.width), dpi_);
  const int height = Scale(std::max(0, d.height), dpi_);
  RECT target{};
  if (!c.picture.Empty()) {
    target.left = (width - c.picture.width) / 2;
    target.top = (height - c.picture.height) / 2;
    target.right = target.left + c.picture.width;
    target.bottom = target.top + c.picture.height;
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
  if (!c.hwnd) return;  // the box is made with c.text when the window shows
  c.pushed = Wide(c.text);
  SetWindowTextW(c.hwnd, c.pushed.c_str());
}

LRESULT FormWindow::ControlColour(HDC dc, HWND child) {
  Control* c = FindWindow(child);
  if (!c) {
    SetBkColor(dc, FormBack());
    return reinterpret_cast<LRESULT>(win::BrushOf(FormBack()));
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
  return reinterpret_cast<LRESULT>(win::BrushOf(back));
}

void FormWindow::DrawItem(const DRAWITEMSTRUCT& item) {
  Control* c = FindWindow(item.hwndItem);
  if (!c) return;
  if (c->desc.kind == Kind::GraphicButton) {
    const COLORREF back = Back(*c, ContainerBack(*c));
    const int width = c->picture.width, height = c->picture.height;
    // The picture over the background, made again only when that changes.
    if (!c->picture.Empty() && (!c->bitmap || c->bitmapBack != back)) {
      if (c->bitmap) DeleteObject(c->bitmap);
      c->bitmap = win::Compose(width, height, back, c->picture, {0, 0, width, height});
      c->bitmapBack = back;
    }
    win::DrawGraphicButton(item, back, c->picture.Empty() ? nullptr : c->bitmap,
                           {width, height}, dpi_);
  } else if (c->desc.kind == Kind::ColourPicker) {
    win::DrawColourPicker(item, static_cast<COLORREF>(c->pickerColour), dpi_);
  }
}

void FormWindow::FocusControl(std::size_t index, bool selectAll) {
  if (index >= controls_.size() || !controls_[index].hwnd) return;
  Control& c = controls_[index];
  SetFocus(c.hwnd);
  if (selectAll && c.desc.kind == Kind::EditBox) SendMessageW(c.hwnd, EM_SETSEL, 0, -1);
}

// Back to the control that had the focus, else to the first tab stop.
void FormWindow::RestoreFocus() {
  if (savedFocus_ < controls_.size() && controls_[savedFocus_].hwnd &&
      IsWindowEnabled(controls_[savedFocus_].hwnd)) {
    SetFocus(controls_[savedFocus_].hwnd);
  } else {
    FocusControl(NextTabStop(form_.controls, kNoControl, true), false);
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
    if (!c.encoded.empty()) {
      c.picture = {};  // decoded again at the new size
      if (c.desc.kind == Kind::GraphicButton && c.bitmap) {
        DeleteObject(c.bitmap);
        c.bitmap = nullptr;
      }
    }
    if (revealed_ && (c.desc.kind == Kind::PictureBox || c.desc.kind == Kind::GraphicButton)) {
      Prepare(c);
    }
  }
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, win::BrushOf(FormBack()));
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

FormWindow* Build(const FormSpec& form, const Binder& bind, HWND owner) {
  if (ProgramEnding()) return nullptr;
  auto* window = new FormWindow(form, owner);
  return window->Create(bind, false) ? window : nullptr;
}

}  // namespace

namespace win {

void FreeDestroyedWindows() {
  if (HandlerRunning()) return;
  std::vector<FormWindow*> windows;
  windows.swap(DestroyedWindows());
  for (FormWindow* window : windows) delete window;
}

void MakeStartupWindow() {
  for (WindowLife* open : OpenWindows()) {
    if (open->IsStartup()) static_cast<FormWindow*>(open)->Made();
  }
}

bool MoveFocus(HWND window, bool forward) {
  for (WindowLife* open : OpenWindows()) {
    auto* form = static_cast<FormWindow*>(open);
    if (form->Handle() == window) {
      form->MoveFocus(forward);
      return true;
    }
  }
  return false;
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
  FormWindow* window = Build(form, bind, ownerWindow ? ownerWindow->Made() : nullptr);
  if (!window) return nullptr;
  window->Reveal(true);
  if (!modal) return window;

  // Every other window of the program waits until this one has gone.
  std::vector<HWND> others;
  for (WindowLife* open : OpenWindows()) {
    const HWND other = static_cast<FormWindow*>(open)->Handle();
    if (open != window && other) others.push_back(other);
  }
  const bool open = win::RunModalLoop(others, [window] {
    return std::find(OpenWindows().begin(), OpenWindows().end(), window) != OpenWindows().end();
  });
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
