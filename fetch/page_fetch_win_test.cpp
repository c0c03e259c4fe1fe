// The page fetch's wait on Windows, where window events are the thread's real
// messages: MsgWaitForMultipleObjects wakes for them, and the pending-messages
// hook (the window layer's, here a plain dispatch loop) takes them out.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fetch/fetch.h"
#include "platform/win32.h"
#include "runtime/core.h"
#include "support/import_hook.h"
#include "support/loopback_server.h"

// WinINet is delay-loaded: its slots are not in the import directory.
ZOQ_IMPORT_SLOT(InternetOpenA);
ZOQ_IMPORT_SLOT(InternetConnectA);
ZOQ_IMPORT_SLOT(HttpOpenRequestA);
ZOQ_IMPORT_SLOT(HttpSendRequestA);
ZOQ_IMPORT_SLOT(HttpQueryInfoA);
ZOQ_IMPORT_SLOT(InternetReadFile);
ZOQ_IMPORT_SLOT(InternetCloseHandle);

namespace zoq::fetch {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using zoq::testing::HttpReply;
using zoq::testing::LoopbackServer;
using zoq::testing::Reply;
using zoq::testing::ImportHook;

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

// The wake masks PageFetch waits with.
std::atomic<int> waits{0};
std::atomic<DWORD> otherMask{0};
DWORD WINAPI RecordingWait(DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask) {
  ++waits;
  if (mask != 0x04BF) otherMask = mask;
  ZOQ_REAL("user32.dll", MsgWaitForMultipleObjects);
  return real(count, handles, all, ms, mask);
}

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
  Bytes body;
  {
    // Exactly the keys, mouse, raw input, posted messages, timers, painting
    // and hot keys; not the pointer and touch input of QS_ALLEVENTS today.
    ImportHook hook("user32.dll", "MsgWaitForMultipleObjects",
                    reinterpret_cast<void*>(&RecordingWait));
    ASSERT_TRUE(hook.Installed());
    body = PageFetch(server.Url("/quiet"), "", "", "", "", "", "", 2, &headers);
  }
  const auto waited = steady_clock::now() - start;
  poster.join();
  EXPECT_GT(waits.load(), kPosts);
  EXPECT_EQ(otherMask.load(), 0u) << std::hex << otherMask.load();

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

// Which thread opened each WinINet handle still open, and how often a call
// used a handle that was closed or another thread's.
struct HandleUse {
  std::mutex lock;
  std::map<HINTERNET, DWORD> open;
  int opened = 0;
  int stale = 0;
};
HandleUse& Uses() {
  static HandleUse* uses = new HandleUse;  // late workers may call in at any time
  return *uses;
}
HINTERNET Opened(HINTERNET h) {
  std::lock_guard guard(Uses().lock);
  if (h) Uses().open[h] = GetCurrentThreadId();
  ++Uses().opened;
  return h;
}
void Use(HINTERNET h) {
  std::lock_guard guard(Uses().lock);
  auto it = Uses().open.find(h);
  if (it == Uses().open.end() || it->second != GetCurrentThreadId()) ++Uses().stale;
}
HINTERNET WINAPI HookedOpen(LPCSTR a, DWORD t, LPCSTR p, LPCSTR b, DWORD f) {
  ZOQ_REAL("wininet.dll", InternetOpenA);
  return Opened(real(a, t, p, b, f));
}
HINTERNET WINAPI HookedConnect(HINTERNET h, LPCSTR s, INTERNET_PORT p, LPCSTR u, LPCSTR w,
                                DWORD v, DWORD f, DWORD_PTR c) {
  Use(h);
  ZOQ_REAL("wininet.dll", InternetConnectA);
  return Opened(real(h, s, p, u, w, v, f, c));
}
HINTERNET WINAPI HookedOpenRequest(HINTERNET h, LPCSTR v, LPCSTR o, LPCSTR r, LPCSTR x, LPCSTR* a,
                             DWORD f, DWORD_PTR c) {
  Use(h);
  ZOQ_REAL("wininet.dll", HttpOpenRequestA);
  return Opened(real(h, v, o, r, x, a, f, c));
}
BOOL WINAPI HookedSend(HINTERNET h, LPCSTR x, DWORD n, LPVOID d, DWORD m) {
  Use(h);
  ZOQ_REAL("wininet.dll", HttpSendRequestA);
  return real(h, x, n, d, m);
}
BOOL WINAPI HookedQuery(HINTERNET h, DWORD l, LPVOID b, LPDWORD n, LPDWORD i) {
  Use(h);
  ZOQ_REAL("wininet.dll", HttpQueryInfoA);
  return real(h, l, b, n, i);
}
BOOL WINAPI HookedRead(HINTERNET h, LPVOID b, DWORD n, LPDWORD got) {
  Use(h);
  ZOQ_REAL("wininet.dll", InternetReadFile);
  return real(h, b, n, got);
}
// Any thread may close a handle (a time-out closes the worker's), but only
// one that is open.
BOOL WINAPI HookedClose(HINTERNET h) {
  {
    std::lock_guard guard(Uses().lock);
    if (Uses().open.erase(h) == 0) ++Uses().stale;
  }
  ZOQ_REAL("wininet.dll", InternetCloseHandle);
  return real(h);
}

// The send of an abandoned worker may return long after the time-out (Wine
// does not end it when the handles are closed); it must not touch its closed
// handles again, whose values Windows hands to the next ones opened, and what
// it reads must not come out of the next fetch's transfer.
TEST(PageFetchOnWindows, ALateWorkerLeavesTheNextFetchAlone) {
  std::vector<std::unique_ptr<ImportHook>> hooks;
  auto fn = [](auto* f) { return reinterpret_cast<void*>(f); };
  for (auto [slot, hook] : {std::pair{&__imp_InternetOpenA, fn(&HookedOpen)},
                            {&__imp_InternetConnectA, fn(&HookedConnect)},
                            {&__imp_HttpOpenRequestA, fn(&HookedOpenRequest)},
                            {&__imp_HttpSendRequestA, fn(&HookedSend)},
                            {&__imp_HttpQueryInfoA, fn(&HookedQuery)},
                            {&__imp_InternetReadFile, fn(&HookedRead)},
                            {&__imp_InternetCloseHandle, fn(&HookedClose)}}) {
    hooks.push_back(std::make_unique<ImportHook>(slot, hook));
  }
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
  std::this_thread::sleep_for(milliseconds(500));  // the late worker is done by now
  std::lock_guard guard(Uses().lock);
  EXPECT_GE(Uses().opened, 6);  // the hooks saw both fetches
  EXPECT_EQ(Uses().stale, 0);
}

}  // namespace
}  // namespace zoq::fetch
