// Lists the windows of one process and their controls, one line each, in
// UTF-8, for the end-to-end tests under Wine, which read exact texts here
// rather than from pixels.
//
//   winlist.exe NAME.exe | PID
//
// Lines, fields separated by tabs:
//   window   HWND OWNER  CLASS VISIBLE X,Y,W,H CX,CY,CW,CH TEXT
//   control  HWND PARENT CLASS VISIBLE X,Y,W,H ID          TEXT
// X,Y,W,H is the window's outer rectangle and CX,CY,CW,CH its client area,
// both in screen coordinates. Tabs, line breaks and backslashes in TEXT are
// written as \t, \n, \r and \\. Exit code 1 when no such process runs.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <set>
#include <string>

namespace {

// Texts longer than this (a hidden edit box may hold a whole page) are cut.
constexpr int kTextLimit = 4096;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string Escaped(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// GetWindowTextW reads only the caption the system keeps for a window of
// another process, which an edit box does not keep up to date; WM_GETTEXT
// asks the control itself. A program busy elsewhere (still building its
// windows) does not answer: after the first message it leaves unanswered
// the listing makes do with the kept captions rather than wait at every
// control.
std::wstring TextOf(HWND window) {
  static bool answering = true;
  DWORD_PTR length = 0;
  if (!answering ||
      !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length)) {
    answering = false;
    wchar_t buffer[kTextLimit + 1];
    const int n = GetWindowTextW(window, buffer, kTextLimit + 1);
    return std::wstring(buffer, n > 0 ? n : 0);
  }
  const DWORD_PTR want = length < kTextLimit ? length : kTextLimit;
  std::wstring text(want + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, want + 1, reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 1000, &got)) {
    answering = false;
    got = 0;
  }
  text.resize(got <= want ? got : want);
  return text;
}

std::string ClassOf(HWND window) {
  wchar_t name[256];
  const int n = GetClassNameW(window, name, 256);
  return Utf8(std::wstring(name, n > 0 ? n : 0));
}

unsigned long long Id(HWND window) {
  return reinterpret_cast<UINT_PTR>(window);
}

void PrintRect(const RECT& r) {
  std::printf("%ld,%ld,%ld,%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  RECT outer{};
  GetWindowRect(control, &outer);
  std::printf("control\t%#llx\t%#llx\t%s\t%d\t", Id(control), Id(GetParent(control)),
              ClassOf(control).c_str(), IsWindowVisible(control) ? 1 : 0);
  PrintRect(outer);
  std::printf("\t%d\t%s\n", GetDlgCtrlID(control), Escaped(TextOf(control)).c_str());
  return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM param) {
  const auto& pids = *reinterpret_cast<const std::set<DWORD>*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (!pids.count(pid)) return TRUE;
  RECT outer{}, client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  std::printf("window\t%#llx\t%#llx\t%s\t%d\t", Id(window), Id(GetWindow(window, GW_OWNER)),
              ClassOf(window).c_str(), IsWindowVisible(window) ? 1 : 0);
  PrintRect(outer);
  std::printf("\t");
  PrintRect(client);
  std::printf("\t%s\n", Escaped(TextOf(window)).c_str());
  EnumChildWindows(window, PrintControl, 0);
  return TRUE;
}

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

// The running processes with this image name, or this process id.
std::set<DWORD> ProcessesNamed(const wchar_t* name) {
  wchar_t* end = nullptr;
  const unsigned long id = std::wcstoul(name, &end, 10);
  const bool byId = end != name && *end == L'\0';
  std::set<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (byId ? entry.th32ProcessID == id : SameName(entry.szExeFile, name)) {
      pids.insert(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return pids;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: winlist.exe NAME.exe | PID\n");
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n, not \r\n
  const std::set<DWORD> pids = ProcessesNamed(argv[1]);
  if (pids.empty()) return 1;
  EnumWindows(PrintWindow, reinterpret_cast<LPARAM>(&pids));
  std::fflush(stdout);
  return 0;
}
