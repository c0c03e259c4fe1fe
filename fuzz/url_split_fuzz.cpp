// UrlHost, UrlPath and UrlPort with arbitrary texts: empty hosts, colons
// without ports, huge and fractional ports, prefixes in odd places.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "check.h"
#include "text/url.h"

using namespace zoq;
using zoq::fuzz::HasUpper;
using zoq::fuzz::WithoutZeros;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text url = WithoutZeros(std::string(reinterpret_cast<const char*>(data), size));

  const Text host = UrlHost(url);
  const Text hostPort = UrlHost(url, true);
  const Text path = UrlPath(url);
  const std::int32_t port = UrlPort(url);

  FUZZ_CHECK(!HasUpper(host) && !HasUpper(hostPort));
  // The host is the host-and-port up to its first colon.
  FUZZ_CHECK(hostPort.compare(0, host.size(), host) == 0);
  FUZZ_CHECK(host.find(':') == Text::npos);
  FUZZ_CHECK(host.find('/') == Text::npos && hostPort.find('/') == Text::npos);
  if (hostPort.find(':') == Text::npos) {
    FUZZ_CHECK(host == hostPort);
    FUZZ_CHECK(port == 80);
  }
  // The path is "/" or the tail of the URL from one of its slashes.
  FUZZ_CHECK(!path.empty() && path[0] == '/');
  FUZZ_CHECK(path == "/" || (url.size() >= path.size() &&
                             url.compare(url.size() - path.size(), path.size(), path) == 0));
  return 0;
}
