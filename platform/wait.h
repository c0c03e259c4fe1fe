// What the layers above plug into the platform layer: the hook through which
// a window system lets MsgWaitForMultipleObjects see its events where the
// wait is not built into the OS, and a head start for the HTTP calls.
#pragma once

namespace zoq::platform {

class MessageWaiter {
 public:
  virtual ~MessageWaiter() = default;
  // On the user-interface thread: sleeps without polling until events for
  // that thread arrive, Wake() is called, or `timeoutMs` passes. Returns true
  // when events arrived. It may dispatch them itself; the caller processes
  // pending messages afterwards in any case.
  virtual bool WaitForEvents(int timeoutMs) = 0;
  // From any thread: ends a WaitForEvents in progress, or the next one.
  virtual void Wake() = 0;
};

// nullptr (the default): no window system; only the handle or the time-out
// ends a wait.
void SetMessageWaiter(MessageWaiter* waiter);

// Starts readying the HTTP calls in the background, for a program that will
// soon make them; they ready themselves on first use anyway. Returns at once.
void PrepareHttp();

}  // namespace zoq::platform
