// What every backend's window keeps the same way, in two halves:
// - WindowLife, the window as a whole: its title, its created event, its
//   closing and destruction, the open windows and the start-up window's
//   rules (with the program's end and the running of handlers);
// - WindowControls, on top of it, the layout's controls: found by name,
//   handlers bound by name, the texts, colours, picker colour and dialog
//   file the handlers set and read.
// A backend derives its window from WindowControls and only turns what is
// decided here into its toolkit's calls through a few hooks.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "look.h"
#include "runtime/ui.h"

namespace zoq::ui {

// True from the moment the program started to end; windows then no longer
// show and the message loop returns at once. Tests that ended the program
// start it again with false.
bool ProgramEnding();
void SetProgramEnding(bool ending);

// Runs an event handler; one that throws is reported on stderr, and the
// program goes on. Once the outermost handler has returned, the backend's
// HandlersDone runs.
void RunHandler(const Handler& handler);
void HandlersDone();  // defined by each backend
bool HandlerRunning();

// The window as a whole, whatever its controls.
class WindowLife : public Window {
 public:
  explicit WindowLife(const FormSpec& form);
  ~WindowLife() override;
  WindowLife(const WindowLife&) = delete;
  WindowLife& operator=(const WindowLife&) = delete;

  const FormSpec& Form() const { return form_; }
  bool Destroyed() const { return destroyed_; }
  bool IsStartup() const;

  // Lets `bind` attach handlers, then runs the created event; false when
  // that destroyed the window or ended the program, which leaves it unshown.
  // The start-up window is marked as such first (its title captions the
  // message boxes, and closing it ends the program).
  bool Create(const Binder& bind, bool startup);
  // What the user's closing of the window does: closing the start-up window
  // ends the program, closing another destroys it.
  void Close();
  // Hides the window and frees it once the event now running has ended.
  virtual void Dispose() = 0;

  void OnCreated(Handler handler) override { created_ = std::move(handler); }
  Text Title() const override { return title_; }
  void SetTitle(const Text& title) override;
  void Destroy() override { Dispose(); }

 protected:
  // For Dispose: marks the window destroyed and no longer open; false when
  // it already was.
  bool MarkDestroyed();
  virtual void ShowTitle(const Text& title) = 0;

  FormSpec form_;

 private:
  Text title_;
  Handler created_;
  bool destroyed_ = false;
};

// The windows not yet destroyed, oldest first.
const std::vector<WindowLife*>& OpenWindows();
// Disposes of every window; used when the program ends.
void CloseAllWindows();
// The start-up window's current title; empty when there is none.
Text StartupTitle();

// The controls half: a window of a layout's controls. `Native` is what the
// backend keeps of a control (its toolkit control, timer, ...); each Control
// carries one.
template <class Native>
class WindowControls : public WindowLife {
 public:
  struct Control : Native {
    ControlSpec desc;
    Colour textColour = kDefaultColour;
    Colour backColour = kDefaultColour;
    // Edit boxes keep their content here: a hidden one never hands it to its
    // control (no text layout for a page of megabytes), and a visible one
    // gives back the very bytes it was given while the user has not edited.
    // A common dialog's text is the folder it starts in.
    Text text;
    Colour pickerColour = 0;  // black until the user chooses
    Text dialogFile;
    Handler click;
    Handler tick;
  };

  explicit WindowControls(const FormSpec& form) : WindowLife(form) {
    controls_.reserve(form.controls.size());  // never grows: controls stay put
    for (const ControlSpec& desc : form.controls) {
      Control& c = controls_.emplace_back();
      c.desc = desc;
      c.textColour = desc.textColour;
      c.backColour = desc.backColour;
      c.text = desc.text;
      byName_.emplace(desc.name, controls_.size() - 1);  // the first of a name wins
    }
  }

  void OnClick(const Text& name, Handler handler) override {
    if (Control* c = Find(name)) c->click = std::move(handler);
  }
  void OnTick(const Text& name, Handler handler) override {
    if (Control* c = Find(name)) c->tick = std::move(handler);
  }

  Text ControlText(const Text& name) const override {
    const Control* c = Find(name);
    if (!c) return {};
    if (c->desc.kind == Kind::EditBox) {
      if (std::optional<Text> edited = EditedText(*c)) return std::move(*edited);
    }
    return c->text;
  }
  void SetControlText(const Text& name, const Text& text) override {
    if (Control* c = Find(name)) {
      c->text = text;
      ShowText(*c);
    }
  }
  Colour TextColour(const Text& name) const override { return Get(name, &Control::textColour); }
  void SetTextColour(const Text& name, Colour colour) override {
    Set(name, &Control::textColour, colour);
  }
  Colour BackColour(const Text& name) const override { return Get(name, &Control::backColour); }
  void SetBackColour(const Text& name, Colour colour) override {
    Set(name, &Control::backColour, colour);
  }
  void SetPicture(const Text& name, const Bytes& image) override {
    Control* c = Find(name);
    if (c && c->desc.kind == Kind::PictureBox) ShowPicture(*c, image);
  }
  void SetTimerInterval(const Text& name, int milliseconds) override {
    Control* c = Find(name);
    if (!c || c->desc.kind != Kind::Timer) return;
    if (milliseconds <= 0) {
      StopTimer(*c);
    } else {
      StartTimer(*c, milliseconds);
    }
  }
  Colour PickerColour(const Text& name) const override {
    const Control* c = Find(name);
    return c && c->desc.kind == Kind::ColourPicker ? c->pickerColour : kDefaultColour;
  }
  void SetPickerColour(const Text& name, Colour colour) override {
    Control* c = Find(name);
    if (!c || c->desc.kind != Kind::ColourPicker || !IsSet(colour)) return;
    c->pickerColour = colour;
    ShowPickerColour(*c);
  }
  bool ShowOpenDialog(const Text& name) override {
    Control* c = Find(name);
    if (!c || c->desc.kind != Kind::CommonDialog) return false;
    std::optional<Text> chosen = RunOpenDialog(c->text);
    if (!chosen) return false;
    c->dialogFile = std::move(*chosen);
    return true;
  }
  Text DialogFileName(const Text& name) const override {
    const Control* c = Find(name);
    return c ? c->dialogFile : Text();
  }

 protected:
  // The backend's side: each shows on screen what has just been decided.
  // An edit box's content when the user has changed it since it was last
  // given c.text; nothing otherwise.
  virtual std::optional<Text> EditedText(const Control& c) const = 0;
  virtual void ShowText(Control& c) = 0;  // c.text, for the kinds that show one
  virtual void ShowColours(Control& c) = 0;
  virtual void ShowPicture(Control& c, const Bytes& image) = 0;  // a picture box
  virtual void StartTimer(Control& c, int milliseconds) = 0;
  virtual void StopTimer(Control& c) = 0;
  virtual void ShowPickerColour(Control& c) = 0;
  // The open-file dialog starting in the folder `preset` names.
  virtual std::optional<Text> RunOpenDialog(const Text& preset) = 0;

  Control* Find(const Text& name) {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &controls_[it->second];
  }
  const Control* Find(const Text& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &controls_[it->second];
  }

  std::vector<Control> controls_;  // in layout order

 private:
  Colour Get(const Text& name, Colour Control::*colour) const {
    const Control* c = Find(name);
    return c ? c->*colour : kDefaultColour;
  }
  void Set(const Text& name, Colour Control::*colour, Colour value) {
    if (Control* c = Find(name)) {
      c->*colour = value;
      ShowColours(*c);
    }
  }

  std::map<Text, std::size_t> byName_;
};

}  // namespace zoq::ui
