#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <random>
#include <thread>
#include <vector>

#include "runtime/core.h"

namespace zoq::rt {
namespace {

// A file that closes itself at the end of a test.
struct TempFile {
  FileNumber n = FileCreate();
  ~TempFile() { FileClose(n); }
};

Bytes B(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
  return out;
}

Bytes All(FileNumber f) {
  FileSeekStart(f);
  return FileReadRaw(f, INT32_MAX);
}

TEST(FileTyped, ValuesComeBackInOrder) {
  TempFile f;
  FileWriteText(f.n, "Vormtal");
  FileWriteInteger(f.n, -7);
  FileWriteInteger(f.n, INT32_MIN);
  FileWriteBytes(f.n, B({0, 1, 0, 255}));
  FileWriteText(f.n, "\xD6\xD0\xCE\xC4");
  FileWriteText(f.n, "");
  FileWriteBytes(f.n, Bytes{});
  FileWriteText(f.n, "last");

  FileSeekStart(f.n);
  EXPECT_EQ(FileReadText(f.n), "Vormtal");
  EXPECT_EQ(FileReadInteger(f.n), -7);
  EXPECT_EQ(FileReadInteger(f.n), INT32_MIN);
  EXPECT_EQ(FileReadBytes(f.n), B({0, 1, 0, 255}));
  EXPECT_EQ(FileReadText(f.n), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(FileReadText(f.n), "");
  EXPECT_EQ(FileReadBytes(f.n), Bytes{});
  EXPECT_EQ(FileReadText(f.n), "last");
  EXPECT_TRUE(FileAtEnd(f.n));
}

TEST(FileTyped, EncodingIsTypeByteLengthPayload) {
  TempFile f;
  FileWriteText(f.n, "ab");
  FileWriteInteger(f.n, 0x01020304);
  EXPECT_EQ(All(f.n), B({'T', 2, 0, 0, 0, 'a', 'b', 'I', 4, 0, 0, 0, 4, 3, 2, 1}));
}

TEST(FileTyped, BeyondTheEndReadsEmptyAndStaysAtTheEnd) {
  TempFile f;
  FileWriteText(f.n, "only");
  FileSeekStart(f.n);
  EXPECT_EQ(FileReadText(f.n), "only");
  EXPECT_EQ(FileReadText(f.n), "");
  EXPECT_EQ(FileReadBytes(f.n), Bytes{});
  EXPECT_EQ(FileReadInteger(f.n), 0);
  EXPECT_TRUE(FileAtEnd(f.n));
  // The position did not wander: the next write appends.
  FileWriteText(f.n, "more");
  FileSeekStart(f.n);
  EXPECT_EQ(FileReadText(f.n), "only");
  EXPECT_EQ(FileReadText(f.n), "more");
}

TEST(FileTyped, OtherTypeReadsEmptyAndIsSteppedOver) {
  TempFile f;
  FileWriteBytes(f.n, B({'x', 'y'}));
  FileWriteText(f.n, "second");
  FileWriteInteger(f.n, 5);
  FileSeekStart(f.n);
  EXPECT_EQ(FileReadText(f.n), "");
  EXPECT_EQ(FileReadText(f.n), "second");
  EXPECT_EQ(FileReadBytes(f.n), Bytes{});
  EXPECT_TRUE(FileAtEnd(f.n));
}

TEST(FileTyped, DamagedFramesReadEmptyAndMoveToTheEnd) {
  for (const Bytes& junk : {B({'T', 0xFF, 0xFF, 0xFF, 0x7F, 'a'}), B({'Q', 1, 0, 0, 0, 'a'}),
                            B({'T', 1, 0}), B({'I', 2, 0, 0, 0, 1, 2})}) {
    TempFile f;
    FileWriteRaw(f.n, junk);
    FileSeekStart(f.n);
    EXPECT_EQ(FileReadText(f.n), "");
    EXPECT_EQ(FileReadInteger(f.n), 0);
    EXPECT_TRUE(FileAtEnd(f.n));
    EXPECT_EQ(FileLength(f.n), static_cast<std::int32_t>(junk.size()));
  }
}

TEST(FileTyped, TextStopsAtAZeroByte) {
  TempFile f;
  FileWriteRaw(f.n, B({'T', 3, 0, 0, 0, 'a', 0, 'b'}));
  FileWriteText(f.n, "next");
  FileSeekStart(f.n);
  EXPECT_EQ(FileReadText(f.n), "a");
  EXPECT_EQ(FileReadText(f.n), "next");
}

TEST(FileRaw, LinesWithEitherBreak) {
  TempFile f;
  FileWriteRawText(f.n, "one\r\ntwo\n\nthree\r");
  FileSeekStart(f.n);
  EXPECT_EQ(FileReadLine(f.n), "one");
  EXPECT_EQ(FileReadLine(f.n), "two");
  EXPECT_EQ(FileReadLine(f.n), "");
  EXPECT_FALSE(FileAtEnd(f.n));
  EXPECT_EQ(FileReadLine(f.n), "three\r");  // no break follows: kept as is
  EXPECT_TRUE(FileAtEnd(f.n));
  EXPECT_EQ(FileReadLine(f.n), "");
}

TEST(FileRaw, ReadCountsAreClamped) {
  TempFile f;
  FileWriteRaw(f.n, B({1, 2, 3}));
  FileSeekStart(f.n);
  EXPECT_EQ(FileReadRaw(f.n, 0), Bytes{});
  EXPECT_EQ(FileReadRaw(f.n, -4), Bytes{});
  EXPECT_EQ(FileReadRaw(f.n, 2), B({1, 2}));
  EXPECT_EQ(FileReadRaw(f.n, 100), B({3}));
  EXPECT_EQ(FileReadRaw(f.n, 1), Bytes{});
}

TEST(FileRaw, WritesOverwriteThenGrow) {
  TempFile f;
  FileWriteRawText(f.n, "abcdef");
  FileSeekStart(f.n);
  FileWriteRawText(f.n, "XY");
  EXPECT_EQ(All(f.n), B({'X', 'Y', 'c', 'd', 'e', 'f'}));
  FileSeekStart(f.n);
  FileReadRaw(f.n, 4);
  FileWriteRawText(f.n, "1234");
  EXPECT_EQ(All(f.n), B({'X', 'Y', 'c', 'd', '1', '2', '3', '4'}));
}

TEST(FileRaw, DeleteAtThePosition) {
  TempFile f;
  FileWriteRawText(f.n, "abcdef");
  FileSeekStart(f.n);
  FileReadRaw(f.n, 1);
  FileDelete(f.n, 2);
  EXPECT_EQ(FileLength(f.n), 4);
  EXPECT_EQ(FileReadRaw(f.n, 1), B({'d'}));
  FileDelete(f.n, 0);
  FileDelete(f.n, -3);
  FileDelete(f.n, 99);
  EXPECT_EQ(All(f.n), B({'a', 'd'}));
  // Emptying the whole file, as the exchange does before its reply.
  FileSeekStart(f.n);
  FileDelete(f.n, FileLength(f.n));
  EXPECT_EQ(FileLength(f.n), 0);
  EXPECT_TRUE(FileAtEnd(f.n));
}

TEST(FileNumbers, ClosedNumbersDoNothingAndAreNeverReused) {
  FileNumber a = FileCreate();
  FileWriteText(a, "kept?");
  FileClose(a);
  FileNumber b = FileCreate();
  EXPECT_NE(a, b);
  EXPECT_GT(a, 0);
  FileWriteText(a, "lost");
  FileSeekStart(a);
  EXPECT_EQ(FileReadText(a), "");
  EXPECT_EQ(FileReadBytes(a), Bytes{});
  EXPECT_EQ(FileReadLine(a), "");
  EXPECT_EQ(FileTakeBytes(a), Bytes{});
  EXPECT_EQ(FileLength(a), 0);
  EXPECT_TRUE(FileAtEnd(a));
  EXPECT_EQ(FileLength(b), 0);  // nothing written to `a` reached `b`
  FileClose(a);                 // a second close is harmless
  FileClose(b);
  EXPECT_EQ(FileLength(0), 0);
  EXPECT_EQ(FileLength(-1), 0);
}

TEST(FileMove, LargeBytesMoveInAndOutWithoutACopy) {
  TempFile f;
  Bytes body(1 << 20, 0x5A);
  body.front() = 1;
  body.back() = 2;
  const std::uint8_t* buffer = body.data();
  FileWriteText(f.n, "Vormtal_OK");
  FileWriteText(f.n, "HTTP/1.1 200 OK\r\n\r\n");
  FileWriteBytes(f.n, std::move(body));
  FileWriteText(f.n, "after");

  FileSeekStart(f.n);
  EXPECT_EQ(FileReadText(f.n), "Vormtal_OK");
  EXPECT_EQ(FileReadText(f.n), "HTTP/1.1 200 OK\r\n\r\n");
  std::int32_t before = FileLength(f.n);
  Bytes out = FileTakeBytes(f.n);
  EXPECT_EQ(out.data(), buffer);
  ASSERT_EQ(out.size(), 1u << 20);
  EXPECT_EQ(out.front(), 1);
  EXPECT_EQ(out.back(), 2);
  EXPECT_EQ(FileLength(f.n), before - (1 << 20) - 5);
  EXPECT_EQ(FileReadText(f.n), "after");
}

TEST(FileMove, TakingASmallOrCopiedValueGivesTheSameBytes) {
  TempFile f;
  Bytes big(100000, 7);
  FileWriteBytes(f.n, big);  // copied, not moved
  FileWriteBytes(f.n, B({9, 8}));
  FileSeekStart(f.n);
  EXPECT_EQ(FileTakeBytes(f.n), big);
  EXPECT_EQ(FileTakeBytes(f.n), B({9, 8}));
  EXPECT_EQ(FileLength(f.n), 0);
}

// Random operations against a plain byte vector: catches mistakes where
// reads, writes and deletes cross the boundaries of moved-in buffers.
TEST(FileModel, RandomOperationsMatchAPlainBuffer) {
  std::mt19937 rng(12345);
  auto randomBytes = [&](std::size_t n) {
    Bytes data(n);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    return data;
  };
  for (int round = 0; round < 40; ++round) {
    TempFile f;
    Bytes model;
    std::size_t pos = 0;
    std::vector<std::size_t> edges;  // where moved-in buffers began and ended
    for (int step = 0; step < 60; ++step) {
      int op = rng() % 6;
      if (op == 0) {  // raw write: overwrites, then grows
        Bytes data = randomBytes(rng() % 40);
        if (pos + data.size() > model.size()) model.resize(pos + data.size());
        std::copy(data.begin(), data.end(), model.begin() + pos);
        pos += data.size();
        FileWriteRaw(f.n, data);
      } else if (op == 1 && pos == model.size()) {  // a large byte set moved in at the end
        std::size_t n = 64 * 1024 + rng() % 100;
        Bytes data = randomBytes(n);
        Bytes frame = B({'B', static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                         static_cast<int>((n >> 16) & 0xFF), 0});
        model.insert(model.end(), frame.begin(), frame.end());
        edges.push_back(model.size());
        model.insert(model.end(), data.begin(), data.end());
        edges.push_back(model.size());
        pos = model.size();
        FileWriteBytes(f.n, std::move(data));
      } else if (op == 2) {  // back to the start, then skip some bytes
        FileSeekStart(f.n);
        std::size_t skip = rng() % (model.size() + 1);
        if (!edges.empty() && rng() % 2) {
          std::size_t edge = edges[rng() % edges.size()] + rng() % 60;
          skip = std::min(edge > 30 ? edge - 30 : 0, model.size());
        }
        EXPECT_EQ(FileReadRaw(f.n, static_cast<std::int32_t>(skip)),
                  Bytes(model.begin(), model.begin() + skip));
        pos = skip;
      } else if (op == 3) {
        std::size_t n = rng() % 70000;
        std::size_t cut = std::min(n, model.size() - pos);
        model.erase(model.begin() + pos, model.begin() + pos + cut);
        FileDelete(f.n, static_cast<std::int32_t>(n));
      } else if (op == 4) {
        std::size_t n = rng() % 100;
        std::size_t got = std::min(n, model.size() - pos);
        EXPECT_EQ(FileReadRaw(f.n, static_cast<std::int32_t>(n)),
                  Bytes(model.begin() + pos, model.begin() + pos + got));
        pos += got;
      } else {
        EXPECT_EQ(FileLength(f.n), static_cast<std::int32_t>(model.size()));
        EXPECT_EQ(FileAtEnd(f.n), pos >= model.size());
      }
    }
    EXPECT_EQ(All(f.n), model);
  }
}

TEST(FileThreads, TwoThreadsOnTheirOwnAndOnOneFile) {
  FileNumber shared = FileCreate();
  std::atomic<int> mismatches{0};
  auto work = [&](int id) {
    for (int i = 0; i < 2000; ++i) {
      FileNumber mine = FileCreate();
      FileWriteInteger(mine, id * 100000 + i);
      FileWriteText(mine, "t" + std::to_string(i));
      FileSeekStart(mine);
      if (FileReadInteger(mine) != id * 100000 + i) ++mismatches;
      if (FileReadText(mine) != "t" + std::to_string(i)) ++mismatches;
      FileClose(mine);
      FileWriteInteger(shared, id);  // whole values interleave, never bytes
    }
  };
  std::thread a(work, 1), b(work, 2);
  a.join();
  b.join();
  EXPECT_EQ(mismatches.load(), 0);
  FileSeekStart(shared);
  int ones = 0, twos = 0;
  while (!FileAtEnd(shared)) {
    int v = FileReadInteger(shared);
    ones += v == 1;
    twos += v == 2;
  }
  EXPECT_EQ(ones, 2000);
  EXPECT_EQ(twos, 2000);
  FileClose(shared);
}

TEST(FileThreads, ClosingWhileAnotherThreadWrites) {
  for (int round = 0; round < 50; ++round) {
    FileNumber f = FileCreate();
    std::atomic<bool> go{false};
    std::thread writer([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < 200; ++i) FileWriteBytes(f, Bytes(1000, 1));
    });
    go = true;
    FileClose(f);
    writer.join();
    EXPECT_EQ(FileLength(f), 0);
  }
}

}  // namespace
}  // namespace zoq::rt
