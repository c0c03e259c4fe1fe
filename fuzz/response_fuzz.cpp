// What a server's response reaches in the HTTP layer: its bytes handed to
// the request as the transfer hands them over (status, interim blocks,
// cookies, redirects, body) through the test face's transport seam, so that
// no socket or thread slows a run; then the raw header block cut into
// cookies, the cookies stored and sent back, and the reply packet read from
// a damaged packet file. Also the request side's header block building,
// which mixes the caller's lines with the defaults.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "headers.h"
#include "inet_posix.h"
#include "internal_posix.h"
#include "packet.h"
#include "platform/win32.h"

using namespace zoq;
using zoq::fuzz::AsciiLower;
using zoq::fuzz::WithoutZeros;

namespace {

constexpr char kCookieUrl[] = "http://fuzz.test";

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

void CheckHarvest(const Text& headers) {
  const auto cookies = fetch::HarvestCookies(headers);
  FUZZ_CHECK(cookies.size() <= LineCount(headers));
  for (const fetch::Cookie& c : cookies) {
    FUZZ_CHECK(c.name.find('=') == Text::npos);
    FUZZ_CHECK(c.name.find('\n') == Text::npos && c.data.find('\n') == Text::npos);
    const Text whole = c.name.empty() ? c.data : c.name + "=" + c.data;
    FUZZ_CHECK(headers.find(whole) != Text::npos);
    InternetSetCookieA(kCookieUrl, c.name.c_str(), c.data.c_str());
  }
  // Whatever the server sent, what goes back in a Cookie line cannot end
  // that line or start another.
  const std::string sent = platform::CookiesFor("http://fuzz.test/a/b");
  FUZZ_CHECK(!HasControl(sent));
}

void CheckRequestBlock(FuzzedDataProvider& in) {
  const Text extra = WithoutZeros(in.ConsumeRandomLengthString(300));
  const Text url = WithoutZeros(in.ConsumeRandomLengthString(100));
  const Text post = WithoutZeros(in.ConsumeRandomLengthString(100));

  const Text block = fetch::BuildHeaderBlock(extra, url);
  FUZZ_CHECK(block.compare(0, extra.size(), extra) == 0);
  const Text lower = AsciiLower(block);
  FUZZ_CHECK(lower.find("accept: ") != Text::npos);
  FUZZ_CHECK(lower.find("referer: ") != Text::npos);
  FUZZ_CHECK(lower.find("accept-language: ") != Text::npos);

  // Exactly one Content-Length line, carrying the data's real length.
  const Text withPost = fetch::AddPostHeaders(block, post);
  const Text want = "content-length: " + std::to_string(post.size()) + "\r\n";
  const Text lowerPost = AsciiLower(withPost);
  FUZZ_CHECK(lowerPost.size() >= want.size() &&
             lowerPost.compare(lowerPost.size() - want.size(), want.size(), want) == 0);
  std::size_t lengthLines = 0;
  const std::string_view all(lowerPost);
  std::size_t lineStart = 0;
  while (lineStart < all.size()) {
    std::size_t end = all.find('\n', lineStart);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = all.substr(lineStart, end - lineStart);
    if (line.starts_with("content-length") && line.find_first_of(" \t:") == 14) {
      const std::size_t colon = line.find_first_not_of(" \t", 14);
      if (colon != std::string_view::npos && line[colon] == ':') ++lengthLines;
    }
    lineStart = end + 1;
  }
  FUZZ_CHECK(lengthLines == 1);

  const Text method = WithoutZeros(in.ConsumeRandomLengthString(8));
  const fetch::Verb verb = fetch::ClassifyMethod(method);
  const Text upper = TextUpper(method);
  FUZZ_CHECK((verb == fetch::Verb::Get) == (method.empty() || upper == "GET"));
  FUZZ_CHECK((verb == fetch::Verb::Post) == (upper == "POST"));
}

// A reply packet cut short or corrupted reads as incomplete or as some
// ordinary values, never as more than the file holds.
void CheckReply(FuzzedDataProvider& in, const Text& headers, const std::string& raw) {
  const Bytes body(raw.begin(), raw.end());
  const rt::FileNumber file = rt::FileCreate();
  fetch::WriteReply(file, headers, Bytes(body));
  const std::int32_t length = rt::FileLength(file);

  const bool damage = in.ConsumeBool();
  if (damage && length > 0) {
    rt::FileSeekStart(file);
    Bytes all = rt::FileReadRaw(file, length);
    all.resize(in.ConsumeIntegralInRange<std::size_t>(0, all.size()));
    if (!all.empty())
      all[in.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)] = in.ConsumeIntegral<std::uint8_t>();
    rt::FileClose(file);
    const rt::FileNumber damaged = rt::FileCreate();
    rt::FileWriteRaw(damaged, all);
    const fetch::Reply reply = fetch::ReadReply(damaged);
    FUZZ_CHECK(reply.headers.size() + reply.body.size() <= all.size());
    FUZZ_CHECK(reply.complete || (reply.headers.empty() && reply.body.empty()));
    rt::FileClose(damaged);
    return;
  }
  const fetch::Reply reply = fetch::ReadReply(file);
  FUZZ_CHECK(reply.complete);
  FUZZ_CHECK(reply.headers == headers);
  FUZZ_CHECK(reply.body == body);
  rt::FileClose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool useCookies = in.ConsumeBool();
  const std::string response = in.ConsumeRandomLengthString(8192);
  const platform::HopReply reply = CheckReceive(response, useCookies);
  // The worker reads the block as a C string.
  const Text headers = reply.rawHeaders.substr(0, reply.rawHeaders.find('\0'));
  CheckHarvest(headers);
  CheckReply(in, headers, reply.body);
  CheckRequestBlock(in);
  // Each run starts from an empty store: a store that grows across runs
  // hides each input's effect and makes every run look like a leak.
  platform::ForgetCookies();
  return 0;
}
