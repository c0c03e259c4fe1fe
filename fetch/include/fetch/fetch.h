// Fetching a web page on a worker thread while the user-interface thread keeps
// dispatching its messages.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/core.h"
#include "text/text.h"

namespace zoq::fetch {

// The response body; the empty byte set on any failure or on time-out.
// An absent text parameter is the empty text; `timeoutSeconds` 0 (or out of
// range: below 1 or above 2 147 483) means 90 seconds of quiet, and every
// window event during the wait starts the quiet time afresh;
// `responseHeaders`, when given, receives the raw response header block,
// whatever its length, or the empty text when no response arrived, the
// exchange failed or the time-out passed. A worker still running at the
// time-out is not killed: its transfer is aborted and nothing it does
// afterwards reaches the caller.
Bytes PageFetch(const Text& url, const Text& method = {}, const Text& proxy = {},
                const Text& userName = {}, const Text& password = {},
                const Text& extraHeaders = {}, const Text& postData = {},
                std::int32_t timeoutSeconds = 0, Text* responseHeaders = nullptr,
                const Text& cookies = {});

// A GET of `url` sent at once on its worker, as PageFetch(url) sends it, for
// a caller with other work to do while the page travels.
class StartedFetch {
 public:
  explicit StartedFetch(const Text& url);
  // Not taken: the worker is abandoned as at a time-out.
  ~StartedFetch();
  StartedFetch(const StartedFetch&) = delete;
  StartedFetch& operator=(const StartedFetch&) = delete;

  // What PageFetch(url) returns, waiting as it waits (the quiet time counted
  // from this call) if the worker has not finished. Once: after that, the
  // empty byte set.
  Bytes Take();
  // Whether the worker has finished, so that Take would not wait.
  bool Answered() const;

  struct Exchange;

 private:
  std::unique_ptr<Exchange> exchange_;
};

}  // namespace zoq::fetch
