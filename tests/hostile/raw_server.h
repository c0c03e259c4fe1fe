// A loopback TCP server that misbehaves on purpose: each connection runs a
// script that writes whatever bytes, at whatever pace, and ends the
// connection however the test wants (close, reset, never).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace zoq::hostile {

class RawServer;

// One accepted connection, handed to the script after its request head
// (everything up to the blank line) has arrived.
class Connection {
 public:
  const std::string& Request() const { return request_; }
  // Writes all of `data`; false once the client has gone or the server stops.
  bool Send(std::string_view data);
  // Sleeps; false when the server stops meanwhile.
  bool Pause(std::chrono::milliseconds duration);
  // Ends the connection with a TCP reset instead of an orderly close.
  void Reset();

 private:
  friend class RawServer;
  Connection(RawServer& server, int fd) : server_(server), fd_(fd) {}
  RawServer& server_;
  int fd_;
  bool reset_ = false;
  std::string request_;
};

class RawServer {
 public:
  using Script = std::function<void(Connection&)>;

  // Listens on 127.0.0.1 at a port the system chooses.
  explicit RawServer(Script script);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const { return port_; }
  std::string Url(std::string_view path = "/") const;

  int Requests() const { return requests_.load(); }
  // True once a client went away while a script was still writing to it,
  // within `limit`; tells that an abandoned transfer was really dropped.
  bool WaitForClientGone(std::chrono::milliseconds limit);

 private:
  friend class Connection;
  void AcceptLoop();
  void Serve(int fd);
  void NoteClientGone();

  Script script_;
  int listener_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable changed_;
  struct Handler {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::list<Handler> handlers_;  // finished ones are joined at the next accept
  bool clientGone_ = false;
};

}  // namespace zoq::hostile
