// Program life: the exit routine, the way out, and the pending-messages hook.
// The window layer installs the ender and the hook; without a window layer
// the program ends with std::exit and there is nothing to dispatch.

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "runtime/core.h"

namespace zoq::rt {
namespace {

std::mutex lifeLock;
std::function<void()> exitRoutine;
std::function<void()> programEnder;
std::function<void()> pendingMessagesHook;
std::atomic<bool> exitRoutineRan{false};
bool atExitRegistered = false;

void RunExitRoutineOnce() {
  if (exitRoutineRan.exchange(true)) return;
  std::function<void()> routine;
  {
    std::lock_guard<std::mutex> guard(lifeLock);
    routine = std::move(exitRoutine);
    exitRoutine = nullptr;
  }
  if (routine) routine();
}

void RunExitRoutineAtExit() { RunExitRoutineOnce(); }

template <typename T>
T Copy(const T& value) {
  std::lock_guard<std::mutex> guard(lifeLock);
  return value;
}

}  // namespace

void RegisterExitRoutine(std::function<void()> routine) {
  std::lock_guard<std::mutex> guard(lifeLock);
  exitRoutine = std::move(routine);
  if (!atExitRegistered) {
    atExitRegistered = true;
    std::atexit(RunExitRoutineAtExit);  // a normal return from main runs it too
  }
}

void EndProgram() {
  RunExitRoutineOnce();
  std::function<void()> ender = Copy(programEnder);
  if (ender) {
    ender();
  } else {
    std::exit(0);
  }
}

void SetProgramEnder(std::function<void()> ender) {
  std::lock_guard<std::mutex> guard(lifeLock);
  programEnder = std::move(ender);
}

void ProcessPendingMessages() {
  std::function<void()> hook = Copy(pendingMessagesHook);
  if (hook) hook();
}

void SetPendingMessagesHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(lifeLock);
  pendingMessagesHook = std::move(hook);
}

}  // namespace zoq::rt
