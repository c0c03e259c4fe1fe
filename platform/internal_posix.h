// Shared by the non-Windows implementations of the calls in win32.h.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace zoq::platform {

// A fresh handle value: never null and never handed out twice in the
// process, so a stale handle can only ever be refused, never reach another
// object.
HANDLE NewHandleValue();

// What a thread handle refers to. `ended` and `exitCode` are guarded by
// ThreadEndMutex(); ThreadEndSignal() is notified whenever any thread ends.
struct ThreadRecord {
  DWORD id = 0;
  bool ended = false;
  DWORD exitCode = 0;
};
std::shared_ptr<ThreadRecord> FindThread(HANDLE handle);  // nullptr when not open
std::mutex& ThreadEndMutex();
std::condition_variable& ThreadEndSignal();

// Wakes the registered message waiter, if any; callable from any thread.
void WakeMessageWaiter();

// --- Text of headers and addresses ---

// ASCII letters in lower case; other bytes unchanged.
inline std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Whether `s` is `lower` with any ASCII letters in either case.
inline bool EqualsLower(std::string_view s, std::string_view lower) {
  if (s.size() != lower.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
    if (c != lower[i]) return false;
  }
  return true;
}

// Without the spaces and tabs at either end.
inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// --- The process-wide cookie store ---

// Stores `cookie` ("name=value; attribute; ..." as a Set-Cookie header
// carries it) as coming from `url`. False when the URL is not http(s) or the
// cookie is malformed or not the URL's to set.
bool StoreCookie(std::string_view url, std::string_view cookie);
// The same for every cookie of one response, the URL taken apart once.
void StoreCookies(std::string_view url, const std::vector<std::string_view>& cookies);
// The cookies to send to `url`, as a Cookie header's value ("a=1; b=2"); ""
// when none match.
std::string CookiesFor(std::string_view url);
// Empties the store, as at the process's start (for tests).
void ForgetCookies();

}  // namespace zoq::platform
