// Splitting "http://host:port/path" URLs. Only the small-letter prefix
// "http://" is known; anything else is split as if the host began the URL.

#include "text/url.h"

namespace zoq {
namespace {

const Text kPrefix = "http://";

// 1-based position where the host part starts.
std::int32_t HostStart(const Text& url) {
  const std::int32_t prefix = TextFind(url, kPrefix);
  return prefix > 0 ? prefix + TextLength(kPrefix) : 1;
}

}  // namespace

Text UrlHost(const Text& url, bool keepPort) {
  const std::int32_t start = HostStart(url);
  const std::int32_t slash = TextFind(url, "/", start);
  const std::int32_t count = slash > 0 ? slash - start : TextLength(url);
  Text host = TextMid(url, start, count);
  if (!keepPort) {
    const std::int32_t colon = TextFind(host, ":");
    if (colon > 0) host = TextLeft(host, colon - 1);
  }
  return TextLower(host);
}

// The path starts at the first "/" from the host on. The host is not looked
// up again in the URL: a host such as "h" or "tp" would be found inside
// "http://" and the path would then begin at its slashes.
Text UrlPath(const Text& url) {
  const std::int32_t slash = TextFind(url, "/", HostStart(url));
  if (slash > 0) return TextRight(url, TextLength(url) - slash + 1);
  return "/";
}

std::int32_t UrlPort(const Text& url) {
  const Text hostPort = UrlHost(url, true);
  const std::int32_t colon = TextFind(hostPort, ":");
  if (colon == -1) return 80;
  return ToInteger(TextToNumber(TextRight(hostPort, TextLength(hostPort) - colon)));
}

}  // namespace zoq
