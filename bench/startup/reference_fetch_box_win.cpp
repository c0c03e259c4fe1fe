// The second yardstick under Wine: the one-box program that first fetches
// the version page on a worker thread, as the program's start-up check must
// before its box can say anything. What the program takes beyond this is
// its own; what this takes beyond the one-box program is the fetch.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wininet.h>

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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HANDLE worker = CreateThread(nullptr, 0, Fetch, nullptr, 0, nullptr);
  if (worker) {
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
  }
  MessageBoxW(nullptr, L"最新版本~！可以使用~！", L"Ｚｏｑ个人播放器", MB_OK);
  return 0;
}
