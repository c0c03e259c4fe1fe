// Stands in for the user at a program window on whichever backend the tests
// are built for (Qt's widgets on Linux, Win32's windows on Windows), so that
// a window-behaviour test is written once and runs on both.
#pragma once

#include <memory>

#include "runtime/ui.h"

namespace zoq::testing {

enum class Key { Tab, ShiftTab, Space, Return };

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// Runs the events now waiting, and any that come within `ms`.
void LetEventsRun(int ms = 0);

// Closes the next message box once it has come up, as its OK button would.
void AnswerNextMessageBox();

class WindowDriver {
 public:
  // `form` is the layout `window` was built from: it names the controls.
  WindowDriver(ui::Window& window, const ui::FormSpec& form);
  ~WindowDriver();
  WindowDriver(const WindowDriver&) = delete;
  WindowDriver& operator=(const WindowDriver&) = delete;

  // A left click in the middle of the control.
  void Click(const Text& control);
  // Code-page 936 text, typed into the control with the focus.
  void Type(const Text& text);
  void Press(Key key);
  // The name of the control with the keyboard focus; empty when none of
  // this window's has it.
  Text Focused() const;
  // What the control shows (an edit box's content, a caption).
  Text ShownText(const Text& control) const;
  bool Shown() const;
  bool Exists(const Text& control) const;  // a control made for the name
  // The control's rectangle in its container's client area, and the name of
  // that container (empty: the window).
  Rect Place(const Text& control) const;
  Text Container(const Text& control) const;
  // Another window takes the activation; then this one gets it back.
  void Deactivate();
  void Activate();

 private:
  struct State;
  ui::Window& window_;
  const ui::FormSpec& form_;
  std::unique_ptr<State> state_;
};

}  // namespace zoq::testing
