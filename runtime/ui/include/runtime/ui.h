// The runtime's window half: windows built from declarative layouts,
// controls addressed by window and layout name, events, the message loop,
// message boxes, the open-file dialog and the browser hand-off. One face for
// every backend (Qt 6 Widgets on Linux, the Win32 API on Windows): it names
// no toolkit type.
//
// Every text crossing this header is code-page 936 bytes; conversion to and
// from the toolkit's text happens inside the window layer only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "runtime/core.h"

namespace zoq::ui {

// 0x00BBGGRR, red in the low byte; kDefaultColour means the element's own.
using Colour = std::uint32_t;
inline constexpr Colour kDefaultColour = 0xFF000000;

enum class Kind {
  GroupBox,
  PictureBox,
  EditBox,
  Label,
  Button,
  GraphicButton,
  Timer,
  ColourPicker,
  CommonDialog,
};

// A control's font; an empty face means the default font (not the
// container's). Height is the character height in pixels.
struct Font {
  Text face;
  int height = 0;
  int weight = 400;  // 700 = bold
};

struct ControlSpec {
  Text name;
  Kind kind;
  Text container;  // empty: the window itself
  int left = 0, top = 0, width = 0, height = 0;
  Text text;  // caption, content, or a dialog's preset text
  Font font = {};
  Colour textColour = kDefaultColour;
  Colour backColour = kDefaultColour;
  bool visible = true;
  bool border = false;
  bool multiLine = false;
  bool readOnly = false;
  Text picture = {};  // picture name ("photo.jpg"); empty: none
  // What screen readers call a control that shows no text of its own
  // (picture box, graphic button, colour picker, edit box); empty: its name.
  Text accessibleName = {};
};

// Controls are created in list order: among the controls of one container
// a later one lies above an earlier one, and a container carries its own
// controls with it (a window-level control listed after a group box lies
// above the box and everything in it).
struct FormSpec {
  Text name;   // addresses the window: WindowNamed(name)
  Text title;
  int left = 0, top = 0, width = 0, height = 0;  // outer size, frame included
  Colour backColour = kDefaultColour;
  Text icon = {};  // picture name ("zoq.ico"); empty: none
  std::vector<ControlSpec> controls;
};

// How the runtime realises a few details that the layouts leave open:
// - Window size: left, top, width and height are the outer rectangle. The
//   client area gets that size and, once a window manager has put a frame
//   around it, shrinks by the frame so that the outer size is the layout's.
//   Without a window manager (a bare X server) there is no frame and the
//   client area is the full size.
// - Picture box: a picture that fits is shown at its own size, centred; a
//   larger one is scaled down to fit, keeping its proportions, and centred
//   (a 312x313 photograph in a 320x288 box shows at 287x288, 16 pixels in).
//   A graphic button shows its picture in its top-left corner, scaled down
//   the same way when it does not fit.
// - Containers: only a group box carries controls; a control that names any
//   other control as its container lies on the window.
// - Label border: a single line in the label's text colour (black for the
//   default one), so that it shows on a background of any colour.
// - Colour picker: starts at black (0) until the user chooses; it offers
//   sixteen common colours and any colour through the colour dialog.
// - Common dialog: its text names the folder the open-file dialog starts in;
//   "桌面" is the user's desktop folder (the home folder when there is none).
// - Pictures: a picture name is the file name of one of the pictures the
//   program carries within itself (forms paints them at build time); each
//   backend finds its bytes among its embedded resources.
using Handler = std::function<void()>;

class Window {
 public:
  virtual ~Window() = default;

  // Handlers are bound by control name, before the created event runs.
  virtual void OnCreated(Handler handler) = 0;
  virtual void OnClick(const Text& control, Handler handler) = 0;
  virtual void OnTick(const Text& control, Handler handler) = 0;

  virtual Text Title() const = 0;
  virtual void SetTitle(const Text& title) = 0;

  // Edit-box content, label or group-box caption, button text.
  virtual Text ControlText(const Text& control) const = 0;
  virtual void SetControlText(const Text& control, const Text& text) = 0;
  virtual Colour TextColour(const Text& control) const = 0;
  virtual void SetTextColour(const Text& control, Colour colour) = 0;
  virtual Colour BackColour(const Text& control) const = 0;
  virtual void SetBackColour(const Text& control, Colour colour) = 0;
  // An image file's bytes; bytes that do not decode leave the box empty.
  virtual void SetPicture(const Text& control, const Bytes& image) = 0;
  virtual void SetTimerInterval(const Text& control, int milliseconds) = 0;  // 0 stops
  virtual Colour PickerColour(const Text& control) const = 0;
  virtual void SetPickerColour(const Text& control, Colour colour) = 0;
  // Shows the open-file dialog modally; true when a file was chosen, whose
  // full path DialogFileName then gives.
  virtual bool ShowOpenDialog(const Text& control) = 0;
  virtual Text DialogFileName(const Text& control) const = 0;

  // Restores the window if minimised, shows it above the others and gives
  // it the focus.
  virtual void BringToFront() = 0;
  // Closes and destroys the window once the current event has finished.
  virtual void Destroy() = 0;
};

// Sets up the application (translations, fonts, the hooks of the core half).
// One instance lives for the whole program, before any window. The program
// takes no arguments: the toolkit is given the program's name alone, so it
// reads none of its own options either.
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

using Binder = std::function<void(Window&)>;

// Builds the start-up window, lets `bind` attach handlers, runs its created
// event and only then shows it, unless the program ended meanwhile.
Window* CreateStartupWindow(const FormSpec& form, const Binder& bind);
// Builds and shows a window; non-modal returns at once.
Window* LoadWindow(const FormSpec& form, const Binder& bind, Window* owner, bool modal);
// The open window built from the form of that name, or nullptr.
Window* WindowNamed(const Text& formName);

// Runs until the program ends; returns the exit code (0). Ending the program
// (rt::EndProgram, or closing the start-up window) closes every window at
// once without showing anything more, then this returns; code after
// rt::EndProgram in a handler still runs, so it should come last.
int RunMessageLoop();

// Message-box styles: no icon, or the information icon.
inline constexpr int kPlainBox = 0;
inline constexpr int kInformationBox = 64;

// Modal, one OK button. Without a caption the box carries the start-up
// window's current title.
void ShowMessage(const Text& text, int style, const std::optional<Text>& caption = std::nullopt);
// Makes ahead, hidden, the box a coming ShowMessage(text, style) without a
// caption will show, so that it then shows at once: for a wait whose end
// brings that box. Any other box is made as usual. Win32's boxes cannot be
// made ahead: there the start-up window is made (hidden), which brings up
// what of the window system the box then needs.
void PrepareMessage(const Text& text, int style);
// Hands the address to the default browser without waiting for it; only
// http:// and https:// addresses, false for any other.
bool OpenInBrowser(const Text& url);
// The whole file; empty when it cannot be read, when it is not a regular
// file, or when it is larger than 256 MiB.
Bytes ReadWholeFile(const Text& path);

// Tests replace the open-file dialog: the chooser gets the folder the dialog
// would start in and returns the chosen file's full path, or nothing for a
// cancel. An empty function restores the real dialog.
using OpenDialogChooser = std::function<std::optional<Text>(const Text& startFolder)>;
void SetOpenDialogChooser(OpenDialogChooser chooser);

}  // namespace zoq::ui
