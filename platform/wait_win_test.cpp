// The real Windows calls that the page fetch's wait is built on, and the code
// page every text of the program is in. These hold on Windows itself; the
// non-Windows layer mirrors them (its own tests check that).

#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

// A thread that ends when told to, so that a wait can watch it run and end.
class Worker {
 public:
  Worker() {
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, stop_, 0, nullptr);
  }
  ~Worker() {
    End();
    CloseHandle(thread_);
    CloseHandle(stop_);
  }
  HANDLE handle() const { return thread_; }
  void End() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
  }

 private:
  static DWORD WINAPI Run(LPVOID stop) {
    WaitForSingleObject(static_cast<HANDLE>(stop), INFINITE);
    return 0;
  }
  HANDLE stop_;
  HANDLE thread_;
};

DWORD Wait(const Worker& w, DWORD ms) {
  HANDLE h = w.handle();
  return MsgWaitForMultipleObjects(1, &h, FALSE, ms, QS_ALLEVENTS);
}

int DrainQueue() {
  int n = 0;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) ++n;
  return n;
}

TEST(WindowsEnvironment, AnsiCodePageIs936) {
  EXPECT_EQ(GetACP(), 936u);
  CPINFO info{};
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  EXPECT_EQ(info.MaxCharSize, 2u);
  EXPECT_EQ(info.DefaultChar[0], '?');
}

TEST(MessageWait, TheThreadsEndWakesItAlsoWhenAlreadyOver) {
  DrainQueue();
  Worker w;
  EXPECT_EQ(Wait(w, 50), DWORD{WAIT_TIMEOUT});
  w.End();
  EXPECT_EQ(Wait(w, 5000), DWORD{WAIT_OBJECT_0});
  EXPECT_EQ(Wait(w, 0), DWORD{WAIT_OBJECT_0});
}

TEST(MessageWait, MessagesFromAnotherThreadWakeIt) {
  DrainQueue();
  Worker w;
  const DWORD self = GetCurrentThreadId();
  HANDLE poster = CreateThread(
      nullptr, 0,
      [](LPVOID to) -> DWORD {
        Sleep(50);
        return PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(to)), WM_APP,
                                  7, 0);
      },
      reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(self)), 0, nullptr);
  ASSERT_NE(poster, nullptr);
  EXPECT_EQ(Wait(w, 10000), DWORD{WAIT_OBJECT_0 + 1});
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, UINT{WM_APP});
  EXPECT_EQ(m.wParam, WPARAM{7});
  WaitForSingleObject(poster, INFINITE);
  CloseHandle(poster);
}

TEST(MessageWait, ATimerOfThisThreadWakesIt) {
  DrainQueue();
  Worker w;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
  ASSERT_NE(timer, 0u);
  EXPECT_EQ(Wait(w, 10000), DWORD{WAIT_OBJECT_0 + 1});
  MSG m{};
  EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  KillTimer(nullptr, timer);
  DrainQueue();
}

// Only news wakes the wait: a message nobody has looked at wakes it every
// time, so the fetch loop has to process messages after each wake-up or it
// spins; one that was looked at and left in the queue no longer does.
TEST(MessageWait, OnlyMessagesNotYetLookedAtWakeIt) {
  DrainQueue();
  Worker w;
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Wait(w, 5000), DWORD{WAIT_OBJECT_0 + 1});
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(Wait(w, 100), DWORD{WAIT_TIMEOUT});
  EXPECT_EQ(DrainQueue(), 1);
}

}  // namespace
