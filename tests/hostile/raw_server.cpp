#include "raw_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zoq::hostile {

namespace {

constexpr int kSliceMs = 20;  // how often blocked calls look at the stop flag

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

bool Connection::Send(std::string_view data) {
  while (!data.empty()) {
    if (server_.stopping_) return false;
    const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, kSliceMs);
      if (p.revents & (POLLERR | POLLHUP)) {
        server_.NoteClientGone();
        return false;
      }
      continue;
    }
    server_.NoteClientGone();
    return false;
  }
  return true;
}

bool Connection::Pause(std::chrono::milliseconds duration) {
  const auto until = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < until) {
    if (server_.stopping_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs / 2));
  }
  return !server_.stopping_;
}

void Connection::Reset() {
  linger l{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  reset_ = true;
}

RawServer::RawServer(Script script) : script_(std::move(script)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(listener_);
    throw std::runtime_error("bind/listen on 127.0.0.1");
  }
  port_ = ntohs(addr.sin_port);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  (void)!::write(wakeWrite_, "x", 1);
  acceptor_.join();
  std::list<Handler> handlers;
  {
    std::lock_guard lock(mutex_);
    handlers.swap(handlers_);
  }
  for (auto& h : handlers) h.thread.join();
  ::close(listener_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

std::string RawServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

bool RawServer::WaitForClientGone(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] { return clientGone_; });
}

void RawServer::NoteClientGone() {
  std::lock_guard lock(mutex_);
  clientGone_ = true;
  changed_.notify_all();
}

void RawServer::AcceptLoop() {
  while (!stopping_) {
    pollfd p[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) continue;
    if (p[1].revents) break;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    for (auto it = handlers_.begin(); it != handlers_.end();) {
      if (*it->done) {
        it->thread.join();
        it = handlers_.erase(it);
      } else {
        ++it;
      }
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    handlers_.push_back({std::thread([this, fd, done] {
                           Serve(fd);
                           *done = true;
                         }),
                         done});
  }
}

void RawServer::Serve(int fd) {
  SetNonBlocking(fd);
  Connection c(*this, fd);
  // The request head, then whatever body its Content-Length announces (a
  // POST); the scripts only look at the head.
  char buf[4096];
  while (!stopping_ && c.request_.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n > 0) {
      c.request_.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, kSliceMs);
    } else {
      break;  // the client closed before sending a whole request
    }
  }
  if (c.request_.find("\r\n\r\n") != std::string::npos) {
    ++requests_;
    script_(c);
  }
  if (!c.reset_) ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

}  // namespace zoq::hostile
