// What the three parts of the HTTP calls on libcurl share: the handle
// objects (inet_posix.cpp), the request's header lines (inet_headers_posix.cpp)
// and its transfer (inet_transfer_posix.cpp).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "curl_posix.h"
#include "internal_posix.h"

namespace zoq::platform {

// --- Handle objects ---

enum class Kind { kRoot, kConnection, kRequest };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  // From any thread: makes a call in progress on the object, and every later
  // one, fail.
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

// --- Header lines and addresses ---

// Header text cut into lines at any CR or LF; empty lines dropped. A block
// whose last line has no line end still yields that line whole.
std::vector<std::string_view> SplitLines(std::string_view block);
// The name of a "Name: value" line, trimmed; "" when there is no colon.
std::string_view HeaderName(std::string_view line);
// Whether that name is `lowerName`, ignoring ASCII case.
bool HeaderNameIs(std::string_view line, std::string_view lowerName);
std::string_view HeaderValue(std::string_view line);

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

bool ValidHost(std::string_view host);
// The object name as a request target: spaces and control bytes, which
// would break the request line, are percent-encoded; everything else goes
// as given.
std::string RequestTarget(std::string_view object);

// --- Requests ---

struct HopReply;

class Request : public Object {
 public:
  Request();
  ~Request() override;
  void Cancel() override;

  std::shared_ptr<const Connection> connection;
  std::string verb;  // "" means GET
  std::string object;
  bool useCookies = true;

  BOOL AddHeaders(std::string_view text);
  BOOL Send(std::string_view block, std::string body);
  BOOL Read(LPVOID buffer, DWORD size, LPDWORD read);
  BOOL QueryRawHeaders(LPVOID buffer, LPDWORD length);

 private:
  // One transfer per hop: redirects are followed here, not by curl.
  enum class Hop { kFinal, kRedirect, kFailed };
  Hop RunHop(const Target& target, const std::string& method, const std::string& body,
             const std::vector<std::string>& blockLines);
  bool StartHop(const Target& target, const std::string& method, const std::string& body,
                const std::vector<std::string>& blockLines);
  void SetMethod(const std::string& method);
  void SetCredentials(const Target& target);
  void EndHop();
  // Drives the transfer until `done` holds or the transfer ends; false when
  // the request was closed meanwhile.
  bool Pump(const std::function<bool()>& done);
  std::string ProxyFor(const Target& target) const;
  curl_slist* BuildHeaders(const Target& target, const std::vector<std::string>& blockLines,
                           const std::string& body, bool viaProxy);
  std::vector<std::string> OwnLines(const Target& target, std::vector<std::string>& lines,
                                    const std::string& body);

  // The test face's transport seam (ReceiveHop): a request with no
  // transfer behind it, fed the bytes a transfer would receive.
  struct NoTransfer {};
  explicit Request(NoTransfer);
  friend HopReply ReceiveHop(const Target& from, std::string_view response, bool useCookies);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);

  std::atomic<bool> closed_{false};
  CURLM* const multi_;
  std::mutex operation_;  // one transfer-driving call at a time

  // Set once the final response's header block is in, until the next send.
  std::atomic<bool> responseReady_{false};
  // Guarded by state_: what HttpAddRequestHeadersA and HttpQueryInfoA touch.
  std::mutex state_;
  std::vector<std::string> added_;
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

// --- The test face's transport seam ---

// What one hop's response comes to once the request has handled it.
struct HopReply {
  long status = 0;
  bool final = false;       // a response the caller gets (not an interim one)
  std::string rawHeaders;   // the block HttpQueryInfoA gives
  std::string body;
  std::optional<Target> redirect;  // where a redirect leads, when anywhere
};

// Feeds `response`, the bytes a server sent for the hop to `from`, through
// the request's header and body handling as the transfer hands them over
// (header lines one by one, interim blocks included, then the body), with
// no curl transfer, socket or thread; cookies are stored when `useCookies`.
HopReply ReceiveHop(const Target& from, std::string_view response, bool useCookies);

}  // namespace zoq::platform
