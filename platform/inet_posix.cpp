// The synchronous HTTP calls of win32.h on libcurl: the handles.
//
// Handles name objects in a registry and are looked up on every call, so a
// closed or made-up handle is refused instead of followed. Closing a handle
// closes the handles opened from it. Each request owns a curl multi handle
// (inet_transfer_posix.cpp): the thread inside HttpSendRequestA or
// InternetReadFile sleeps in curl_multi_poll, and InternetCloseHandle from
// any other thread sets the request's closed flag and calls
// curl_multi_wakeup, which ends that sleep at once; the blocked call then
// fails with ERROR_INTERNET_OPERATION_CANCELLED.

#include <algorithm>
#include <cstring>

#include "inet_posix.h"

using namespace zoq::platform;

namespace {

constexpr DWORD kInfoLevelMask = 0x0000FFFF;

// A caller's text of `length` bytes, or up to its zero byte when the length
// is -1 (or reaches past a zero byte).
std::string_view CallerText(LPCSTR text, DWORD length) {
  if (text == nullptr) return {};
  if (length == static_cast<DWORD>(-1)) return text;
  return std::string_view(text, strnlen(text, length));
}

// --- The registry ---

struct Registry {
  std::mutex mutex;
  std::unordered_map<HINTERNET, std::shared_ptr<Object>> objects;
};

Registry& Handles() {
  static Registry* registry = new Registry;  // outlives workers ending at exit
  return *registry;
}

HINTERNET Register(std::shared_ptr<Object> object, HINTERNET parent) {
  HINTERNET handle = NewHandleValue();
  Registry& r = Handles();
  std::lock_guard lock(r.mutex);
  if (parent != nullptr) {
    auto it = r.objects.find(parent);
    // The parent was closed meanwhile by another thread.
    if (it == r.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    it->second->children.push_back(handle);
  }
  object->parent = parent;
  r.objects.emplace(handle, std::move(object));
  return handle;
}

template <class T>
std::shared_ptr<T> Find(HINTERNET handle, Kind kind) {
  Registry& r = Handles();
  std::lock_guard lock(r.mutex);
  auto it = r.objects.find(handle);
  if (it == r.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (it->second->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(it->second);
}

BOOL CloseTree(HINTERNET handle) {
  std::vector<std::shared_ptr<Object>> closed;
  {
    Registry& r = Handles();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(handle);
    if (it == r.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (auto parent = r.objects.find(it->second->parent); parent != r.objects.end()) {
      auto& siblings = parent->second->children;
      siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
    }
    std::vector<HINTERNET> pending{handle};
    while (!pending.empty()) {
      HINTERNET h = pending.back();
      pending.pop_back();
      auto found = r.objects.find(h);
      if (found == r.objects.end()) continue;
      pending.insert(pending.end(), found->second->children.begin(), found->second->children.end());
      closed.push_back(std::move(found->second));
      r.objects.erase(found);
    }
  }
  // Outside the lock: a request's last reference may go here, and with it
  // its transfer.
  for (auto& object : closed) object->Cancel();
  return TRUE;
}

// "http=host:port https=host:port" or "host:port" for every scheme,
// entries separated by spaces or semicolons. An "http=" with nothing after
// it takes the next entry that names no scheme.
std::unordered_map<std::string, std::string> ParseProxyList(std::string_view list) {
  std::unordered_map<std::string, std::string> proxies;
  std::vector<std::string> entries;
  std::string current;
  for (char c : list) {
    if (c == ' ' || c == '\t' || c == ';') {
      if (!current.empty()) entries.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) entries.push_back(current);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::size_t eq = entries[i].find('=');
    if (eq == std::string::npos) {
      proxies.try_emplace("", entries[i]);
      continue;
    }
    std::string scheme = Lower(entries[i].substr(0, eq));
    std::string address = entries[i].substr(eq + 1);
    if (address.empty() && i + 1 < entries.size() && entries[i + 1].find('=') == std::string::npos)
      address = entries[++i];
    if (!address.empty()) proxies[scheme] = address;
  }
  return proxies;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR, DWORD) {
  // Every other call works on a handle opened here: past this, the library is ready.
  if (!CurlReady()) {
    SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    return nullptr;
  }
  auto root = std::make_shared<Root>();
  if (agent != nullptr) root->agent = agent;
  if (accessType == INTERNET_OPEN_TYPE_PROXY) {
    root->proxies = ParseProxyList(proxy != nullptr ? proxy : "");
    if (root->proxies.empty()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  return Register(std::move(root), nullptr);
}

HINTERNET InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD, DWORD_PTR) {
  auto root = Find<Root>(internet, Kind::kRoot);
  if (root == nullptr) return nullptr;
  if (serverName == nullptr || service != INTERNET_SERVICE_HTTP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto connection = std::make_shared<Connection>();
  connection->root = root;
  connection->host = serverName;
  connection->port = serverPort == 0 ? INTERNET_DEFAULT_HTTP_PORT : serverPort;
  if (userName != nullptr) connection->user = userName;
  if (password != nullptr) connection->password = password;
  return Register(std::move(connection), internet);
}

HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR) {
  auto connection = Find<Connection>(connect, Kind::kConnection);
  if (connection == nullptr) return nullptr;
  bool offered = (version == nullptr || std::strcmp(version, "HTTP/1.1") == 0) &&
                 (referrer == nullptr || *referrer == '\0') &&
                 (acceptTypes == nullptr || acceptTypes[0] == nullptr);
  if (!offered) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto request = std::make_shared<Request>();
  request->connection = connection;
  if (verb != nullptr) request->verb = verb;
  if (objectName != nullptr) request->object = objectName;
  request->useCookies = (flags & INTERNET_FLAG_NO_COOKIES) == 0;
  return Register(std::move(request), connect);
}

BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                            DWORD modifiers) {
  auto r = Find<Request>(request, Kind::kRequest);
  if (r == nullptr) return FALSE;
  if (headers == nullptr || modifiers != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return r->AddHeaders(CallerText(headers, headersLength));
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  auto r = Find<Request>(request, Kind::kRequest);
  if (r == nullptr) return FALSE;
  std::string body;
  if (optional != nullptr) body.assign(static_cast<const char*>(optional), optionalLength);
  return r->Send(CallerText(headers, headersLength), std::move(body));
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  auto r = Find<Request>(file, Kind::kRequest);
  if (r == nullptr) return FALSE;
  if (bytesRead == nullptr || (buffer == nullptr && bytesToRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return r->Read(buffer, bytesToRead, bytesRead);
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD) {
  auto r = Find<Request>(request, Kind::kRequest);
  if (r == nullptr) return FALSE;
  if (bufferLength == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((infoLevel & kInfoLevelMask) != HTTP_QUERY_RAW_HEADERS_CRLF) {
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return FALSE;
  }
  return r->QueryRawHeaders(buffer, bufferLength);
}

BOOL InternetCloseHandle(HINTERNET internet) { return CloseTree(internet); }

BOOL InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR cookieData) {
  if (url == nullptr || cookieData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string cookie = cookieName != nullptr && *cookieName != '\0'
                           ? std::string(cookieName) + "=" + cookieData
                           : std::string(cookieData);
  if (!StoreCookie(url, cookie)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
