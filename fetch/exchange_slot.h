// What PageFetch and its worker share besides the packet file: the worker's
// open WinINet handles, so that a fetch that timed out can abort the transfer
// from the user-interface thread. Closing a handle makes a WinINet call
// blocked on it return at once; each handle is closed exactly once, by
// whichever side gets there first.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/win32.h"
#include "runtime/core.h"

namespace zoq::fetch {

class ExchangeSlot {
 public:
  enum Handle { kRoot, kConnection, kRequest, kCount };

  // Keeps `handle` to close later. False when there is nothing to use: a
  // null handle, or a cancelled slot, in which case the handle is closed now.
  bool Hold(Handle which, HINTERNET handle);
  // The held handle, or null once it was closed or the exchange abandoned.
  // Asked before every use: Windows hands a closed handle's value to the
  // next one opened, which may be another fetch's.
  HINTERNET Live(Handle which) const;
  // Closes the held handles, request first, each only if still open.
  void CloseAll();
  // Marks the exchange abandoned and closes its handles.
  void Cancel();
  bool Cancelled() const { return cancelled_; }

 private:
  std::mutex lock_;  // orders Hold against Cancel
  std::atomic<bool> cancelled_{false};
  std::atomic<HINTERNET> handles_[kCount] = {};
};

// Slots are found by the packet file's number, the worker's only parameter.
// PageFetch opens one before starting the worker and drops it afterwards;
// the worker claims it on arrival (a private slot when none is open, which
// is also what a direct call of HttpExchange gets).
std::shared_ptr<ExchangeSlot> OpenSlot(rt::FileNumber packetFile);
std::shared_ptr<ExchangeSlot> ClaimSlot(rt::FileNumber packetFile);
void DropSlot(rt::FileNumber packetFile);

}  // namespace zoq::fetch
