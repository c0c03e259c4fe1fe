// A stand-in for the window system's message waiter in the fetch tests:
// events are "posted" by the test, from any thread, and wake the waiting
// PageFetch exactly as window messages would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/wait.h"

namespace zoq::testing {

class TestWaiter : public platform::MessageWaiter {
 public:
  // Registers itself for the calling thread, which must be the one that
  // calls PageFetch; unregisters on destruction.
  TestWaiter() { platform::SetMessageWaiter(this); }
  ~TestWaiter() override { platform::SetMessageWaiter(nullptr); }

  // One window event for the waiting thread.
  void Post() {
    std::lock_guard<std::mutex> guard(lock_);
    ++posted_;
    changed_.notify_all();
  }

  // The next `count` waits see an event at once.
  void PostImmediately(int count) {
    std::lock_guard<std::mutex> guard(lock_);
    immediate_ += count;
  }

  int Waits() {
    std::lock_guard<std::mutex> guard(lock_);
    return waits_;
  }

  bool WaitForEvents(int timeoutMs) override {
    std::unique_lock<std::mutex> guard(lock_);
    ++waits_;
    if (immediate_ > 0) {
      --immediate_;
      return true;
    }
    changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                      [&] { return posted_ > 0 || woken_; });
    woken_ = false;
    bool events = posted_ > 0;
    posted_ = 0;
    return events;
  }

  void Wake() override {
    std::lock_guard<std::mutex> guard(lock_);
    woken_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int posted_ = 0;
  int immediate_ = 0;
  int waits_ = 0;
  bool woken_ = false;
};

}  // namespace zoq::testing
