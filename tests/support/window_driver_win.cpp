#include "support/window_driver.h"

#include <windows.h>

#include <string>

#include "runtime/ui_testing.h"

namespace zoq::testing {
namespace {

HWND Handle(const ui::Window& window, const Text& control) {
  return static_cast<HWND>(zoq::testing::NativeControl(window, control));
}

std::wstring Wide(const Text& text) {
  const std::u16string utf16 = zoq::testing::Utf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

// Keys go through the thread's queue, as the user's do, so that the
// program's own message loop sees them; the Shift key's state is set for
// the time they take.
void PostKey(HWND target, UINT vk, UINT scan, bool shift) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  const BYTE before = keys[VK_SHIFT];
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageW(target, WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16)));
  PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
  LetEventsRun();
  keys[VK_SHIFT] = before;
  SetKeyboardState(keys);
}

BOOL CALLBACK CloseBox(HWND hwnd, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (std::wstring(name) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
  PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

void CALLBACK PollForBox(HWND, UINT, UINT_PTR timer, DWORD) {
  bool found = false;
  EnumThreadWindows(GetCurrentThreadId(), CloseBox, reinterpret_cast<LPARAM>(&found));
  if (found) KillTimer(nullptr, timer);
}

}  // namespace

struct WindowDriver::State {
  HWND other = nullptr;
};

void LetEventsRun(int ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
  do {
    rt::ProcessPendingMessages();
    if (ms > 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount64() < end);
  rt::ProcessPendingMessages();
}

void AnswerNextMessageBox() { SetTimer(nullptr, 0, 10, PollForBox); }

WindowDriver::WindowDriver(ui::Window& window, const ui::FormSpec& form)
    : window_(window), form_(form), state_(std::make_unique<State>()) {}

WindowDriver::~WindowDriver() {
  if (state_->other) DestroyWindow(state_->other);
}

void WindowDriver::Click(const Text& control) {
  HWND hwnd = Handle(window_, control);
  if (!hwnd) return;
  RECT client;
  GetClientRect(hwnd, &client);
  const LPARAM at = MAKELPARAM((client.right - client.left) / 2, (client.bottom - client.top) / 2);
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
  LetEventsRun();
}

void WindowDriver::Type(const Text& text) {
  for (const wchar_t ch : Wide(text)) SendMessageW(GetFocus(), WM_CHAR, ch, 1);
  LetEventsRun();
}

void WindowDriver::Press(Key key) {
  HWND target = GetFocus();
  if (!target) target = static_cast<HWND>(zoq::testing::NativeWindow(window_));
  switch (key) {
    case Key::Tab:
      PostKey(target, VK_TAB, 0x0F, false);
      break;
    case Key::ShiftTab:
      PostKey(target, VK_TAB, 0x0F, true);
      break;
    case Key::Space:
      PostKey(target, VK_SPACE, 0x39, false);
      break;
    case Key::Return:
      PostKey(target, VK_RETURN, 0x1C, false);
      break;
  }
}

Text WindowDriver::Focused() const {
  const HWND focus = GetFocus();
  if (!focus) return {};
  for (const ui::ControlSpec& c : form_.controls) {
    if (Handle(window_, c.name) == focus) return c.name;
  }
  return {};
}

Text WindowDriver::ShownText(const Text& control) const {
  HWND hwnd = Handle(window_, control);
  if (!hwnd) return {};
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return zoq::testing::Gbk(std::u16string(text.begin(), text.end()).c_str());
}

bool WindowDriver::Shown() const {
  HWND hwnd = static_cast<HWND>(zoq::testing::NativeWindow(window_));
  return hwnd && IsWindowVisible(hwnd);
}

bool WindowDriver::Exists(const Text& control) const { return Handle(window_, control) != nullptr; }

Rect WindowDriver::Place(const Text& control) const {
  HWND hwnd = Handle(window_, control);
  if (!hwnd) return {};
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Text WindowDriver::Container(const Text& control) const {
  HWND hwnd = Handle(window_, control);
  if (!hwnd) return {};
  const HWND parent = GetParent(hwnd);
  for (const ui::ControlSpec& c : form_.controls) {
    if (Handle(window_, c.name) == parent) return c.name;
  }
  return {};
}

void WindowDriver::Deactivate() {
  if (!state_->other) {
    state_->other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  }
  SetActiveWindow(state_->other);
  LetEventsRun(50);
}

void WindowDriver::Activate() {
  if (state_->other) DestroyWindow(state_->other);
  state_->other = nullptr;
  HWND hwnd = static_cast<HWND>(zoq::testing::NativeWindow(window_));
  SetActiveWindow(hwnd);
  LetEventsRun(50);
}

}  // namespace zoq::testing
