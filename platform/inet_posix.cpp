// The synchronous HTTP calls of win32.h on libcurl.
//
// Handles name objects in a registry and are looked up on every call, so a
// closed or made-up handle is refused instead of followed. Closing a handle
// closes the handles opened from it. Each request owns a curl multi handle:
// the thread inside HttpSendRequestA or InternetReadFile sleeps in
// curl_multi_poll, and InternetCloseHandle from any other thread sets the
// request's closed flag and calls curl_multi_wakeup, which ends that sleep at
// once; the blocked call then fails with ERROR_INTERNET_OPERATION_CANCELLED.
//
// Redirects are followed here rather than by curl, one transfer per hop, so
// that the method rules, the Host line, the credentials and the cookies are
// decided for each hop.

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "curl_posix.h"
#include "internal_posix.h"

using namespace zoq::platform;

namespace {

constexpr int kMaxRedirects = 10;
constexpr long kConnectTimeoutSeconds = 60;
constexpr long kReceiveBufferSize = 64 * 1024;
constexpr DWORD kInfoLevelMask = 0x0000FFFF;

// --- Small text helpers ---

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == prefix;
}

// Header text cut into lines at any CR or LF; empty lines dropped. A block
// whose last line has no line end still yields that line whole.
std::vector<std::string> SplitLines(std::string_view block) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= block.size(); ++i) {
    if (i == block.size() || block[i] == '\r' || block[i] == '\n') {
      if (i > start) lines.emplace_back(block.substr(start, i - start));
      start = i + 1;
    }
  }
  return lines;
}

// Lower-case name of a "Name: value" line; "" when there is no colon.
std::string HeaderName(std::string_view line) {
  std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string() : Lower(Trim(line.substr(0, colon)));
}

std::string_view HeaderValue(std::string_view line) {
  std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : Trim(line.substr(colon + 1));
}

// A caller's text of `length` bytes, or up to its zero byte when the length
// is -1 (or reaches past a zero byte).
std::string_view CallerText(LPCSTR text, DWORD length) {
  if (text == nullptr) return {};
  if (length == static_cast<DWORD>(-1)) return text;
  return std::string_view(text, strnlen(text, length));
}

bool IsTokenChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u > 0x20 && u != 0x7F;
}

DWORD ErrorOf(CURLcode code) {
  switch (code) {
    case CURLE_OK: return ERROR_SUCCESS;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PEER_FAILED_VERIFICATION: return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CONNECT_ERROR: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

// --- Handle objects ---

enum class Kind { kRoot, kConnection, kRequest };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  virtual void Cancel() {}
  const Kind kind;
  HINTERNET parent = nullptr;
  std::vector<HINTERNET> children;  // guarded by the registry's mutex
};

struct Root : Object {
  Root() : Object(Kind::kRoot) {}
  std::string agent;
  // Proxy per scheme ("http", "https") and for any scheme (""); empty
  // for a direct connection.
  std::unordered_map<std::string, std::string> proxies;
};

struct Connection : Object {
  Connection() : Object(Kind::kConnection) {}
  std::shared_ptr<const Root> root;
  std::string host;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
  std::optional<std::string> user;
  std::optional<std::string> password;
};

// One hop's address, taken apart.
struct Target {
  std::string scheme;  // "http" or "https"
  std::string host;    // as given, without brackets
  long port = 80;
  std::string path;  // origin-form request target
  std::string Origin() const;
  std::string Url() const { return Origin() + path; }
  std::string HostLine() const;
};

bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  bool ipv6 = host.find(':') != std::string_view::npos;
  return std::all_of(host.begin(), host.end(), [&](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (ipv6) return std::isxdigit(u) || c == ':' || c == '.';
    return std::isalnum(u) || c == '-' || c == '.' || c == '_';
  });
}

std::string HostPart(std::string_view host) {
  return host.find(':') != std::string_view::npos ? "[" + std::string(host) + "]"
                                                  : std::string(host);
}

long DefaultPort(std::string_view scheme) { return scheme == "https" ? 443 : 80; }

std::string Target::Origin() const {
  return scheme + "://" + HostPart(host) + ":" + std::to_string(port);
}

std::string Target::HostLine() const {
  std::string line = "Host: " + HostPart(host);
  if (port != DefaultPort(scheme)) line += ":" + std::to_string(port);
  return line;
}

// The object name as a request target: spaces and control bytes, which
// would break the request line, are percent-encoded; everything else goes
// as given.
std::string RequestTarget(std::string_view object) {
  std::string out;
  if (object.empty() || object.front() != '/') out = "/";
  for (char c : object) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// A redirect's Location, resolved against the address that answered with
// it, taken apart; nullopt unless it leads to http or https.
std::optional<Target> ResolveLocation(const Target& base, const std::string& location) {
  const CurlApi& curl = *Curl();  // loaded: a request is open
  CURLU* u = curl.url();
  if (u == nullptr) return std::nullopt;
  std::optional<Target> t;
  char *scheme = nullptr, *host = nullptr, *port = nullptr, *path = nullptr, *query = nullptr;
  constexpr unsigned kFlags = CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE;
  // Should the path be beyond curl, only relative paths lose their base.
  bool based = curl.url_set(u, CURLUPART_URL, base.Url().c_str(), kFlags) == CURLUE_OK ||
               curl.url_set(u, CURLUPART_URL, (base.Origin() + "/").c_str(), kFlags) == CURLUE_OK;
  if (based &&
      curl.url_set(u, CURLUPART_URL, location.c_str(), kFlags) == CURLUE_OK &&
      curl.url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl.url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl.url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK &&
      curl.url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK) {
    curl.url_get(u, CURLUPART_QUERY, &query, 0);
    std::string s = Lower(scheme);
    std::string h = host;
    if (h.size() > 2 && h.front() == '[') h = h.substr(1, h.size() - 2);
    if (s == "http" || s == "https") {
      t = Target{s, h, std::strtol(port, nullptr, 10),
                 RequestTarget(std::string(path) +
                               (query != nullptr ? "?" + std::string(query) : ""))};
    }
  }
  for (char* p : {scheme, host, port, path, query}) curl.free(p);
  curl.url_cleanup(u);
  return t;
}

class Request : public Object {
 public:
  Request() : Object(Kind::kRequest), multi_(Curl()->multi_init()) {}
  ~Request() override {
    EndHop();
    if (multi_ != nullptr) Curl()->multi_cleanup(multi_);
  }

  // From any thread: makes the call in progress, and every later one, fail.
  void Cancel() override {
    closed_ = true;
    if (multi_ != nullptr) Curl()->multi_wakeup(multi_);
  }

  std::shared_ptr<const Connection> connection;
  std::string verb;  // "" means GET
  std::string object;
  bool http10 = false;
  bool useCookies = true;

  BOOL AddHeaders(std::string_view text, DWORD modifiers);
  BOOL Send(std::string_view block, std::string body);
  BOOL Read(LPVOID buffer, DWORD size, LPDWORD read);
  BOOL QueryRawHeaders(LPVOID buffer, LPDWORD length);

 private:
  bool StartHop(const Target& target, const std::string& method, const std::string& body,
                const std::vector<std::string>& blockLines);
  void EndHop();
  // Drives the transfer until `done` holds or the transfer ends; false when
  // the request was closed meanwhile.
  bool Pump(const std::function<bool()>& done);
  std::string ProxyFor(const Target& target) const;
  curl_slist* BuildHeaders(const Target& target, const std::vector<std::string>& blockLines,
                           const std::string& body, bool viaProxy);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);

  std::atomic<bool> closed_{false};
  CURLM* const multi_;
  std::mutex operation_;  // one transfer-driving call at a time

  // Guarded by state_: what HttpAddRequestHeadersA and HttpQueryInfoA touch.
  std::mutex state_;
  std::vector<std::string> added_;
  bool responseReady_ = false;
  std::string rawHeaders_;

  // The current hop, used by the thread holding operation_.
  CURL* easy_ = nullptr;
  curl_slist* headerList_ = nullptr;
  std::string hopUrl_;
  std::string sendBody_;
  std::string collecting_;  // the response header block being received
  long status_ = 0;
  bool headersComplete_ = false;  // of a response that is not an interim one
  bool hopFinal_ = false;         // the response that the caller gets has begun
  bool hopHasCredentials_ = false;
  bool transferDone_ = false;
  CURLcode result_ = CURLE_OK;
  std::string buffer_;  // body bytes received and not yet read
  std::size_t bufferAt_ = 0;
};

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

// --- Requests ---

BOOL Request::AddHeaders(std::string_view text, DWORD modifiers) {
  std::vector<std::string> lines = SplitLines(text);
  if (lines.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (const std::string& line : lines) {
    if (HeaderName(line).empty() || !std::all_of(line.begin(), line.end(), [](char c) {
          return c == '\t' || static_cast<unsigned char>(c) >= 0x20;
        })) {
      SetLastError(ERROR_HTTP_INVALID_HEADER);
      return FALSE;
    }
  }
  std::lock_guard lock(state_);
  for (const std::string& line : lines) {
    std::string name = HeaderName(line);
    auto existing = std::find_if(added_.begin(), added_.end(),
                                 [&](const std::string& h) { return HeaderName(h) == name; });
    bool exists = existing != added_.end();
    if ((modifiers & HTTP_ADDREQ_FLAG_REPLACE) != 0) {
      if (exists) {
        if (HeaderValue(line).empty()) {
          added_.erase(existing);
        } else {
          *existing = line;
        }
        continue;
      }
      if ((modifiers & HTTP_ADDREQ_FLAG_ADD) == 0) {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
      }
    } else if ((modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) != 0 && exists) {
      SetLastError(ERROR_HTTP_HEADER_ALREADY_EXISTS);
      return FALSE;
    } else if ((modifiers & HTTP_ADDREQ_FLAG_COALESCE) != 0 && exists) {
      *existing += ", " + std::string(HeaderValue(line));
      continue;
    }
    if (!HeaderValue(line).empty()) added_.push_back(line);
  }
  return TRUE;
}

std::string Request::ProxyFor(const Target& target) const {
  const auto& proxies = connection->root->proxies;
  for (const std::string& key : {target.scheme, std::string()}) {
    auto it = proxies.find(key);
    if (it != proxies.end()) {
      return it->second.find("://") == std::string::npos ? "http://" + it->second : it->second;
    }
  }
  return {};
}

// What goes on the wire after the request line, in this order: the lines
// added with HttpAddRequestHeadersA, the lines of the send's header block,
// then User-Agent, Host and (with a body) Content-Length unless those lines
// already carry them, then the stored cookies. curl's own defaults (Accept,
// Expect, Content-Type, Proxy-Connection) are switched off so that nothing
// else is sent.
curl_slist* Request::BuildHeaders(const Target& target, const std::vector<std::string>& blockLines,
                                  const std::string& body, bool viaProxy) {
  std::vector<std::string> lines;
  {
    std::lock_guard lock(state_);
    lines = added_;
  }
  lines.insert(lines.end(), blockLines.begin(), blockLines.end());
  // curl cannot send a line without a colon; nor could a server read one.
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return HeaderName(l).empty(); }),
              lines.end());
  auto has = [&](std::string_view name) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return HeaderName(l) == name; });
  };
  std::vector<std::string> own;
  if (!connection->root->agent.empty() && !has("user-agent"))
    own.push_back("User-Agent: " + connection->root->agent);
  if (!has("host")) own.push_back(target.HostLine());
  if (!body.empty() && !has("content-length"))
    own.push_back("Content-Length: " + std::to_string(body.size()));
  if (useCookies) {
    std::string stored = CookiesFor(target.Url());
    auto given = std::find_if(lines.begin(), lines.end(),
                              [](const std::string& l) { return HeaderName(l) == "cookie"; });
    if (!stored.empty() && given != lines.end()) {
      *given += "; " + stored;  // one Cookie line, the caller's first
    } else if (!stored.empty()) {
      own.push_back("Cookie: " + stored);
    }
  }
  std::vector<std::string> off;
  if (!has("accept")) off.push_back("Accept:");
  if (!has("expect")) off.push_back("Expect:");
  if (!body.empty() && !has("content-type")) off.push_back("Content-Type:");
  if (viaProxy && !has("proxy-connection")) off.push_back("Proxy-Connection:");

  curl_slist* list = nullptr;
  auto append = [&](const std::string& line) {
    if (curl_slist* grown = Curl()->slist_append(list, line.c_str())) list = grown;
  };
  for (std::string& line : lines) {
    // "Name:" alone would make curl drop the line; "Name;" sends it empty.
    if (HeaderValue(line).empty()) line = line.substr(0, line.find(':')) + ";";
    append(line);
  }
  for (const std::string& line : own) append(line);
  for (const std::string& line : off) append(line);
  return list;
}

bool Request::StartHop(const Target& target, const std::string& method, const std::string& body,
                       const std::vector<std::string>& blockLines) {
  EndHop();
  easy_ = Curl()->easy_init();
  if (easy_ == nullptr) return false;
  hopUrl_ = target.Url();
  sendBody_ = body;
  collecting_.clear();
  status_ = 0;
  headersComplete_ = false;
  hopFinal_ = false;
  transferDone_ = false;
  result_ = CURLE_OK;
  buffer_.clear();
  bufferAt_ = 0;

  std::string proxy = ProxyFor(target);
  bool absoluteForm = !proxy.empty() && target.scheme == "http";
  headerList_ = BuildHeaders(target, blockLines, sendBody_, !proxy.empty());
  std::string requestTarget = absoluteForm ? target.Url() : target.path;

  Curl()->easy_setopt(easy_, CURLOPT_URL, (target.Origin() + "/").c_str());
  Curl()->easy_setopt(easy_, CURLOPT_REQUEST_TARGET, requestTarget.c_str());
  Curl()->easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  Curl()->easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  // An empty proxy also keeps curl from taking one from the environment.
  Curl()->easy_setopt(easy_, CURLOPT_PROXY, proxy.c_str());
  Curl()->easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  Curl()->easy_setopt(easy_, CURLOPT_HTTP_VERSION,
                      http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  Curl()->easy_setopt(easy_, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  Curl()->easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  Curl()->easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  Curl()->easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  Curl()->easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Request::OnHeader);
  Curl()->easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  Curl()->easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Request::OnBody);
  Curl()->easy_setopt(easy_, CURLOPT_WRITEDATA, this);

  // Credentials belong to the server of the connection; a redirect
  // elsewhere does not get them. They answer a challenge, never go
  // unasked.
  hopHasCredentials_ = connection->user.has_value() && target.scheme == "http" &&
                       target.host == connection->host && target.port == connection->port;
  if (hopHasCredentials_) {
    Curl()->easy_setopt(easy_, CURLOPT_USERNAME, connection->user->c_str());
    Curl()->easy_setopt(easy_, CURLOPT_PASSWORD,
                        connection->password ? connection->password->c_str() : "");
    Curl()->easy_setopt(easy_, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
  }

  bool isHead = Lower(method) == "head";
  if (!sendBody_.empty()) {
    Curl()->easy_setopt(easy_, CURLOPT_POSTFIELDS, sendBody_.data());
    Curl()->easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                        static_cast<curl_off_t>(sendBody_.size()));
    if (method != "POST") Curl()->easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else {
    Curl()->easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    if (isHead) Curl()->easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    if (method != "GET" && method != "HEAD")
      Curl()->easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  if (Curl()->multi_add_handle(multi_, easy_) != CURLM_OK) {
    EndHop();
    return false;
  }
  return true;
}

void Request::EndHop() {
  if (easy_ != nullptr) {
    Curl()->multi_remove_handle(multi_, easy_);
    Curl()->easy_cleanup(easy_);
    easy_ = nullptr;
  }
  Curl()->slist_free_all(headerList_);
  headerList_ = nullptr;
}

size_t Request::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (StartsWithNoCase(line, "http/")) {
    // A new response: an interim one, or the next of an authentication.
    r->collecting_.clear();
    r->headersComplete_ = false;
    std::size_t space = line.find(' ');
    r->status_ = space == std::string_view::npos
                     ? 0
                     : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
  }
  r->collecting_.append(line);
  r->collecting_ += "\r\n";
  if (!line.empty()) return size * count;

  // The end of a response's header block.
  if (r->useCookies) {
    for (const std::string& h : SplitLines(r->collecting_))
      if (HeaderName(h) == "set-cookie") StoreCookie(r->hopUrl_, HeaderValue(h));
  }
  // A 401 may be answered by curl with the credentials: that response is
  // the caller's only when its body begins (OnBody) or the transfer ends.
  bool mayRetry = r->status_ == 401 && r->hopHasCredentials_;
  r->headersComplete_ = r->status_ >= 200;
  if (r->headersComplete_ && !mayRetry) r->hopFinal_ = true;
  return size * count;
}

size_t Request::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  r->hopFinal_ = true;
  r->buffer_.append(data, size * count);
  return size * count;
}

bool Request::Pump(const std::function<bool()>& done) {
  for (;;) {
    if (closed_) return false;
    int running = 0;
    if (Curl()->multi_perform(multi_, &running) != CURLM_OK) {
      transferDone_ = true;
      result_ = CURLE_OUT_OF_MEMORY;
    }
    int queued = 0;
    while (CURLMsg* m = Curl()->multi_info_read(multi_, &queued)) {
      if (m->msg == CURLMSG_DONE && m->easy_handle == easy_) {
        transferDone_ = true;
        result_ = m->data.result;
      }
    }
    if (closed_) return false;
    if (done() || transferDone_) return true;
    Curl()->multi_poll(multi_, nullptr, 0, 1000, nullptr);
  }
}

BOOL Request::Send(std::string_view block, std::string body) {
  std::lock_guard operation(operation_);
  {
    std::lock_guard lock(state_);
    responseReady_ = false;
    rawHeaders_.clear();
  }
  std::string method = verb.empty() ? "GET" : verb;
  // The verb starts the request line: nothing in it may end it early.
  if (!std::all_of(method.begin(), method.end(), IsTokenChar) || !ValidHost(connection->host)) {
    SetLastError(ValidHost(connection->host) ? ERROR_INVALID_PARAMETER
                                             : ERROR_INTERNET_NAME_NOT_RESOLVED);
    return FALSE;
  }
  std::vector<std::string> blockLines = SplitLines(block);
  Target target{"http", connection->host, connection->port, RequestTarget(object)};

  for (int hop = 0;; ++hop) {
    if (!StartHop(target, method, body, blockLines)) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    if (!Pump([this] { return hopFinal_; })) {
      EndHop();
      SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
      return FALSE;
    }
    // A response without a body that curl did not answer again.
    if (transferDone_ && headersComplete_) hopFinal_ = true;
    if (!hopFinal_) {  // ended before any response
      DWORD error = result_ == CURLE_OK ? ERROR_HTTP_INVALID_SERVER_RESPONSE : ErrorOf(result_);
      EndHop();
      SetLastError(error);
      return FALSE;
    }
    bool redirect =
        status_ == 301 || status_ == 302 || status_ == 303 || status_ == 307 || status_ == 308;
    std::optional<std::string> location;
    for (const std::string& line : SplitLines(collecting_))
      if (redirect && !location && HeaderName(line) == "location")
        location = std::string(HeaderValue(line));
    if (!location) break;
    std::optional<Target> next = ResolveLocation(target, *location);
    if (!next || !ValidHost(next->host) || hop + 1 > kMaxRedirects) {
      EndHop();
      SetLastError(ERROR_HTTP_REDIRECT_FAILED);
      return FALSE;
    }
    // As browsers do: 303 always, and 301 and 302 after a POST, continue
    // with a GET without the body; 307 and 308 repeat the request.
    if ((status_ == 303 && Lower(method) != "head") ||
        ((status_ == 301 || status_ == 302) && Lower(method) == "post")) {
      method = "GET";
      body.clear();
    }
    target = *next;
  }
  std::lock_guard lock(state_);
  rawHeaders_ = collecting_;
  responseReady_ = true;
  return TRUE;
}

BOOL Request::Read(LPVOID buffer, DWORD size, LPDWORD read) {
  std::lock_guard operation(operation_);
  {
    std::lock_guard lock(state_);
    if (!responseReady_) {
      SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
      return FALSE;
    }
  }
  if (size == 0) return TRUE;
  if (bufferAt_ == buffer_.size() && !transferDone_) {
    if (!Pump([this] { return bufferAt_ < buffer_.size(); })) {
      SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
      return FALSE;
    }
  }
  if (bufferAt_ < buffer_.size()) {
    std::size_t n = std::min<std::size_t>(size, buffer_.size() - bufferAt_);
    std::memcpy(buffer, buffer_.data() + bufferAt_, n);
    bufferAt_ += n;
    if (bufferAt_ == buffer_.size()) {
      buffer_.clear();
      bufferAt_ = 0;
    }
    *read = static_cast<DWORD>(n);
    return TRUE;
  }
  if (result_ != CURLE_OK) {
    SetLastError(ErrorOf(result_));
    return FALSE;
  }
  return TRUE;  // the end of the body
}

BOOL Request::QueryRawHeaders(LPVOID buffer, LPDWORD length) {
  std::lock_guard lock(state_);
  if (!responseReady_) {
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return FALSE;
  }
  DWORD needed = static_cast<DWORD>(rawHeaders_.size() + 1);
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, rawHeaders_.c_str(), needed);
  *length = needed - 1;
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
  // Every other call works on a handle opened here: past this, Curl() is set.
  if (Curl() == nullptr) {
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
  auto request = std::make_shared<Request>();
  request->connection = connection;
  if (verb != nullptr) request->verb = verb;
  if (objectName != nullptr) request->object = objectName;
  request->http10 = version != nullptr && std::strcmp(version, "HTTP/1.0") == 0;
  request->useCookies = (flags & INTERNET_FLAG_NO_COOKIES) == 0;
  if (acceptTypes != nullptr && acceptTypes[0] != nullptr) {
    std::string accept = "Accept: ";
    for (LPCSTR* t = acceptTypes; *t != nullptr; ++t)
      accept += (t == acceptTypes ? "" : ", ") + std::string(*t);
    request->AddHeaders(accept, HTTP_ADDREQ_FLAG_ADD);
  }
  if (referrer != nullptr && *referrer != '\0')
    request->AddHeaders("Referer: " + std::string(referrer), HTTP_ADDREQ_FLAG_ADD);
  return Register(std::move(request), connect);
}

BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                            DWORD modifiers) {
  auto r = Find<Request>(request, Kind::kRequest);
  if (r == nullptr) return FALSE;
  if (headers == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return r->AddHeaders(CallerText(headers, headersLength), modifiers);
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
