#include "support/loopback_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zoq::testing {
namespace {

// --- The little socket layer that differs between systems ---

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr std::intptr_t kNoSocket = static_cast<std::intptr_t>(INVALID_SOCKET);
void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
void CloseSocket(std::intptr_t s) { closesocket(static_cast<NativeSocket>(s)); }
void ShutdownSocket(std::intptr_t s) { shutdown(static_cast<NativeSocket>(s), SD_BOTH); }
int PollOne(std::intptr_t s, int timeoutMs) {
  WSAPOLLFD p{static_cast<NativeSocket>(s), POLLIN, 0};
  return WSAPoll(&p, 1, timeoutMs);
}
constexpr int kSendFlags = 0;
#else
using NativeSocket = int;
constexpr std::intptr_t kNoSocket = -1;
void StartSockets() {}
void CloseSocket(std::intptr_t s) { close(static_cast<NativeSocket>(s)); }
void ShutdownSocket(std::intptr_t s) { shutdown(static_cast<NativeSocket>(s), SHUT_RDWR); }
int PollOne(std::intptr_t s, int timeoutMs) {
  pollfd p{static_cast<NativeSocket>(s), POLLIN, 0};
  return poll(&p, 1, timeoutMs);
}
// A client that has gone away must not kill the test with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

NativeSocket Native(std::intptr_t s) { return static_cast<NativeSocket>(s); }

bool SendAll(std::intptr_t s, const char* data, std::size_t size) {
  while (size > 0) {
    int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    int sent = static_cast<int>(send(Native(s), data, chunk, kSendFlags));
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// Length of the first complete request in `buffer`, or 0 when it is not all
// there yet. Bodies are delimited by Content-Length only.
std::size_t CompleteRequestLength(const std::string& buffer) {
  std::size_t headEnd = buffer.find("\r\n\r\n");
  if (headEnd == std::string::npos) return 0;
  std::size_t bodyLength = 0;
  ParsedRequest head = ParseRequest(buffer.substr(0, headEnd + 4));
  std::string length = head.Header("Content-Length");
  if (!length.empty()) bodyLength = std::strtoul(length.c_str(), nullptr, 10);
  std::size_t total = headEnd + 4 + bodyLength;
  return buffer.size() >= total ? total : 0;
}

std::string Head(int status, std::string_view reason, const std::vector<std::string>& headers) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
  for (const std::string& h : headers) out += h + "\r\n";
  return out;
}

}  // namespace

Reply HttpReply(int status, std::string_view reason, std::vector<std::string> headers,
                std::string_view body) {
  Reply r;
  r.bytes = Head(status, reason, headers) + "Content-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + std::string(body);
  return r;
}

Reply ChunkedReply(int status, std::string_view reason, std::vector<std::string> headers,
                   std::string_view body, std::size_t chunkSize) {
  Reply r;
  r.bytes = Head(status, reason, headers) + "Transfer-Encoding: chunked\r\n\r\n";
  if (chunkSize == 0) chunkSize = 1;
  for (std::size_t at = 0; at < body.size(); at += chunkSize) {
    std::string_view piece = body.substr(at, chunkSize);
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    r.bytes += size;
    r.bytes += piece;
    r.bytes += "\r\n";
  }
  r.bytes += "0\r\n\r\n";
  return r;
}

Reply CloseDelimitedReply(int status, std::string_view reason, std::vector<std::string> headers,
                          std::string_view body) {
  Reply r;
  r.bytes = Head(status, reason, headers) + "\r\n" + std::string(body);
  r.close = true;
  return r;
}

std::string ParsedRequest::Header(std::string_view name) const {
  std::string wanted = Lower(name);
  for (const auto& [n, v] : headers)
    if (Lower(n) == wanted) return v;
  return {};
}

std::size_t ParsedRequest::Count(std::string_view name) const {
  std::string wanted = Lower(name);
  return static_cast<std::size_t>(std::count_if(
      headers.begin(), headers.end(), [&](const auto& h) { return Lower(h.first) == wanted; }));
}

ParsedRequest ParseRequest(const std::string& raw) {
  ParsedRequest r;
  std::size_t headEnd = raw.find("\r\n\r\n");
  std::string head = raw.substr(0, headEnd);
  if (headEnd != std::string::npos) r.body = raw.substr(headEnd + 4);
  std::size_t lineStart = 0;
  bool first = true;
  while (lineStart <= head.size()) {
    std::size_t lineEnd = head.find("\r\n", lineStart);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    std::string line = head.substr(lineStart, lineEnd - lineStart);
    if (first) {
      std::size_t a = line.find(' ');
      std::size_t b = line.rfind(' ');
      if (a != std::string::npos && b > a) {
        r.method = line.substr(0, a);
        r.target = line.substr(a + 1, b - a - 1);
        r.version = line.substr(b + 1);
      }
      first = false;
    } else if (std::size_t colon = line.find(':'); colon != std::string::npos) {
      r.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    lineStart = lineEnd + 2;
  }
  return r;
}

LoopbackServer::LoopbackServer(int port) {
  StartSockets();
  NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  listener_ = static_cast<Socket>(s);
  if (listener_ == kNoSocket) std::abort();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
#ifndef _WIN32
  // A fixed port may still hold a closed connection of an earlier server.
  int reuse = 1;
  if (port != 0) setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
#endif
  socklen_t size = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 64) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    std::abort();  // a test without its server cannot mean anything
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() { Stop(); }

std::string LoopbackServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackServer::Script(std::vector<Reply> replies) {
  if (replies.empty()) replies.push_back(HttpReply(200, "OK", {}, ""));
  SetHandler([replies = std::move(replies)](const std::string&, std::size_t index) {
    return replies[std::min(index, replies.size() - 1)];
  });
}

void LoopbackServer::SetHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string LoopbackServer::Request(std::size_t i) const {
  std::lock_guard lock(mutex_);
  return i < requests_.size() ? requests_[i] : std::string();
}

bool LoopbackServer::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return requests_.size() >= count; });
}

std::size_t LoopbackServer::Connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

void LoopbackServer::Stop() {
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    for (auto& [s, unused] : open_) ShutdownSocket(s);
  }
  changed_.notify_all();
  ShutdownSocket(listener_);
  if (acceptor_.joinable()) acceptor_.join();
  CloseSocket(listener_);
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (std::thread& t : workers) t.join();
}

void LoopbackServer::AcceptLoop() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    // The time-out only guards against a shutdown that does not wake poll.
    if (PollOne(listener_, 100) <= 0) continue;
    NativeSocket c = accept(Native(listener_), nullptr, nullptr);
    Socket s = static_cast<Socket>(c);
    if (s == kNoSocket) continue;
    int one = 1;
    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      CloseSocket(s);
      return;
    }
    ++connections_;
    open_[s] = true;
    workers_.emplace_back([this, s] { Serve(s); });
  }
}

// Windows does not end a recv blocked in another thread when the socket is
// shut down, so connections wait in short slices and look at the stop flag.
bool LoopbackServer::WaitReadable(Socket s) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return false;
    }
    int ready = PollOne(s, 100);
    if (ready != 0) return ready > 0;
  }
}

bool LoopbackServer::PauseUnlessStopping(int ms) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

bool LoopbackServer::SendReply(Socket s, const Reply& reply) {
  std::size_t piece = reply.pieceSize == 0 ? reply.bytes.size() : reply.pieceSize;
  for (std::size_t at = 0; at < reply.bytes.size(); at += piece) {
    if (reply.pieceDelayMs > 0 && !PauseUnlessStopping(reply.pieceDelayMs)) return false;
    if (!SendAll(s, reply.bytes.data() + at, std::min(piece, reply.bytes.size() - at)))
      return false;
  }
  return true;
}

void LoopbackServer::Serve(Socket s) {
  std::string buffer;
  char chunk[65536];
  bool keepGoing = true;
  while (keepGoing) {
    std::size_t length = CompleteRequestLength(buffer);
    if (length == 0) {
      if (!WaitReadable(s)) break;
      int got = static_cast<int>(recv(Native(s), chunk, sizeof chunk, 0));
      if (got <= 0) break;
      buffer.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    std::string request = buffer.substr(0, length);
    buffer.erase(0, length);
    Handler handler;
    std::size_t index;
    {
      std::lock_guard lock(mutex_);
      index = requests_.size();
      requests_.push_back(request);
      handler = handler_;
    }
    changed_.notify_all();
    Reply reply = handler ? handler(request, index) : HttpReply(200, "OK", {}, "");
    if (!SendReply(s, reply)) break;
    if (reply.reset) {
      linger abort{1, 0};
      setsockopt(Native(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                 sizeof abort);
      break;
    }
    if (reply.hold) {
      // Silent until the client leaves or the server stops (which shuts the
      // socket down and so ends the recv).
      while (WaitReadable(s) && recv(Native(s), chunk, sizeof chunk, 0) > 0) {
      }
      break;
    }
    keepGoing = !reply.close;
  }
  std::lock_guard lock(mutex_);
  open_.erase(s);
  CloseSocket(s);
}

}  // namespace zoq::testing
