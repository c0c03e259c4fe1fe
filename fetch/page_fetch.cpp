// PageFetch: the exchange runs on a worker thread while this thread keeps
// dispatching its messages.
//
// The time-out measures quiet time: every wake-up for window messages starts
// a new full wait. A worker still running when the time-out passes is not
// killed. Its transfer is aborted by closing its WinINet handles from here
// (see ExchangeSlot), and it is left to finish on its own: the packet file is
// closed before this call returns, so whatever the worker writes afterwards
// lands nowhere, and it harvests no cookies once cancelled.

#include <cstdint>
#include <memory>
#include <utility>

#include "exchange_slot.h"
#include "fetch/fetch.h"
#include "http_exchange.h"
#include "packet.h"
#include "platform/win32.h"
#include "wait_time.h"

namespace zoq::fetch {
namespace {

DWORD WINAPI FetchWorker(LPVOID parameter) {
  auto packetFile = static_cast<rt::FileNumber>(reinterpret_cast<std::intptr_t>(parameter));
  return static_cast<DWORD>(HttpExchange(packetFile));
}

}  // namespace

DWORD FetchWaitMilliseconds(std::int32_t timeoutSeconds) {
  if (timeoutSeconds <= 0 || timeoutSeconds > kMaxTimeoutSeconds) {
    timeoutSeconds = kDefaultTimeoutSeconds;
  }
  return static_cast<DWORD>(timeoutSeconds) * 1000;
}

// A worker under way with its packet file and slot.
struct StartedFetch::Exchange {
  rt::FileNumber packet;
  std::shared_ptr<ExchangeSlot> slot;
  HANDLE worker;
};

namespace {

StartedFetch::Exchange Begin(const Request& request) {
  const rt::FileNumber packet = rt::FileCreate();
  WriteRequest(packet, request);
  std::shared_ptr<ExchangeSlot> slot = OpenSlot(packet);
  DWORD threadId = 0;
  HANDLE worker = CreateThread(nullptr, 0, FetchWorker,
                               reinterpret_cast<LPVOID>(static_cast<std::intptr_t>(packet)), 0,
                               &threadId);
  return {packet, std::move(slot), worker};
}

Bytes Finish(StartedFetch::Exchange& exchange, DWORD waitMs, Text* responseHeaders) {
  bool finished = false;
  if (exchange.worker) {
    for (;;) {
      DWORD r = MsgWaitForMultipleObjects(1, &exchange.worker, FALSE, waitMs, kWakeMask);
      rt::ProcessPendingMessages();
      if (r == WAIT_OBJECT_0 + 1) continue;
      finished = r == WAIT_OBJECT_0;
      break;  // ended, timed out, or the wait itself failed
    }
  }
  if (!finished) exchange.slot->Cancel();
  if (exchange.worker) CloseHandle(exchange.worker);

  Reply reply;
  if (finished) reply = ReadReply(exchange.packet);
  rt::FileClose(exchange.packet);
  DropSlot(exchange.packet);

  // After a time-out the header text is empty too: whatever the file held
  // then was not a finished reply.
  if (responseHeaders) *responseHeaders = std::move(reply.headers);
  return std::move(reply.body);
}

// Abandons a worker that nobody waits for.
void Abandon(StartedFetch::Exchange& exchange) {
  exchange.slot->Cancel();
  if (exchange.worker) CloseHandle(exchange.worker);
  rt::FileClose(exchange.packet);
  DropSlot(exchange.packet);
}

}  // namespace

Bytes PageFetch(const Text& url, const Text& method, const Text& proxy, const Text& userName,
                const Text& password, const Text& extraHeaders, const Text& postData,
                std::int32_t timeoutSeconds, Text* responseHeaders, const Text& cookies) {
  StartedFetch::Exchange exchange =
      Begin({url, method, proxy, userName, password, extraHeaders, postData, cookies});
  return Finish(exchange, FetchWaitMilliseconds(timeoutSeconds), responseHeaders);
}

StartedFetch::StartedFetch(const Text& url)
    : exchange_(std::make_unique<Exchange>(Begin({url, {}, {}, {}, {}, {}, {}, {}}))) {}

StartedFetch::~StartedFetch() {
  if (exchange_) Abandon(*exchange_);
}

Bytes StartedFetch::Take() {
  if (!exchange_) return {};
  std::unique_ptr<Exchange> exchange = std::move(exchange_);
  return Finish(*exchange, FetchWaitMilliseconds(0), nullptr);
}

bool StartedFetch::Answered() const {
  return exchange_ && exchange_->worker &&
         MsgWaitForMultipleObjects(1, &exchange_->worker, FALSE, 0, 0) == WAIT_OBJECT_0;
}

}  // namespace zoq::fetch
