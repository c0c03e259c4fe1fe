// Servers that misbehave: every fetch must end with the documented result,
// without a crash and without memory growing with what the server sends.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "fetch/fetch.h"
#include "support/test_waiter.h"
#include "raw_server.h"

namespace zoq {
namespace {

using fetch::PageFetch;

using hostile::Connection;
using hostile::RawServer;
using namespace std::chrono_literals;

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

Bytes AsBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

constexpr std::int32_t kShortTimeout = 1;  // seconds

// AddressSanitizer writes shadow memory for every allocation, an eighth of
// its size, touched or not; its peak memory figures carry that on top.
// It also holds freed memory back, up to 256 MiB, before reusing it.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kShadowSlackKiB = 64 * 1024;
constexpr long kQuarantineKiB = 256 * 1024;
#else
constexpr long kShadowSlackKiB = 0;
constexpr long kQuarantineKiB = 0;
#endif

// One byte a second is not progress the caller waits for: without window
// messages arriving, the quiet time runs out and the fetch gives up.
TEST(HostileServer, DripFeedTimesOutEmpty) {
  RawServer server([](Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n")) return;
    for (int i = 0; i < 100; ++i)
      if (!c.Pause(1000ms) || !c.Send("x")) return;
  });
  Text headers = "stale";
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, kShortTimeout, &headers);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(headers.empty());
  EXPECT_EQ(server.Requests(), 1);
  // The abandoned transfer is dropped, not left trickling in the background.
  EXPECT_TRUE(server.WaitForClientGone(10s));
}

// The time-out is quiet time on the waiting side: while window messages
// keep arriving, a drip slower than the time-out still completes.
TEST(HostileServer, DripFeedCompletesWhileMessagesKeepArriving) {
  RawServer server([](Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n")) return;
    for (char byte : std::string("abc"))
      if (!c.Pause(800ms) || !c.Send(std::string(1, byte))) return;
  });
  zoq::testing::TestWaiter waiter;
  std::atomic<bool> done{false};
  std::thread messages([&] {
    while (!done) {
      std::this_thread::sleep_for(200ms);
      waiter.Post();
    }
  });
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, kShortTimeout);
  done = true;
  messages.join();
  EXPECT_EQ(body, AsBytes("abc"));
  EXPECT_GT(waiter.Waits(), 3);
}

// A body that never ends, without a length or with one it never honours:
// the fetch fails, and its worker stops reading instead of buffering the
// stream. A trickle is ended by the time-out; a flood by the 256 MiB bound,
// long before the time-out.
TEST(HostileServer, EndlessBodyIsDroppedAtTheTimeOutOrAtTheBound) {
  std::atomic<long> sent{0};
  RawServer trickle([&](Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")) return;
    const std::string chunk(64 * 1024, 'z');
    // About 12 MiB a second: enough to notice buffering, little enough to
    // keep the test's memory small.
    while (c.Send(chunk) && c.Pause(5ms)) sent += static_cast<long>(chunk.size());
  });
  long before = PeakRssKiB();
  Text headers;
  Bytes body = PageFetch(trickle.Url(), {}, {}, {}, {}, {}, {}, kShortTimeout, &headers);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(trickle.WaitForClientGone(10s));
  const long sentWhenDropped = sent.load();
  EXPECT_GT(sentWhenDropped, 0);
  // Nothing holds the stream beyond what arrived before the time-out, and a
  // few copies of that at most.
  EXPECT_LT(PeakRssKiB() - before, 4 * sentWhenDropped / 1024 + 64 * 1024);

  constexpr long kBound = 256L << 20;
  std::atomic<long> flooded{0};
  RawServer flood([&](Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\n")) return;
    const std::string chunk(1 << 20, 'f');
    // Past the bound at full speed, then a byte now and then: a client
    // without the bound waits for its time-out rather than for its memory.
    while (flooded < kBound + (64L << 20) && c.Send(chunk)) flooded += 1 << 20;
    while (c.Pause(100ms) && c.Send("f")) ++flooded;
  });
  constexpr std::int32_t kLongTimeout = 30;  // seconds
  before = PeakRssKiB();
  headers = "stale";
  const auto start = std::chrono::steady_clock::now();
  body = PageFetch(flood.Url(), {}, {}, {}, {}, {}, {}, kLongTimeout, &headers);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(kLongTimeout / 2));
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(headers.empty());
  EXPECT_TRUE(flood.WaitForClientGone(10s));
  EXPECT_GT(flooded.load(), kBound);
  // The bound and the last doubling of the buffer below it, no more.
  EXPECT_LT(PeakRssKiB() - before,
            (kBound + kBound / 2) / 1024 + kShadowSlackKiB + kQuarantineKiB);
}

// Header lines that never end: the HTTP layer refuses a header block beyond
// a few hundred kilobytes, or else the time-out ends it; either way nothing
// arrives, and the block being collected is dropped with the transfer.
TEST(HostileServer, EndlessHeaderLinesGiveNothingAndAreDropped) {
  std::atomic<long> sent{0};
  RawServer server([&](Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\n")) return;
    std::string lines;
    for (int i = 0; i < 1000; ++i) lines += "X-Filler-" + std::to_string(i) + ": abcdefgh\r\n";
    while (c.Send(lines) && c.Pause(5ms)) sent += static_cast<long>(lines.size());
  });
  const long before = PeakRssKiB();
  Text headers = "stale";
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, kShortTimeout, &headers);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(headers.empty());
  EXPECT_TRUE(server.WaitForClientGone(10s));
  EXPECT_GT(sent.load(), 0);
  EXPECT_LT(PeakRssKiB() - before, 4 * sent.load() / 1024 + 64 * 1024);
}

// A reply that is not HTTP at all gives the failure result: an empty body.
TEST(HostileServer, GarbageStatusLineGivesEmptyBody) {
  RawServer server([](Connection& c) {
    c.Send("SPLAT \x01\x02\xff garbage\r\nno: headers\r\n\r\nthis is not a body");
  });
  Text headers = "stale";
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 5, &headers);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(headers.empty()) << headers;
  EXPECT_EQ(server.Requests(), 1);
}

TEST(HostileServer, BinaryJunkWithoutLineBreaksGivesEmptyBody) {
  RawServer server([](Connection& c) {
    std::string junk(200000, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 131 + 7);
    c.Send(junk);
  });
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 5);
  EXPECT_TRUE(body.empty());
}

// A redirect loop ends by itself, well before the time-out, after a bounded
// number of requests, as a failed fetch: no body and no header block.
TEST(HostileServer, RedirectLoopEndsAfterBoundedRequests) {
  RawServer server([](Connection& c) {
    c.Send("HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 4\r\n"
           "Connection: close\r\n\r\nloop");
  });
  Text headers = "stale";
  const Bytes body = PageFetch(server.Url("/loop"), {}, {}, {}, {}, {}, {}, 60, &headers);
  EXPECT_GE(server.Requests(), 2);
  EXPECT_LE(server.Requests(), 20);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(headers.empty()) << headers;
}

// Two servers sending the client to each other: the same bound.
TEST(HostileServer, RedirectPingPongEndsAfterBoundedRequests) {
  std::string toA, toB;  // set before the first request arrives
  auto bounce = [](const std::string& to) {
    return [&to](Connection& c) {
      c.Send("HTTP/1.1 301 Moved\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n");
    };
  };
  RawServer a(bounce(toB));
  RawServer b(bounce(toA));
  toA = a.Url("/a");
  toB = b.Url("/b");
  const Bytes body = PageFetch(toA, {}, {}, {}, {}, {}, {}, 60);
  EXPECT_TRUE(body.empty());
  EXPECT_GE(b.Requests(), 1);
  EXPECT_LE(a.Requests() + b.Requests(), 20);
}

// A thousand Set-Cookie lines: the whole header block is kept, and the
// cookie store keeps a bounded number of them, the newest.
TEST(HostileServer, ThousandCookiesAreHandled) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
  for (int i = 0; i < 1000; ++i)
    head += "Set-Cookie: c" + std::to_string(i) + "=v" + std::to_string(i) + "; path=/\r\n";
  head += "\r\nok";
  std::mutex mutex;
  std::string lastRequest;
  RawServer server([&](Connection& c) {
    {
      std::lock_guard lock(mutex);
      lastRequest = c.Request();
    }
    c.Send(head);
  });
  const long before = PeakRssKiB();
  Text headers;
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 10, &headers);
  EXPECT_EQ(body, AsBytes("ok"));
  EXPECT_NE(headers.find("Set-Cookie: c0=v0; path=/"), Text::npos);
  EXPECT_NE(headers.find("Set-Cookie: c999=v999; path=/"), Text::npos);

  // A request that takes part in cookies sends back what the store kept.
  PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 10, nullptr, "mine=1");
  std::lock_guard lock(mutex);
  const auto cookieLine = lastRequest.find("c999=v999");
  EXPECT_NE(cookieLine, std::string::npos) << lastRequest.substr(0, 300);
  EXPECT_EQ(lastRequest.find("c0=v0"), std::string::npos);
  EXPECT_LT(lastRequest.size(), 64u * 1024);
  EXPECT_LT(PeakRssKiB() - before, 64 * 1024);
}

// A reset in the middle of the body: the fetch ends with what arrived, a
// beginning of what was sent, and never more.
TEST(HostileServer, ResetMidBodyKeepsAPrefix) {
  std::string sentBody(50000, '\0');
  for (std::size_t i = 0; i < sentBody.size(); ++i)
    sentBody[i] = static_cast<char>('a' + i % 26);
  RawServer server([&](Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n") || !c.Send(sentBody))
      return;
    c.Pause(100ms);
    c.Reset();
  });
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 10);
  RecordProperty("bytes_kept", static_cast<int>(body.size()));
  ASSERT_LE(body.size(), sentBody.size());
  EXPECT_EQ(std::string(body.begin(), body.end()), sentBody.substr(0, body.size()));
}

// A length announced far beyond what comes: the few bytes that came are the
// body, and memory follows what arrived, not what was announced.
TEST(HostileServer, HugeAnnouncedLengthCostsOnlyWhatArrives) {
  for (const char* length : {"268435456", "99999999999999999999999", "-5"}) {
    RawServer server([length](Connection& c) {
      c.Send(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + length + "\r\n\r\ntiny");
    });
    const long before = PeakRssKiB();
    const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 10);
    const std::string got(body.begin(), body.end());
    EXPECT_EQ(std::string("tiny").substr(0, got.size()), got) << length;
    EXPECT_LT(PeakRssKiB() - before, 32 * 1024 + kShadowSlackKiB) << length;
  }
}

// A connection closed before the announced length arrived ends the same way.
TEST(HostileServer, ShortBodyKeepsWhatArrived) {
  RawServer server([](Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly this");
  });
  const Bytes body = PageFetch(server.Url(), {}, {}, {}, {}, {}, {}, 10);
  const std::string got(body.begin(), body.end());
  EXPECT_EQ(std::string("only this").substr(0, got.size()), got);
}

}  // namespace
}  // namespace zoq
