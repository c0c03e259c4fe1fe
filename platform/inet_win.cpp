#include "inet_win.h"

#include <string>

namespace zoq::platform {
namespace {

template <typename Fn>
bool Find(HMODULE library, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return entry != nullptr;
}

WinInetApi* Open() {
  // From the system folder only, never from beside the program.
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  HMODULE library = LoadLibraryW((std::wstring(folder, length) + L"\\wininet.dll").c_str());
  if (!library) return nullptr;
  static WinInetApi api;
  const bool all = Find(library, "InternetOpenA", api.InternetOpenA) &&
                   Find(library, "InternetConnectA", api.InternetConnectA) &&
                   Find(library, "HttpOpenRequestA", api.HttpOpenRequestA) &&
                   Find(library, "HttpAddRequestHeadersA", api.HttpAddRequestHeadersA) &&
                   Find(library, "HttpSendRequestA", api.HttpSendRequestA) &&
                   Find(library, "InternetReadFile", api.InternetReadFile) &&
                   Find(library, "HttpQueryInfoA", api.HttpQueryInfoA) &&
                   Find(library, "InternetCloseHandle", api.InternetCloseHandle) &&
                   Find(library, "InternetSetCookieA", api.InternetSetCookieA);
  // Kept open for the rest of the process, as an import would be.
  return all ? &api : nullptr;
}

const WinInetApi* Api() {
  const WinInetApi* api = WinInet();
  if (!api) SetLastError(ERROR_MOD_NOT_FOUND);
  return api;
}

}  // namespace

WinInetApi* WinInet() {
  static WinInetApi* const api = Open();
  return api;
}

}  // namespace zoq::platform

using zoq::platform::Api;

HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR bypass,
                               DWORD flags) {
  const auto* api = Api();
  return api ? api->InternetOpenA(agent, accessType, proxy, bypass, flags) : nullptr;
}

HINTERNET WINAPI InternetConnectA(HINTERNET internet, LPCSTR server, INTERNET_PORT port,
                                  LPCSTR user, LPCSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context) {
  const auto* api = Api();
  return api ? api->InternetConnectA(internet, server, port, user, password, service, flags,
                                     context)
             : nullptr;
}

HINTERNET WINAPI HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR object,
                                  LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes,
                                  DWORD flags, DWORD_PTR context) {
  const auto* api = Api();
  return api ? api->HttpOpenRequestA(connect, verb, object, version, referrer, acceptTypes,
                                     flags, context)
             : nullptr;
}

BOOL WINAPI HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD length,
                                   DWORD modifiers) {
  const auto* api = Api();
  return api ? api->HttpAddRequestHeadersA(request, headers, length, modifiers) : FALSE;
}

BOOL WINAPI HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD length, LPVOID optional,
                             DWORD optionalLength) {
  const auto* api = Api();
  return api ? api->HttpSendRequestA(request, headers, length, optional, optionalLength)
             : FALSE;
}

BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
  const auto* api = Api();
  return api ? api->InternetReadFile(file, buffer, toRead, read) : FALSE;
}

BOOL WINAPI HttpQueryInfoA(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length,
                           LPDWORD index) {
  const auto* api = Api();
  return api ? api->HttpQueryInfoA(request, level, buffer, length, index) : FALSE;
}

BOOL WINAPI InternetCloseHandle(HINTERNET internet) {
  const auto* api = Api();
  return api ? api->InternetCloseHandle(internet) : FALSE;
}

BOOL WINAPI InternetSetCookieA(LPCSTR url, LPCSTR name, LPCSTR data) {
  const auto* api = Api();
  return api ? api->InternetSetCookieA(url, name, data) : FALSE;
}
