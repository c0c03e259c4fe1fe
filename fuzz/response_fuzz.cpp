// What a server's response reaches in the HTTP layer: its bytes handed to
// the request as the transfer hands them over (status, interim blocks,
// cookies, redirects, body) through the test face's transport seam, so that
// no socket or thread slows a run; then the raw header block cut into
// cookies, the cookies stored and sent back.
//
// Input: one byte of choices, then the response exactly as the server sent
// it (no escaping, so that mutations work on the bytes themselves).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "check.h"
#include "headers.h"
#include "inet_posix.h"
#include "internal_posix.h"
#include "platform/win32.h"

using namespace zoq;

namespace {

// The address the response came from, where its cookies are stored and sent.
constexpr char kUrl[] = "http://fuzz.test:80/a/b";

std::size_t LineCount(const Text& t) { return static_cast<std::size_t>(std::count(t.begin(), t.end(), '\n')) + 1; }

bool HasControl(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != '\t') || u == 0x7F;
  });
}

bool BreaksLine(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
  });
}

// The response as the request receives it. Whatever the server sent, the
// block handed on is whole CRLF-ended lines, the body is what followed it,
// and a redirect leads to an http(s) address whose request line cannot be
// broken.
platform::HopReply CheckReceive(std::string_view response, bool useCookies) {
  const platform::Target from{"http", "fuzz.test", 80, "/a/b"};
  platform::HopReply reply = platform::ReceiveHop(from, response, useCookies);
  FUZZ_CHECK(!reply.final || reply.status >= 200);
  FUZZ_CHECK(reply.body.empty() || reply.final);
  FUZZ_CHECK(response.size() >= reply.body.size() &&
             response.substr(response.size() - reply.body.size()) == reply.body);
  const std::string& raw = reply.rawHeaders;
  FUZZ_CHECK(raw.empty() || (raw.size() >= 2 && raw.compare(raw.size() - 2, 2, "\r\n") == 0));
  if (reply.redirect) {
    FUZZ_CHECK(reply.status == 301 || reply.status == 302 || reply.status == 303 ||
               reply.status == 307 || reply.status == 308);
    FUZZ_CHECK(reply.redirect->scheme == "http" || reply.redirect->scheme == "https");
    FUZZ_CHECK(!reply.redirect->path.empty() && !BreaksLine(reply.redirect->path));
    FUZZ_CHECK(!HasControl(reply.redirect->HostLine()));
  }
  return reply;
}

void CheckHarvest(const Text& headers, bool stored) {
  const auto cookies = fetch::HarvestCookies(headers);
  FUZZ_CHECK(cookies.size() <= LineCount(headers));
  for (const fetch::Cookie& c : cookies) {
    FUZZ_CHECK(c.name.find('=') == Text::npos);
    FUZZ_CHECK(c.name.find('\n') == Text::npos && c.data.find('\n') == Text::npos);
    // One memmem rather than find's memcmp at every candidate, each of which
    // the sanitizers and the fuzzer intercept.
    const Text whole = c.name.empty() ? c.data : c.name + "=" + c.data;
    FUZZ_CHECK(memmem(headers.data(), headers.size(), whole.data(), whole.size()) != nullptr);
    // The request stores them itself when it uses cookies; otherwise the
    // caller does, as the program's fetch worker would.
    if (!stored) InternetSetCookieA(kUrl, c.name.c_str(), c.data.c_str());
  }
  // Whatever the server sent, what goes back in a Cookie line cannot end
  // that line or start another.
  const std::string sent = platform::CookiesFor(kUrl);
  FUZZ_CHECK(!HasControl(sent));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool useCookies = (data[0] & 1) != 0;
  const std::string_view response(reinterpret_cast<const char*>(data) + 1, size - 1);
  const platform::HopReply reply = CheckReceive(response, useCookies);
  // The worker reads the block as a C string.
  const std::size_t nul = reply.rawHeaders.find('\0');
  if (nul == Text::npos) {
    CheckHarvest(reply.rawHeaders, useCookies);
  } else {
    CheckHarvest(reply.rawHeaders.substr(0, nul), useCookies);
  }
  // Each run starts from an empty store: a store that grows across runs
  // hides each input's effect and makes every run look like a leak.
  platform::ForgetCookies();
  return 0;
}
