// A scripted HTTP server on 127.0.0.1 for tests.
//
// It listens on an ephemeral port, records the exact bytes of every request
// it receives, and answers each with raw bytes chosen by the test, so a test
// can send anything a real server might: chunked or close-delimited bodies,
// error statuses, redirects, cookies, authentication challenges, a slow drip,
// silence, or a reset connection. Used as a proxy, it shows the absolute-form
// request line the client sent. Everything stops with the object.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zoq::testing {

// One answer, sent exactly as given.
struct Reply {
  std::string bytes;
  // 0 sends everything at once; otherwise pieces of this many bytes...
  std::size_t pieceSize = 0;
  // ...each after this pause.
  int pieceDelayMs = 0;
  // After sending: close the connection (a close-delimited body ends here).
  bool close = false;
  // After sending: abort the connection so that the client sees a reset.
  bool reset = false;
  // After sending: keep the connection open and silent until the server
  // stops or the client goes away.
  bool hold = false;
};

// "HTTP/1.1 <status> <reason>", the given header lines (without line ends),
// a Content-Length line, then the body.
Reply HttpReply(int status, std::string_view reason, std::vector<std::string> headers,
                std::string_view body);
// The same with "Transfer-Encoding: chunked" and the body cut into chunks of
// `chunkSize` bytes.
Reply ChunkedReply(int status, std::string_view reason, std::vector<std::string> headers,
                   std::string_view body, std::size_t chunkSize);
// No length at all: the body ends when the server closes the connection.
Reply CloseDelimitedReply(int status, std::string_view reason, std::vector<std::string> headers,
                          std::string_view body);

// A request taken apart, for assertions.
struct ParsedRequest {
  std::string method;
  std::string target;   // as sent: origin form "/x" or absolute form "http://h/x"
  std::string version;  // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed
  std::string body;

  // The first value of the header `name` (any letter case); "" when absent.
  std::string Header(std::string_view name) const;
  // How many lines carry the header `name`.
  std::size_t Count(std::string_view name) const;
};
ParsedRequest ParseRequest(const std::string& raw);

class LoopbackServer {
 public:
  // Gets the request's exact bytes and its number (0 for the first request
  // the server received); returns the answer.
  using Handler = std::function<Reply(const std::string& request, std::size_t index)>;

  // Listens at once on 127.0.0.1 with a port the system chooses, or with
  // `port`. Without a handler or script every request gets an empty 200
  // response.
  explicit LoopbackServer(int port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(std::string_view path = "/") const;

  // Replies used in order, one per request; the last one repeats.
  void Script(std::vector<Reply> replies);
  void SetHandler(Handler handler);

  // Every complete request so far, exact bytes (head and body).
  std::vector<std::string> Requests() const;
  // Request `i`, or "" when there is none (yet).
  std::string Request(std::size_t i) const;
  // Waits until at least `count` requests arrived; false after `timeoutMs`.
  bool WaitForRequests(std::size_t count, int timeoutMs) const;
  // Connections accepted so far.
  std::size_t Connections() const;

  // Closes every connection and the listening socket; idempotent.
  void Stop();

 private:
  using Socket = std::intptr_t;
  void AcceptLoop();
  void Serve(Socket s);
  bool SendReply(Socket s, const Reply& reply);
  bool PauseUnlessStopping(int ms);
  bool WaitReadable(Socket s);

  Socket listener_;
  int port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  Handler handler_;
  std::vector<std::string> requests_;
  std::size_t connections_ = 0;
  std::map<Socket, bool> open_;  // live connection sockets
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace zoq::testing
