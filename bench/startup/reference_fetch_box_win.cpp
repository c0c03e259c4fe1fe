// The second yardstick under Wine: the one-box program that first fetches
// the version page on a worker thread, as the program's start-up check must
// before its box can say anything. What the program takes beyond this is
// its own; what this takes beyond the one-box program is the fetch.
//
// Built with ZOQ_BOX_MADE_AHEAD, the box is a dialog made hidden while the
// page is awaited and only shown when it arrives: the least any program can
// take after a late answer, as a yardstick for a slow version server.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wininet.h>

#include <vector>

namespace {

DWORD WINAPI Fetch(LPVOID) {
  char host[256] = {}, path[1024] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!InternetCrackUrlA(ZOQ_VERSION_PAGE_URL, 0, 0, &parts)) return 1;
  HINTERNET root = InternetOpenA("zoq", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection = InternetConnectA(root, host, parts.nPort, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, nullptr, path, "HTTP/1.1", nullptr, nullptr,
                                       INTERNET_FLAG_NO_COOKIES, 0);
  HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  char chunk[512];
  DWORD got = 0;
  while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0) {
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(root);
  return 0;
}

constexpr wchar_t kText[] = L"最新版本~！可以使用~！";
constexpr wchar_t kTitle[] = L"Ｚｏｑ个人播放器";

#ifdef ZOQ_BOX_MADE_AHEAD
void Put(std::vector<WORD>& t, const wchar_t* s) {
  while (*s) t.push_back(static_cast<WORD>(*s++));
  t.push_back(0);
}

template <typename T>
void PutStruct(std::vector<WORD>& t, const T& value) {
  if (t.size() % 2 != 0) t.push_back(0);  // DWORD-aligned
  const auto* words = reinterpret_cast<const WORD*>(&value);
  t.insert(t.end(), words, words + sizeof value / sizeof(WORD));
}

void PutItem(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id,
             WORD kind, const wchar_t* text) {
  DLGITEMTEMPLATE item{};
  item.style = style | WS_CHILD | WS_VISIBLE;
  item.x = x;
  item.y = y;
  item.cx = cx;
  item.cy = cy;
  item.id = id;
  PutStruct(t, item);
  t.push_back(0xFFFF);
  t.push_back(kind);
  Put(t, text);
  t.push_back(0);  // no creation data
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    DestroyWindow(box);
    PostQuitMessage(0);
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

HWND MakeBox() {
  std::vector<WORD> t;
  DLGTEMPLATE dialog{};
  dialog.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  dialog.cdit = 2;
  dialog.cx = 140;
  dialog.cy = 50;
  PutStruct(t, dialog);
  t.push_back(0);  // no menu
  t.push_back(0);  // the dialog class
  Put(t, kTitle);
  t.push_back(9);
  Put(t, L"MS Shell Dlg");
  PutItem(t, SS_LEFT, 10, 10, 120, 10, 100, 0x0082, kText);  // static
  PutItem(t, BS_DEFPUSHBUTTON | WS_TABSTOP, 45, 30, 50, 14, IDOK, 0x0080, L"OK");  // button
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                    reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr,
                                    BoxProc, 0);
}
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HANDLE worker = CreateThread(nullptr, 0, Fetch, nullptr, 0, nullptr);
#ifdef ZOQ_BOX_MADE_AHEAD
  HWND box = MakeBox();
  while (worker && MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) !=
                       WAIT_OBJECT_0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  if (worker) CloseHandle(worker);
  if (!box) return 1;
  ShowWindow(box, SW_SHOW);
  SetForegroundWindow(box);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(box, &msg)) DispatchMessageW(&msg);
  }
#else
  if (worker) {
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
  }
  MessageBoxW(nullptr, kText, kTitle, MB_OK);
#endif
  return 0;
}
