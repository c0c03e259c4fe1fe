// What a window system plugs into the platform layer: the hook through which
// MsgWaitForMultipleObjects sees its events where the wait is not built into
// the OS.
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

}  // namespace zoq::platform
