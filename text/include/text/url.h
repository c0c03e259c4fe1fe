// Splitting http URLs into host, port and path.
#pragma once

#include "text/text.h"

namespace zoq {

// Only the small-letter prefix "http://" is known; without it the host part
// starts the URL. The host is in small letters and ends at the first ":"
// unless `keepPort`; the path is the URL from the first "/" after the host's
// start, or "/"; the port is 80 without a ":" and otherwise the number after
// it, cut to an integer (0 when no number follows).
Text UrlHost(const Text& url, bool keepPort = false);
Text UrlPath(const Text& url);
std::int32_t UrlPort(const Text& url);

}  // namespace zoq
