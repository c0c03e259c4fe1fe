#include "exchange_slot.h"

#include <unordered_map>

namespace zoq::fetch {

bool ExchangeSlot::Hold(Handle which, HINTERNET handle) {
  if (!handle) return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!cancelled_) {
      handles_[which] = handle;
      return true;
    }
  }
  InternetCloseHandle(handle);
  return false;
}

HINTERNET ExchangeSlot::Live(Handle which) const {
  return cancelled_ ? nullptr : handles_[which].load();
}

void ExchangeSlot::CloseAll() {
  // Each taken out before it is closed, so that only one side closes it.
  for (Handle h : {kRequest, kConnection, kRoot}) {
    if (HINTERNET open = handles_[h].exchange(nullptr)) InternetCloseHandle(open);
  }
}

void ExchangeSlot::Cancel() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    cancelled_ = true;
  }
  CloseAll();
}

namespace {

struct SlotTable {
  std::mutex lock;
  std::unordered_map<rt::FileNumber, std::shared_ptr<ExchangeSlot>> slots;
};

SlotTable& Table() {
  static SlotTable* table = new SlotTable;  // never destroyed: an abandoned worker may claim late
  return *table;
}

}  // namespace

std::shared_ptr<ExchangeSlot> OpenSlot(rt::FileNumber packetFile) {
  auto slot = std::make_shared<ExchangeSlot>();
  SlotTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.slots[packetFile] = slot;
  return slot;
}

std::shared_ptr<ExchangeSlot> ClaimSlot(rt::FileNumber packetFile) {
  SlotTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.slots.find(packetFile);
  if (it == t.slots.end()) return std::make_shared<ExchangeSlot>();
  auto slot = std::move(it->second);
  t.slots.erase(it);
  return slot;
}

void DropSlot(rt::FileNumber packetFile) {
  SlotTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.slots.erase(packetFile);
}

}  // namespace zoq::fetch
