// The message wait through a window system's MessageWaiter.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "platform/wait.h"
#include "platform/win32.h"

namespace {

using namespace std::chrono_literals;

// Events are posted by the test from any thread; Wake() ends a wait as the
// window system's wake-up would.
class FakeWaiter : public zoq::platform::MessageWaiter {
 public:
  FakeWaiter() { zoq::platform::SetMessageWaiter(this); }
  ~FakeWaiter() override { zoq::platform::SetMessageWaiter(nullptr); }

  void Post() {
    std::lock_guard lock(mutex_);
    ++posted_;
    changed_.notify_all();
  }
  bool WaitForEvents(int timeoutMs) override {
    std::unique_lock lock(mutex_);
    ++waits_;
    lastTimeout_ = timeoutMs;
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return posted_ > 0 || woken_; });
    bool events = posted_ > 0;
    posted_ = 0;
    woken_ = false;
    return events;
  }
  void Wake() override {
    std::lock_guard lock(mutex_);
    woken_ = true;
    ++wakes_;
    changed_.notify_all();
  }
  int waits() {
    std::lock_guard lock(mutex_);
    return waits_;
  }
  int wakes() {
    std::lock_guard lock(mutex_);
    return wakes_;
  }
  int lastTimeout() {
    std::lock_guard lock(mutex_);
    return lastTimeout_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int posted_ = 0;
  bool woken_ = false;
  int waits_ = 0;
  int wakes_ = 0;
  int lastTimeout_ = -1;
};

// A worker that runs until the test lets it end.
class Worker {
 public:
  Worker() : handle_(CreateThread(nullptr, 0, &Worker::Run, this, 0, nullptr)) {}
  ~Worker() {
    Finish();
    MsgWaitForMultipleObjects(1, &handle_, FALSE, INFINITE, 0);
    CloseHandle(handle_);
  }
  void Finish() {
    if (!finished_) {
      finished_ = true;
      release_.set_value();
    }
  }
  HANDLE handle() const { return handle_; }

 private:
  static DWORD WINAPI Run(LPVOID self) {
    static_cast<Worker*>(self)->gate_.wait();
    return 0;
  }
  std::promise<void> release_;
  std::shared_future<void> gate_ = release_.get_future().share();
  bool finished_ = false;
  HANDLE handle_;
};

TEST(MessageWait, EventsForTheWaitingThreadEndTheWait) {
  FakeWaiter waiter;
  Worker worker;
  HANDLE h = worker.handle();
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    waiter.Post();
  });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 10000, QS_ALLEVENTS), WAIT_OBJECT_0 + 1);
  poster.join();
  EXPECT_GE(waiter.waits(), 1);
}

TEST(MessageWait, ThreadEndWakesTheWaiter) {
  FakeWaiter waiter;
  Worker worker;
  HANDLE h = worker.handle();
  std::thread finisher([&] {
    std::this_thread::sleep_for(20ms);
    worker.Finish();
  });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLEVENTS), WAIT_OBJECT_0);
  finisher.join();
  EXPECT_GE(waiter.wakes(), 1);
}

TEST(MessageWait, TimesOutWithinTheWaiterAndHandsItTheTimeLeft) {
  FakeWaiter waiter;
  Worker worker;
  HANDLE h = worker.handle();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 60, QS_ALLEVENTS), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
  EXPECT_GE(waiter.waits(), 1);
  EXPECT_GT(waiter.lastTimeout(), 0);
  EXPECT_LE(waiter.lastTimeout(), 60);
}

TEST(MessageWait, AnEndedThreadWinsOverPendingEvents) {
  FakeWaiter waiter;
  Worker worker;
  HANDLE h = worker.handle();
  worker.Finish();
  // Let it end, without the waiter: mask 0 leaves input out.
  ASSERT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, 0), WAIT_OBJECT_0);
  waiter.Post();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 1000, QS_ALLEVENTS), WAIT_OBJECT_0);
}

TEST(MessageWait, OnlyTheRegisteringThreadWaitsInTheWaiter) {
  FakeWaiter waiter;
  Worker worker;
  HANDLE h = worker.handle();
  // Another thread's wait is not disturbed by this thread's events.
  auto result = std::async(std::launch::async, [h] {
    return MsgWaitForMultipleObjects(1, &h, FALSE, 10000, QS_ALLEVENTS);
  });
  waiter.Post();
  std::this_thread::sleep_for(20ms);
  worker.Finish();
  EXPECT_EQ(result.get(), WAIT_OBJECT_0);
  EXPECT_EQ(waiter.waits(), 0);
}

TEST(MessageWait, WithoutAWaiterOnlyTheThreadOrTheTimeEndsTheWait) {
  Worker worker;
  HANDLE h = worker.handle();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 30, QS_ALLEVENTS), WAIT_TIMEOUT);
  worker.Finish();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLEVENTS), WAIT_OBJECT_0);
}

TEST(MessageWait, BadArgumentsFail) {
  Worker worker;
  HANDLE h = worker.handle();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_ALLEVENTS), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, TRUE, 0, QS_ALLEVENTS), WAIT_FAILED);
  HANDLE bogus = reinterpret_cast<HANDLE>(0x1234);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &bogus, FALSE, 0, QS_ALLEVENTS), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // A thread that cannot start leaves nothing behind.
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
