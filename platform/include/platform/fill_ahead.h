// A buffer written front to back, such as a body being received: its memory
// is readied a step ahead of the writer, more cheaply than page by page as
// the writer first touches it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zoq::platform {

class FillAhead {
 public:
  // Before writing [at, at + length) of the buffer [data, data + size);
  // cheap unless that passes the end of what is ready. Contents are
  // unchanged. A buffer at another address counts as a new one.
#ifdef _WIN32
  void Before(std::uint8_t*, std::size_t, std::size_t, std::size_t) {}
#else
  void Before(std::uint8_t* data, std::size_t size, std::size_t at, std::size_t length) {
    if (data != data_ || at + length > readyTo_) Step(data, size, at);
  }

 private:
  void Step(std::uint8_t* data, std::size_t size, std::size_t at);
  std::uint8_t* data_ = nullptr;
  std::size_t readyTo_ = 0;
  bool smallPagesOnly_ = false;
#endif
};

}  // namespace zoq::platform
