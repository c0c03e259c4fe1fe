// Worker threads and the wait for their end, as the page fetch uses them.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "platform/win32.h"

namespace {

struct Gate {
  std::promise<void> opened;
  std::shared_future<void> open = opened.get_future().share();
  std::atomic<int> value{0};
  std::promise<void> finishing;
  std::future<void> finished = finishing.get_future();
};

DWORD WINAPI StoreParameter(LPVOID p) {
  auto* gate = static_cast<Gate*>(p);
  gate->value = 42;
  return 7;
}

DWORD WINAPI WaitForGate(LPVOID p) {
  auto* gate = static_cast<Gate*>(p);
  gate->open.wait();
  gate->value = 1;
  gate->finishing.set_value();
  return 0;
}

// Owns a reference to the gate, so the gate outlives a handle closed early.
DWORD WINAPI WaitForSharedGate(LPVOID p) {
  std::unique_ptr<std::shared_ptr<Gate>> gate(static_cast<std::shared_ptr<Gate>*>(p));
  return WaitForGate(gate->get());
}

TEST(Thread, RunsAtOnceWithItsParameterAndEnds) {
  Gate gate;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, StoreParameter, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLEVENTS),
            DWORD{WAIT_OBJECT_0});
  EXPECT_EQ(gate.value, 42);
  // An ended thread ends every later wait at once, whatever its time-out.
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, 0, QS_ALLEVENTS), DWORD{WAIT_OBJECT_0});
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(Thread, ThreadIdentifierIsOptional) {
  Gate gate;
  HANDLE thread = CreateThread(nullptr, 0, StoreParameter, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLEVENTS),
            DWORD{WAIT_OBJECT_0});
  CloseHandle(thread);
}

TEST(Thread, WaitTimesOutWhileTheThreadRunsThenSeesItsEnd) {
  Gate gate;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGate, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLEVENTS), DWORD{WAIT_TIMEOUT});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(gate.value, 0);
  gate.opened.set_value();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLEVENTS),
            DWORD{WAIT_OBJECT_0});
  EXPECT_EQ(gate.value, 1);
  CloseHandle(thread);
}

TEST(Thread, ClosingTheHandleLeavesTheThreadRunning) {
  auto gate = std::make_shared<Gate>();
  HANDLE thread =
      CreateThread(nullptr, 0, WaitForSharedGate, new std::shared_ptr<Gate>(gate), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  gate->opened.set_value();
  ASSERT_EQ(gate->finished.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(gate->value, 1);
}

TEST(Thread, ClosedOrUnknownHandlesAreRefused) {
  Gate gate;
  HANDLE thread = CreateThread(nullptr, 0, StoreParameter, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLEVENTS), WAIT_OBJECT_0);
  ASSERT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &thread, FALSE, 0, QS_ALLEVENTS), DWORD{WAIT_FAILED});
  HANDLE none = nullptr;
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &none, FALSE, 0, QS_ALLEVENTS), DWORD{WAIT_FAILED});
}

// Each thread sets its code, the two meet, then each reads its own back.
// Nothing else runs in between: on Windows, starting or joining a thread
// makes system calls that may set the caller's code themselves.
TEST(Thread, LastErrorBelongsToEachThread) {
  std::atomic<int> set{0};
  auto run = [&set](DWORD code) {
    SetLastError(code);
    set.fetch_add(1);
    while (set.load() < 2) std::this_thread::yield();
    return GetLastError();
  };
  auto a = std::async(std::launch::async, run, DWORD{ERROR_INVALID_HANDLE});
  auto b = std::async(std::launch::async, run, DWORD{ERROR_INSUFFICIENT_BUFFER});
  EXPECT_EQ(a.get(), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_EQ(b.get(), DWORD{ERROR_INSUFFICIENT_BUFFER});
}

}  // namespace
