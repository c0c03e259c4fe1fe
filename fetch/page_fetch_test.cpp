// PageFetch's wait: quiet time, message dispatch, time-out and abandonment.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "fetch/fetch.h"
#include "runtime/core.h"
#include "support/loopback_server.h"
#include "support/test_waiter.h"

namespace zoq::fetch {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using zoq::testing::HttpReply;
using zoq::testing::LoopbackServer;

Text AsText(const Bytes& b) { return Text(b.begin(), b.end()); }

// Counts the calls of the pending-messages hook for one test.
class HookCounter {
 public:
  explicit HookCounter(std::function<void(int)> also = {}) : also_(std::move(also)) {
    rt::SetPendingMessagesHook([this] {
      int n = ++calls_;
      if (also_) also_(n);
    });
  }
  ~HookCounter() { rt::SetPendingMessagesHook(nullptr); }
  int calls() const { return calls_; }

 private:
  std::function<void(int)> also_;
  std::atomic<int> calls_{0};
};

// A gate a server handler waits at until the test opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> guard(lock_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, std::chrono::seconds(20), [&] { return open_; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;
};

// A server that takes the request and never answers.
zoq::testing::Reply Silence() {
  zoq::testing::Reply r;
  r.hold = true;
  return r;
}

#ifdef __linux__
int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}
#endif

TEST(PageFetchWait, MessagesAreDispatchedAfterEveryWakeAndOnceAtTheEnd) {
#ifdef _WIN32
  GTEST_SKIP() << "window events come from the real message queue here";
#endif
  LoopbackServer server;
  Gate answer;
  server.SetHandler([&](const std::string&, std::size_t) {
    answer.Wait();  // the worker cannot finish before the three wakes
    return HttpReply(200, "OK", {}, "done");
  });
  zoq::testing::TestWaiter waiter;
  waiter.PostImmediately(3);
  HookCounter hook([&](int n) {
    if (n == 3) answer.Open();
  });
  EXPECT_EQ(AsText(PageFetch(server.Url("/"))), "done");
  EXPECT_EQ(hook.calls(), 4);  // three wakes, then the worker's end
}

TEST(PageFetchWait, EventsDuringTheWaitExtendTheTimeOut) {
#ifdef _WIN32
  GTEST_SKIP() << "window events come from the real message queue here";
#endif
  LoopbackServer server;
  server.Script({Silence()});
  zoq::testing::TestWaiter waiter;
  HookCounter hook;
  std::atomic<bool> stop{false};
  std::atomic<Clock::rep> lastPost{0};
  const auto start = Clock::now();
  std::thread poster([&] {
    // Events every 250 ms for 1.5 s: each is shorter than the 1 s time-out.
    for (int i = 0; i < 6 && !stop; ++i) {
      std::this_thread::sleep_for(milliseconds(250));
      lastPost = Clock::now().time_since_epoch().count();
      waiter.Post();
    }
  });
  Text headers = "old";
  Bytes body = PageFetch(server.Url("/"), "", "", "", "", "", "", 1, &headers);
  const auto end = Clock::now();
  stop = true;
  poster.join();
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");
  // The time-out counts from the last event, not from the start.
  const auto last = Clock::time_point(Clock::duration(lastPost.load()));
  EXPECT_GE(end - start, milliseconds(1500 + 1000 - 20));
  EXPECT_GE(end - last, milliseconds(1000 - 20));
  EXPECT_GE(hook.calls(), 2);
}

TEST(PageFetchWait, ASilentServerTimesOutAndTheWorkerIsAbandoned) {
  LoopbackServer server;
  server.Script({Silence()});
#ifdef __linux__
  const int threadsBefore = ThreadCount();
#endif
  HookCounter hook;
  Text headers = "old";
  const auto start = Clock::now();
  Bytes body = PageFetch(server.Url("/"), "", "", "", "", "", "", 1, &headers);
  EXPECT_GE(Clock::now() - start, milliseconds(1000 - 20));
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");
  EXPECT_EQ(hook.calls(), 1);  // nothing woke the wait before the time-out
  EXPECT_TRUE(server.WaitForRequests(1, 0));
#ifdef __linux__
  // The cancelled worker, and with it the server's connection thread, end on
  // their own; a worker left blocked would keep both alive.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (ThreadCount() > threadsBefore && Clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_LE(ThreadCount(), threadsBefore);
#endif
}

TEST(PageFetchWait, AnAnswerAfterTheTimeOutReachesNothing) {
  LoopbackServer server;
  Gate late;
  server.SetHandler([&](const std::string&, std::size_t index) {
    if (index == 0) {
      late.Wait();
      return HttpReply(200, "OK", {"Set-Cookie: late=1"}, "too late");
    }
    return HttpReply(200, "OK", {}, "");
  });
  Text headers;
  EXPECT_TRUE(PageFetch(server.Url("/slow"), "", "", "", "", "", "", 1, &headers).empty());
  EXPECT_EQ(headers, "");
  late.Open();
  // Whatever the abandoned worker still does, its cookie never lands in the
  // store that a later request would send.
  std::this_thread::sleep_for(milliseconds(100));
  PageFetch(server.Url("/next"), "", "", "", "", "", "", 0, nullptr, "mine=1");
  ASSERT_TRUE(server.WaitForRequests(2, 5000));
  std::string cookie = zoq::testing::ParseRequest(server.Request(1)).Header("Cookie");
  EXPECT_NE(cookie.find("mine=1"), std::string::npos);
  EXPECT_EQ(cookie.find("late=1"), std::string::npos);
}

TEST(PageFetchWait, AHandlerMayFetchWhileAFetchWaits) {
#ifdef _WIN32
  GTEST_SKIP() << "window events come from the real message queue here";
#endif
  LoopbackServer server;
  Gate outerAnswer;
  server.SetHandler([&](const std::string& request, std::size_t) {
    if (request.rfind("GET /outer ", 0) == 0) {
      outerAnswer.Wait();
      return HttpReply(200, "OK", {}, "outer");
    }
    return HttpReply(200, "OK", {}, "inner");
  });
  zoq::testing::TestWaiter waiter;
  waiter.PostImmediately(1);
  Text inner;
  bool nested = false;
  HookCounter hook([&](int n) {
    if (n != 1) return;
    nested = true;
    inner = AsText(PageFetch(server.Url("/inner")));  // as a click handler might
    nested = false;
    outerAnswer.Open();
  });
  EXPECT_EQ(AsText(PageFetch(server.Url("/outer"))), "outer");
  EXPECT_EQ(inner, "inner");
  EXPECT_FALSE(nested);
}

// A fetch started early says whether its answer is in without waiting for
// it, and Take then hands it over once.
TEST(PageFetchWait, AStartedFetchSaysWhenItsAnswerIsIn) {
  LoopbackServer server;
  Gate answer;
  server.SetHandler([&](const std::string&, std::size_t) {
    answer.Wait();
    return HttpReply(200, "OK", {}, "page");
  });
  StartedFetch started(server.Url("/"));
  ASSERT_TRUE(server.WaitForRequests(1, 5000));
  EXPECT_FALSE(started.Answered());
  answer.Open();
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
  while (!started.Answered() && Clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_TRUE(started.Answered());
  EXPECT_EQ(AsText(started.Take()), "page");
  EXPECT_FALSE(started.Answered());
  EXPECT_TRUE(started.Take().empty());
}

TEST(PageFetchWait, ManyFetchesInARowLeaveNothingBehind) {
  LoopbackServer server;
  server.Script({HttpReply(200, "OK", {}, "x")});
  for (int i = 0; i < 20; ++i) EXPECT_EQ(AsText(PageFetch(server.Url("/"))), "x");
  // Every packet file was closed: a fresh file gets a number no reply went to.
  rt::FileNumber probe = rt::FileCreate();
  EXPECT_EQ(rt::FileLength(probe), 0);
  rt::FileClose(probe);
  for (rt::FileNumber n = probe - 1; n > 0 && n > probe - 41; --n) EXPECT_EQ(rt::FileLength(n), 0);
}

}  // namespace
}  // namespace zoq::fetch
