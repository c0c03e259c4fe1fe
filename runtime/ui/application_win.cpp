// The application on the Win32 API: COM for the imaging and accessibility
// components (started on first use), the hooks of the runtime's core half,
// the message loops (the program's and a modal window's) and the end of the
// program.

#include "win.h"

#include <objbase.h>

#include <map>
#include <vector>

#include "shell.h"

namespace zoq::ui {
namespace {

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

// COM: not tried, started, or failed to start.
enum class Com { Untried, Ready, Failed };
Com comState = Com::Untried;

struct SharedCom {
  CLSID type;
  IID face;
  IUnknown* object;
};
std::vector<SharedCom>& SharedObjects() {
  static std::vector<SharedCom> objects;
  return objects;
}

}  // namespace

struct Application::State {};

Application::Application() : state_(std::make_unique<State>()) {
  SetProgramEnding(false);
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
  win::EndCom();
}

void LeaveEveryLoop() { PostQuitMessage(0); }  // message boxes' loops too

bool win::RunModalLoop(const std::vector<HWND>& others, const std::function<bool()>& open) {
  std::vector<HWND> disabled;
  for (HWND other : others) {
    if (other && IsWindowEnabled(other)) {
      EnableWindow(other, FALSE);
      disabled.push_back(other);
    }
  }
  MSG message;
  bool stillOpen = true;
  while (stillOpen && !ProgramEnding()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      break;
    }
    win::Dispatch(message);
    stillOpen = open();
  }
  for (HWND hwnd : disabled) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
  return stillOpen && !ProgramEnding();
}

void win::Dispatch(MSG& message) {
  // Tab and Shift+Tab go through the window's tab stops in layout order
  // (the dialog manager would follow the stacking order instead). Every
  // other key goes to the control with the focus, as on the other backend.
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && message.hwnd &&
      GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0 &&
      win::MoveFocus(GetAncestor(message.hwnd, GA_ROOT), GetKeyState(VK_SHIFT) >= 0)) {
    return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
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

FARPROC LateProc(const wchar_t* dll, const char* name) {
  static std::map<std::wstring, HMODULE> loaded;
  auto [it, first] = loaded.try_emplace(dll, nullptr);
  if (first) {
    // From the system folder only, never from beside the program.
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      it->second = LoadLibraryW((std::wstring(folder, length) + L"\\" + dll).c_str());
    }
  }
  return it->second ? GetProcAddress(it->second, name) : nullptr;
}

bool ComReady() {
  if (comState == Com::Untried) {
    using Start = HRESULT(WINAPI*)(void*, DWORD);
    const auto start = Late<Start>(L"ole32.dll", "CoInitializeEx");
    comState = start && SUCCEEDED(start(nullptr, COINIT_APARTMENTTHREADED |
                                                     COINIT_DISABLE_OLE1DDE))
                   ? Com::Ready
                   : Com::Failed;
  }
  return comState == Com::Ready;
}

HRESULT CreateInstance(const CLSID& type, const IID& face, void** made) {
  *made = nullptr;
  using Create = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
  const auto create = Late<Create>(L"ole32.dll", "CoCreateInstance");
  if (!ComReady() || !create) return E_FAIL;
  return create(type, nullptr, CLSCTX_INPROC_SERVER, face, made);
}

void* SharedObject(const CLSID& type, const IID& face) {
  for (const SharedCom& shared : SharedObjects()) {
    if (IsEqualCLSID(shared.type, type) && IsEqualIID(shared.face, face)) return shared.object;
  }
  void* made = nullptr;
  if (FAILED(CreateInstance(type, face, &made)) || !made) return nullptr;
  SharedObjects().push_back({type, face, static_cast<IUnknown*>(made)});
  return made;
}

void EndCom() {
  // An object released after CoUninitialize may run code of a DLL COM
  // has already unloaded.
  for (SharedCom& shared : SharedObjects()) shared.object->Release();
  SharedObjects().clear();
  if (comState == Com::Ready) {
    if (const auto end = Late<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize")) end();
  }
  comState = Com::Untried;
}

}  // namespace win
}  // namespace zoq::ui
