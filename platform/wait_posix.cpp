// MsgWaitForMultipleObjects without a system message queue.
//
// On the thread that registered a MessageWaiter the wait sleeps in the
// waiter, which the window system wakes for its events and a thread's end
// wakes through Wake(). Anywhere else, or with no waiter, it sleeps on the
// thread-end condition variable. Neither polls.

#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>
#include <thread>
#include <vector>

#include "internal_posix.h"
#include "platform/wait.h"

namespace zoq::platform {
namespace {

struct WaiterSlot {
  std::mutex mutex;
  MessageWaiter* waiter = nullptr;
  std::thread::id owner;
};

WaiterSlot& Slot() {
  static WaiterSlot* slot = new WaiterSlot;  // outlives threads ending at exit
  return *slot;
}

MessageWaiter* WaiterOfThisThread() {
  WaiterSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  return slot.owner == std::this_thread::get_id() ? slot.waiter : nullptr;
}

constexpr DWORD kMaximumWaitObjects = 64;

}  // namespace

void SetMessageWaiter(MessageWaiter* waiter) {
  WaiterSlot& slot = Slot();
  // Taking the lock also lets a Wake() in progress finish before an old
  // waiter can be destroyed.
  std::lock_guard lock(slot.mutex);
  slot.waiter = waiter;
  slot.owner = std::this_thread::get_id();
}

void WakeMessageWaiter() {
  WaiterSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  if (slot.waiter != nullptr) slot.waiter->Wake();
}

}  // namespace zoq::platform

using namespace zoq::platform;

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
  // Waiting for all handles together with input is not offered.
  if (count > kMaximumWaitObjects || (count > 0 && handles == nullptr) || waitAll != FALSE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<ThreadRecord>> threads;
  for (DWORD i = 0; i < count; ++i) {
    threads.push_back(FindThread(handles[i]));
    if (threads.back() == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
  }
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> deadline;
  if (milliseconds != INFINITE) deadline = Clock::now() + std::chrono::milliseconds(milliseconds);

  // The lowest index of an ended thread; call with ThreadEndMutex() held.
  auto ended = [&]() -> std::optional<DWORD> {
    for (DWORD i = 0; i < count; ++i)
      if (threads[i]->ended) return WAIT_OBJECT_0 + i;
    return std::nullopt;
  };
  auto endedNow = [&] {
    std::lock_guard lock(ThreadEndMutex());
    return ended();
  };

  MessageWaiter* waiter = wakeMask != 0 ? WaiterOfThisThread() : nullptr;
  if (waiter == nullptr) {
    std::unique_lock lock(ThreadEndMutex());
    auto done = [&] { return ended().has_value(); };
    if (deadline) {
      ThreadEndSignal().wait_until(lock, *deadline, done);
    } else {
      ThreadEndSignal().wait(lock, done);
    }
    return ended().value_or(WAIT_TIMEOUT);
  }

  for (;;) {
    if (auto r = endedNow()) return *r;
    int slice = INT_MAX;
    if (deadline) {
      // Rounded up, so that a fraction of a millisecond left does not spin.
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return WAIT_TIMEOUT;
      slice = static_cast<int>(std::min<long long>(left, INT_MAX));
    }
    bool events = waiter->WaitForEvents(slice);
    // An ended thread wins over events that arrived at the same time, as the
    // object's index is lower than the input's.
    if (auto r = endedNow()) return *r;
    if (events) return WAIT_OBJECT_0 + count;
  }
}
