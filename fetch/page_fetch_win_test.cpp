// The page fetch's wait on Windows, where window events are the thread's real
// messages: MsgWaitForMultipleObjects wakes for them, and the pending-messages
// hook (the window layer's, here a plain dispatch loop) takes them out.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "fetch/fetch.h"
#include "platform/win32.h"
#include "runtime/core.h"
#include "tests/support/loopback_server.h"

namespace zoq::fetch {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::HttpReply;
using test::LoopbackServer;
using test::Reply;

// Stands in for the window layer: dispatches every queued message and counts
// what it saw.
class MessagePump {
 public:
  MessagePump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    rt::SetPendingMessagesHook([this] {
      ++calls;
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_APP) ++posted;
        if (m.message == WM_TIMER) ++ticks;
        DispatchMessageA(&m);
      }
    });
  }
  ~MessagePump() { rt::SetPendingMessagesHook({}); }
  int calls = 0, posted = 0, ticks = 0;
};

Reply Silent() {
  Reply r;
  r.hold = true;
  return r;
}

// Messages posted every 200 ms keep a 2-second quiet time from passing; it
// passes once they stop, and every one of them was dispatched by then.
TEST(PageFetchOnWindows, PostedMessagesAreDispatchedAndRestartTheQuietTime) {
  LoopbackServer server;
  server.Script({Silent()});
  MessagePump pump;
  const DWORD ui = GetCurrentThreadId();
  constexpr int kPosts = 5;
  std::thread poster([ui] {
    for (int i = 0; i < kPosts; ++i) {
      std::this_thread::sleep_for(milliseconds(200));
      PostThreadMessageA(ui, WM_APP, static_cast<WPARAM>(i), 0);
    }
  });
  Text headers = "untouched";
  const auto start = steady_clock::now();
  Bytes body = PageFetch(server.Url("/quiet"), "", "", "", "", "", "", 2, &headers);
  const auto waited = steady_clock::now() - start;
  poster.join();

  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");
  EXPECT_EQ(pump.posted, kPosts);
  EXPECT_GE(pump.calls, 2);  // at least one wake-up and the call after the wait
  // The last message came after 1 s, so 2 s of quiet end after 3 s at the earliest.
  EXPECT_GE(waited, milliseconds(2900));
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
}

// A timer of the user-interface thread (the clock's, say) keeps firing while
// a page is fetched, and the page still arrives.
TEST(PageFetchOnWindows, TimersKeepFiringWhileAPageIsFetched) {
  LoopbackServer server;
  server.SetHandler([](const std::string&, std::size_t) {
    std::this_thread::sleep_for(milliseconds(600));
    return HttpReply(200, "OK", {}, "<h2 class=\"title\">1.2</h2>");
  });
  MessagePump pump;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
  ASSERT_NE(timer, 0u);
  Bytes body = PageFetch(server.Url("/page"), "", "", "", "", "", "", 30);
  KillTimer(nullptr, timer);
  EXPECT_EQ(Text(body.begin(), body.end()), "<h2 class=\"title\">1.2</h2>");
  EXPECT_GE(pump.ticks, 3);
}

// Nothing to wait for at all: a server that never answers ends in the
// time-out, with nothing for the caller.
TEST(PageFetchOnWindows, ASilentServerEndsInTheTimeOut) {
  LoopbackServer server;
  server.Script({Silent()});
  MessagePump pump;
  Text headers = "untouched";
  const auto start = steady_clock::now();
  Bytes body = PageFetch(server.Url("/"), "", "", "", "", "", "", 1, &headers);
  EXPECT_GE(steady_clock::now() - start, milliseconds(950));
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");
  EXPECT_GE(pump.calls, 1);
  ASSERT_TRUE(server.WaitForRequests(1, 1000));
}

// The send of an abandoned worker may return long after the time-out (Wine
// does not end it when the handles are closed); what it reads then must not
// come out of the next fetch's transfer.
TEST(PageFetchOnWindows, ALateWorkerLeavesTheNextFetchAlone) {
  LoopbackServer server;
  std::mutex m;
  std::condition_variable cv;
  bool answerLate = false;
  std::string body(200000, 'n');
  server.SetHandler([&](const std::string& request, std::size_t) {
    if (request.rfind("GET /slow ", 0) == 0) {
      std::unique_lock lock(m);
      cv.wait(lock, [&] { return answerLate; });
      return HttpReply(200, "OK", {}, std::string(200000, 'x'));
    }
    {
      std::lock_guard lock(m);
      answerLate = true;
    }
    cv.notify_all();
    Reply r = HttpReply(200, "OK", {}, body);
    r.pieceSize = 4096;
    r.pieceDelayMs = 5;
    return r;
  });
  EXPECT_TRUE(PageFetch(server.Url("/slow"), "", "", "", "", "", "", 1).empty());
  Bytes next = PageFetch(server.Url("/next"), "", "", "", "", "", "", 30);
  EXPECT_EQ(Text(next.begin(), next.end()), body);
}

}  // namespace
}  // namespace zoq::fetch
