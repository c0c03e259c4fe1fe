#include "window_base.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace zoq::ui {
namespace {

bool programEnding = false;
int handlerDepth = 0;
std::vector<WindowLife*> openWindows;
WindowLife* startupWindow = nullptr;

void Forget(WindowLife* window) {
  std::erase(openWindows, window);
  if (startupWindow == window) startupWindow = nullptr;
}

}  // namespace

bool ProgramEnding() { return programEnding; }
void SetProgramEnding(bool ending) { programEnding = ending; }

void RunHandler(const Handler& handler) {
  if (!handler) return;
  Handler copy = handler;  // the handler may rebind or destroy its window
  ++handlerDepth;
  try {
    copy();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zoq: an event handler failed: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "zoq: an event handler failed\n");
  }
  if (--handlerDepth == 0) HandlersDone();
}

bool HandlerRunning() { return handlerDepth > 0; }

WindowLife::WindowLife(const FormSpec& form) : form_(form), title_(form.title) {
  openWindows.push_back(this);
}

WindowLife::~WindowLife() { Forget(this); }

bool WindowLife::IsStartup() const { return this == startupWindow; }

bool WindowLife::Create(const Binder& bind, bool startup) {
  if (startup) startupWindow = this;
  if (bind) bind(*this);
  // Counted as a handler until the flags are read: a backend frees the
  // windows destroyed meanwhile once the outermost handler returns, and the
  // created event may destroy this very window.
  ++handlerDepth;
  RunHandler(created_);
  const bool alive = !destroyed_ && !ProgramEnding();
  if (--handlerDepth == 0) HandlersDone();
  return alive;
}

void WindowLife::Close() {
  if (destroyed_ || ProgramEnding()) return;
  if (IsStartup()) {
    rt::EndProgram();
  } else {
    Dispose();
  }
}

void WindowLife::SetTitle(const Text& title) {
  title_ = title;
  ShowTitle(title);
}

bool WindowLife::MarkDestroyed() {
  if (destroyed_) return false;
  destroyed_ = true;
  Forget(this);
  return true;
}

const std::vector<WindowLife*>& OpenWindows() { return openWindows; }

void CloseAllWindows() {
  const std::vector<WindowLife*> windows = openWindows;
  for (WindowLife* window : windows) window->Dispose();
}

Text StartupTitle() { return startupWindow ? startupWindow->Title() : Text(); }

Window* WindowNamed(const Text& formName) {
  for (WindowLife* window : openWindows) {
    if (!window->Destroyed() && window->Form().name == formName) return window;
  }
  return nullptr;
}

}  // namespace zoq::ui
