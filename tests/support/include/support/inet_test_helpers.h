// Shared by the HTTP call tests: one request against a loopback server.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/loopback_server.h"

namespace zoq::testing {

inline constexpr const char* kAgent = "TestAgent/1.0";

// Root, connection and request handles for one request, closed at the end.
struct Exchange {
  HINTERNET root = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  BOOL sent = FALSE;
  DWORD sendError = 0;

  Exchange(int port, const char* verb, const char* path, DWORD flags = INTERNET_FLAG_NO_COOKIES,
           const char* user = nullptr, const char* password = nullptr,
           const char* proxy = nullptr) {
    root = InternetOpenA(kAgent, proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                         proxy, nullptr, 0);
    EXPECT_NE(root, nullptr);
    connection = InternetConnectA(root, "127.0.0.1", static_cast<INTERNET_PORT>(port), user,
                                  password, INTERNET_SERVICE_HTTP, 0, 0);
    EXPECT_NE(connection, nullptr);
    request = HttpOpenRequestA(connection, verb, path, "HTTP/1.1", nullptr, nullptr, flags, 0);
    EXPECT_NE(request, nullptr);
  }
  ~Exchange() {
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    if (root) InternetCloseHandle(root);
  }

  BOOL Send(const std::string& headers = "", const std::string& body = "") {
    sent = HttpSendRequestA(
        request, headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
        body.empty() ? nullptr : const_cast<char*>(body.data()), static_cast<DWORD>(body.size()));
    sendError = sent ? 0 : GetLastError();
    return sent;
  }

  // The whole body, read as the page fetch reads it.
  std::string ReadAll(DWORD chunk = 512) {
    std::string body;
    std::string buffer(chunk, '\0');
    DWORD got = 0;
    do {
      got = 0;
      InternetReadFile(request, buffer.data(), chunk, &got);
      body.append(buffer.data(), got);
    } while (got > 0);
    return body;
  }

  std::string RawHeaders() {
    char buffer[8192];
    DWORD length = sizeof buffer;
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr))
      return "<query failed>";
    return std::string(buffer, length);
  }
};

}  // namespace zoq::testing
