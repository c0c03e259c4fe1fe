// The application on the Win32 API: COM for the imaging and accessibility
// components, the common controls, the hooks of the runtime's core half,
// the message loop and the end of the program.

#include "win.h"

#include <commctrl.h>
#include <objbase.h>

namespace zoq::ui {
namespace {

void EndNow() {
  SetProgramEnding(true);
  CloseAllWindows();
  PostQuitMessage(0);  // leaves every running loop, message boxes' too
}

void DispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that ends
      return;
    }
    win::Dispatch(message);
  }
}

}  // namespace

struct Application::State {
  bool comReady = false;
};

Application::Application() : state_(std::make_unique<State>()) {
  SetProgramEnding(false);
  state_->comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED |
                                                           COINIT_DISABLE_OLE1DDE));
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
  // The window waits of the platform layer see this thread's messages
  // through MsgWaitForMultipleObjects itself; only the dispatch is ours.
  rt::SetPendingMessagesHook(DispatchPending);
  rt::SetProgramEnder(EndNow);
}

Application::~Application() {
  rt::SetProgramEnder({});
  rt::SetPendingMessagesHook({});
  CloseAllWindows();
  win::FreeDestroyedWindows();
  win::ReleaseFonts();
  win::ReleaseBrushes();
  if (state_->comReady) CoUninitialize();
}

int RunMessageLoop() {
  MSG message;
  while (!ProgramEnding()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) break;
    win::Dispatch(message);
  }
  win::FreeDestroyedWindows();
  return 0;
}

namespace win {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

}  // namespace win
}  // namespace zoq::ui
