// CreateThread and CloseHandle on std::thread, and the per-thread last error.
//
// A thread handle names a small shared record of the thread's end. The
// record is owned jointly by the handle registry and by the thread itself,
// so closing the handle only drops the holder's reference: a running thread
// runs on, and a handle that was closed (or never existed) is refused rather
// than followed.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "internal_posix.h"

namespace zoq::platform {
namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct ThreadRegistry {
  std::mutex mutex;
  std::condition_variable ended;  // notified whenever any thread ends
  std::unordered_map<HANDLE, std::shared_ptr<ThreadRecord>> handles;
};

// Never destroyed: threads still running at exit may end after static
// destruction has begun.
ThreadRegistry& Registry() {
  static ThreadRegistry* registry = new ThreadRegistry;
  return *registry;
}

constexpr DWORD kCreateSuspended = 0x00000004;

}  // namespace

HANDLE NewHandleValue() {
  // Multiples of 4 like the system's own; far above small integers that a
  // confused caller might pass.
  static std::atomic<std::uintptr_t> next{0x10000};
  return reinterpret_cast<HANDLE>(next.fetch_add(4));
}

std::shared_ptr<ThreadRecord> FindThread(HANDLE handle) {
  ThreadRegistry& r = Registry();
  std::lock_guard lock(r.mutex);
  auto it = r.handles.find(handle);
  return it == r.handles.end() ? nullptr : it->second;
}

std::mutex& ThreadEndMutex() { return Registry().mutex; }
std::condition_variable& ThreadEndSignal() { return Registry().ended; }

}  // namespace zoq::platform

using namespace zoq::platform;

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD errorCode) { lastError = errorCode; }

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  // A suspended start would need ResumeThread, which nothing offers.
  if (start == nullptr || (creationFlags & kCreateSuspended) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  static std::atomic<DWORD> nextId{1000};
  auto record = std::make_shared<ThreadRecord>();
  record->id = nextId.fetch_add(1);
  HANDLE handle = NewHandleValue();
  ThreadRegistry& r = Registry();
  {
    std::lock_guard lock(r.mutex);
    r.handles.emplace(handle, record);
  }
  try {
    std::thread([record, start, parameter] {
      DWORD code = start(parameter);
      {
        std::lock_guard lock(Registry().mutex);
        record->exitCode = code;
        record->ended = true;
      }
      Registry().ended.notify_all();
      WakeMessageWaiter();
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(r.mutex);
    r.handles.erase(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = record->id;
  return handle;
}

BOOL CloseHandle(HANDLE handle) {
  ThreadRegistry& r = Registry();
  std::lock_guard lock(r.mutex);
  if (r.handles.erase(handle) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
