// Internal to the Win32 backend of the window layer: the crossing between
// the program's code-page 936 texts and the W functions, fonts, pictures and
// the state the backend's files share.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// Declarations up to Windows 10; what newer systems alone have is looked up
// at run time, so the program still starts on older ones.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert.h"
#include "runtime/ui.h"
#include "window_base.h"  // the program's end, the open windows

namespace zoq::ui::win {

using ui::Narrow;  // code page 936 <-> UTF-16 (convert.h)
using ui::Wide;

// A layout colour as a COLORREF; `fallback` for kDefaultColour and every
// other value with a high byte.
COLORREF ToColorRef(Colour colour, COLORREF fallback);

// Layout values are pixels at 96 dpi.
int Scale(int value, UINT dpi);
UINT DpiOf(HWND window);  // the monitor's dpi for a per-monitor aware window

// The font a control gets at `dpi`; an empty face gives the default font.
// The handle lives as long as the program; equal requests share it.
HFONT FontFor(const Font& font, UINT dpi);
void ReleaseFonts();

// --- Pictures ---
// A decoded picture, 32-bit premultiplied BGRA, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  bool Empty() const { return width <= 0 || height <= 0; }
};
// JPEG, PNG, BMP, GIF (its first frame) and every other format the system's
// imaging component reads. Files over 256 MiB, and pictures that would
// take more than 256 MiB once decoded, give an empty picture. With a `box`
// (layout pixels), the picture comes scaled down to fit it at `dpi`
// (FittedSize), as it shows.
Picture DecodePicture(const std::uint8_t* data, std::size_t size, Size box = {},
                      UINT dpi = 96);
// The bytes of the RCDATA resource of that name in the program; empty when
// there is none.
Bytes ResourceBytes(const Text& name);
// The format of a `width` x `height` 32-bit BGRA bitmap, top row first.
BITMAPINFO TopDownInfo(int width, int height);
// A `width` x `height` top-down 32-bit DIB section (BGRA, top row first);
// `bits` gets its pixels. Null when it cannot be made.
HBITMAP TopDownDib(HDC dc, int width, int height, std::uint8_t** bits);
// A `width` x `height` top-down 32-bit DIB section filled with `back`, the
// picture drawn over it scaled into the rectangle `target`. The caller owns
// it.
HBITMAP Compose(int width, int height, COLORREF back, const Picture& picture, RECT target);
// The icon of that name (an icon group resource) at the given square size.
HICON LoadNamedIcon(const Text& name, int size);

// --- Program state shared by the backend's files ---
HINSTANCE Instance();
// Windows destroyed during an event are freed once no handler runs.
void FreeDestroyedWindows();
// Tab (forward) or Shift+Tab in the program's window `window`; false when it
// is none of the program's windows.
bool MoveFocus(HWND window, bool forward);
// Makes the start-up window's own window, hidden, if it is not made yet.
void MakeStartupWindow();

// --- The message loop (application_win.cpp) ---
// Dispatches one message; Tab and Shift+Tab move between controls.
void Dispatch(MSG& message);
// Runs the messages until `open` says the modal window has gone, or the
// program ends; the windows `others` take no input meanwhile. Whether the
// modal window is still open.
bool RunModalLoop(const std::vector<HWND>& others, const std::function<bool()>& open);

// --- The controls the window draws itself (controls_win.cpp) ---
// The brush of a colour; it lives until ReleaseBrushes.
HBRUSH BrushOf(COLORREF colour);
void ReleaseBrushes();
// The common controls' library, loaded at the first window's show under the
// program's controls manifest (RT_MANIFEST resource kControlsManifest) when
// it has one. That context then stays active on this thread, so every
// control and box made from then on is themed. Nothing of it loads before:
// under Wine its loading took about a sixth of the start-up box's time.
constexpr WORD kControlsManifest = 101;  // above the ids the system reserves
void UseCommonControls();
// A group box that carries controls: what they send their parent goes on to
// the window, and the box paints itself in the layout's colours.
void DrawGroupBoxItself(HWND box);
// A bordered label: its one-pixel line in the label's text colour.
void DrawLabelBorderItself(HWND label);
// A graphic button: clicked like any button, it never takes the focus.
void ClickWithoutFocus(HWND button);
// An owner-drawn graphic button, its `picture` (of `size`, already over
// `back`) at the inset from the top-left corner; an owner-drawn colour picker.
void DrawGraphicButton(const DRAWITEMSTRUCT& item, COLORREF back, HBITMAP picture, SIZE size,
                       UINT dpi);
void DrawColourPicker(const DRAWITEMSTRUCT& item, COLORREF colour, UINT dpi);

// A function of a system DLL the start-up box does not need, the DLL loaded
// on first use: each one loaded with the program delays the box. Null when
// the DLL or the function is missing.
FARPROC LateProc(const wchar_t* dll, const char* name);
template <typename F>
F Late(const wchar_t* dll, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(LateProc(dll, name)));
}
// COM for this thread, started on first use; false when it cannot start.
bool ComReady();
// CoCreateInstance of an in-process server, through ComReady.
HRESULT CreateInstance(const CLSID& type, const IID& face, void** made);
// One object of an in-process server for the whole program, made on first
// use; nullptr when it cannot be made. A window with no use for it costs
// nothing. Callers check ComReady first: an application made after another
// ended starts COM again and makes its objects afresh.
void* SharedObject(const CLSID& type, const IID& face);
template <typename T>
T* SharedInstance(const CLSID& type, const IID& face) {
  return static_cast<T*>(SharedObject(type, face));
}
// Releases the shared objects, then ends COM on this thread if it started.
void EndCom();

// Gives a control a name for screen readers when its own text is not one.
void SetAccessibleName(HWND control, const std::wstring& name);

// The open-file dialog starting in the folder `preset` names; the chosen
// file's full path, or nothing when the user cancelled.
std::optional<Text> RunOpenDialog(HWND owner, const Text& preset);

// A colour's swatch for the picker's menu: `size` pixels square, a grey
// line around the colour, fully opaque (themed menus blend a 32-bit item
// bitmap by its alpha). The current colour carries a ring of its own, as a
// menu draws no check mark beside an item's bitmap on every Windows.
HBITMAP ColourSwatch(COLORREF colour, int size, bool current);
// "其他颜色..."'s swatch: the hues from red to magenta, likewise opaque.
HBITMAP SpectrumSwatch(int size);
// The colour picker's menu: the sixteen common colours and "其他颜色...",
// which opens the system colour dialog. The chosen colour, or nothing.
std::optional<COLORREF> ChooseFromMenu(HWND picker, COLORREF current);

}  // namespace zoq::ui::win
