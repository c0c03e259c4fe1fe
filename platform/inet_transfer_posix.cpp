// A request's transfer: one curl transfer per hop, driven by the thread in
// HttpSendRequestA or InternetReadFile, which sleeps in curl_multi_poll until
// bytes arrive or InternetCloseHandle wakes it.
//
// Redirects are followed here rather than by curl, one transfer per hop, so
// that the method rules, the Host line, the credentials and the cookies are
// decided for each hop.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "inet_posix.h"

namespace zoq::platform {
namespace {

constexpr int kMaxRedirects = 10;
constexpr long kConnectTimeoutSeconds = 60;
constexpr long kReceiveBufferSize = 64 * 1024;

bool IsTokenChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u > 0x20 && u != 0x7F;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
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

// A redirect's Location, resolved against the address that answered with
// it, taken apart; nullopt unless it leads to http or https.
std::optional<Target> ResolveLocation(const Target& base, const std::string& location) {
  CURLU* u = curl_url();
  if (u == nullptr) return std::nullopt;
  std::optional<Target> t;
  char *scheme = nullptr, *host = nullptr, *port = nullptr, *path = nullptr, *query = nullptr;
  constexpr unsigned kFlags = CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE;
  // Should the path be beyond curl, only relative paths lose their base.
  bool based = curl_url_set(u, CURLUPART_URL, base.Url().c_str(), kFlags) == CURLUE_OK ||
               curl_url_set(u, CURLUPART_URL, (base.Origin() + "/").c_str(), kFlags) == CURLUE_OK;
  if (based &&
      curl_url_set(u, CURLUPART_URL, location.c_str(), kFlags) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK) {
    curl_url_get(u, CURLUPART_QUERY, &query, 0);
    std::string s = Lower(scheme);
    std::string h = host;
    if (h.size() > 2 && h.front() == '[') h = h.substr(1, h.size() - 2);
    if (s == "http" || s == "https") {
      t = Target{s, h, std::strtol(port, nullptr, 10),
                 RequestTarget(std::string(path) +
                               (query != nullptr ? "?" + std::string(query) : ""))};
    }
  }
  for (char* p : {scheme, host, port, path, query}) curl_free(p);
  curl_url_cleanup(u);
  return t;
}

// The Location of a redirect's header block; nullopt for any other status.
std::optional<std::string> LocationOf(long status, const std::string& block) {
  if (!IsRedirect(status)) return std::nullopt;
  for (std::string_view line : SplitLines(block))
    if (HeaderNameIs(line, "location")) return std::string(HeaderValue(line));
  return std::nullopt;
}

}  // namespace

Request::Request() : Object(Kind::kRequest), multi_(curl_multi_init()) {}

Request::Request(NoTransfer) : Object(Kind::kRequest), multi_(nullptr) {}

Request::~Request() {
  EndHop();
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
}

void Request::Cancel() {
  closed_ = true;
  if (multi_ != nullptr) curl_multi_wakeup(multi_);
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

bool Request::StartHop(const Target& target, const std::string& method, const std::string& body,
                       const std::vector<std::string>& blockLines) {
  EndHop();
  easy_ = curl_easy_init();
  if (easy_ == nullptr) return false;
  hopUrl_ = target.Url();
  sendBody_ = body;
  collecting_.clear();
  status_ = 0;
  headersComplete_ = hopFinal_ = transferDone_ = false;
  result_ = CURLE_OK;
  buffer_.clear();
  bufferAt_ = 0;

  std::string proxy = ProxyFor(target);
  headerList_ = BuildHeaders(target, blockLines, sendBody_, !proxy.empty());
  bool absoluteForm = !proxy.empty() && target.scheme == "http";
  std::string requestTarget = absoluteForm ? target.Url() : target.path;
  curl_easy_setopt(easy_, CURLOPT_URL, (target.Origin() + "/").c_str());
  curl_easy_setopt(easy_, CURLOPT_REQUEST_TARGET, requestTarget.c_str());
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  // An empty proxy also keeps curl from taking one from the environment.
  curl_easy_setopt(easy_, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(easy_, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Request::OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Request::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  SetCredentials(target);
  SetMethod(method);
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
    EndHop();
    return false;
  }
  return true;
}

// Credentials belong to the server of the connection; a redirect elsewhere
// does not get them. They answer a challenge, never go unasked.
void Request::SetCredentials(const Target& target) {
  hopHasCredentials_ = connection->user.has_value() && target.scheme == "http" &&
                       target.host == connection->host && target.port == connection->port;
  if (!hopHasCredentials_) return;
  curl_easy_setopt(easy_, CURLOPT_USERNAME, connection->user->c_str());
  curl_easy_setopt(easy_, CURLOPT_PASSWORD,
                      connection->password ? connection->password->c_str() : "");
  curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
}

void Request::SetMethod(const std::string& method) {
  if (!sendBody_.empty()) {
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, sendBody_.data());
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                        static_cast<curl_off_t>(sendBody_.size()));
    if (method != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else {
    curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    if (method != "GET") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
}

void Request::EndHop() {
  if (easy_ != nullptr) {
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
  }
  curl_slist_free_all(headerList_);
  headerList_ = nullptr;
}

size_t Request::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (EqualsLower(line.substr(0, 5), "http/")) {
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
    std::vector<std::string_view> cookies;
    for (std::string_view h : SplitLines(r->collecting_))
      if (HeaderNameIs(h, "set-cookie")) cookies.push_back(HeaderValue(h));
    StoreCookies(r->hopUrl_, cookies);
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
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      transferDone_ = true;
      result_ = CURLE_OUT_OF_MEMORY;
    }
    int queued = 0;
    while (CURLMsg* m = curl_multi_info_read(multi_, &queued)) {
      if (m->msg == CURLMSG_DONE && m->easy_handle == easy_) {
        transferDone_ = true;
        result_ = m->data.result;
      }
    }
    if (closed_) return false;
    if (done() || transferDone_) return true;
    curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
  }
}

// Runs one hop until its final response has begun; on kFailed the last
// error is set and the hop ended.
Request::Hop Request::RunHop(const Target& target, const std::string& method,
                             const std::string& body, const std::vector<std::string>& blockLines) {
  if (!StartHop(target, method, body, blockLines)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return Hop::kFailed;
  }
  DWORD error = ERROR_SUCCESS;
  if (!Pump([this] { return hopFinal_; })) {
    error = ERROR_INTERNET_OPERATION_CANCELLED;
  } else {
    // A response without a body that curl did not answer again.
    if (transferDone_ && headersComplete_) hopFinal_ = true;
    if (!hopFinal_)  // ended before any response
      error = result_ == CURLE_OK ? ERROR_HTTP_INVALID_SERVER_RESPONSE : ErrorOf(result_);
  }
  if (error != ERROR_SUCCESS) {
    EndHop();
    SetLastError(error);
    return Hop::kFailed;
  }
  return LocationOf(status_, collecting_) ? Hop::kRedirect : Hop::kFinal;
}

BOOL Request::Send(std::string_view block, std::string body) {
  std::lock_guard operation(operation_);
  responseReady_ = false;
  std::string method = verb.empty() ? "GET" : verb;
  // The verb starts the request line: nothing in it may end it early. A
  // response to HEAD would have no body to wait for, which is not offered.
  bool validVerb = std::all_of(method.begin(), method.end(), IsTokenChar) && Lower(method) != "head";
  if (!validVerb || !ValidHost(connection->host)) {
    SetLastError(ValidHost(connection->host) ? ERROR_INVALID_PARAMETER
                                             : ERROR_INTERNET_NAME_NOT_RESOLVED);
    return FALSE;
  }
  const std::vector<std::string_view> lines = SplitLines(block);
  const std::vector<std::string> blockLines(lines.begin(), lines.end());
  Target target{"http", connection->host, connection->port, RequestTarget(object)};
  for (int hop = 0;; ++hop) {
    Hop outcome = RunHop(target, method, body, blockLines);
    if (outcome == Hop::kFailed) return FALSE;
    if (outcome == Hop::kFinal) break;
    std::optional<Target> next = ResolveLocation(target, *LocationOf(status_, collecting_));
    if (!next || !ValidHost(next->host) || hop + 1 > kMaxRedirects) {
      EndHop();
      SetLastError(ERROR_HTTP_REDIRECT_FAILED);
      return FALSE;
    }
    // As browsers do: 303 always, and 301 and 302 after a POST, continue
    // with a GET without the body; 307 and 308 repeat the request.
    if (status_ == 303 || ((status_ == 301 || status_ == 302) && Lower(method) == "post")) {
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
  if (!responseReady_) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return FALSE;
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

HopReply ReceiveHop(const Target& from, std::string_view response, bool useCookies) {
  Request r{Request::NoTransfer{}};
  r.useCookies = useCookies;
  r.hopUrl_ = from.Url();
  // Header lines until the block of a response that is not an interim one
  // ends; the rest is its body. As curl does, a block must open with a
  // status line, or the transfer fails there.
  std::string bytes(response);  // the callbacks take writable buffers
  std::size_t at = 0;
  bool blockStart = true;
  while (at < bytes.size() && !r.headersComplete_) {
    std::size_t end = bytes.find('\n', at);
    std::size_t take = end == std::string::npos ? bytes.size() - at : end + 1 - at;
    std::string_view line(bytes.data() + at, take);
    if (blockStart && !EqualsLower(line.substr(0, 5), "http/")) return {};
    Request::OnHeader(bytes.data() + at, 1, take, &r);
    // A line of nothing but line ends closes the block, for curl as for
    // OnHeader, and what follows must open a new one.
    blockStart = line.find_first_not_of("\r\n") == std::string_view::npos;
    at += take;
  }
  if (at < bytes.size()) Request::OnBody(bytes.data() + at, 1, bytes.size() - at, &r);
  HopReply reply;
  reply.status = r.status_;
  reply.final = r.hopFinal_ || r.headersComplete_;
  if (std::optional<std::string> location = LocationOf(r.status_, r.collecting_))
    reply.redirect = ResolveLocation(from, *location);
  reply.rawHeaders = std::move(r.collecting_);
  reply.body = std::move(r.buffer_);
  return reply;
}

}  // namespace zoq::platform
