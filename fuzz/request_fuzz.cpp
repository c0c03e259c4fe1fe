// What the program and its fetch worker hand each other: the request's
// header block, built from the caller's lines and the defaults, and the
// reply packet read back from a file that may be cut short or damaged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "headers.h"
#include "packet.h"

using namespace zoq;
using zoq::fuzz::AsciiLower;
using zoq::fuzz::WithoutZeros;

namespace {

// Lines of a lower-case block that name Content-Length: the name, optional
// spaces or tabs, then a colon.
FUZZ_UNTRACED std::size_t ContentLengthLines(std::string_view all) {
  std::size_t count = 0;
  std::size_t lineStart = 0;
  while (lineStart < all.size()) {
    std::size_t end = all.find('\n', lineStart);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = all.substr(lineStart, end - lineStart);
    if (line.starts_with("content-length") && line.find_first_of(" \t:") == 14) {
      const std::size_t colon = line.find_first_not_of(" \t", 14);
      if (colon != std::string_view::npos && line[colon] == ':') ++count;
    }
    lineStart = end + 1;
  }
  return count;
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
  FUZZ_CHECK(ContentLengthLines(lowerPost) == 1);

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
  CheckRequestBlock(in);
  // The worker reads the header block as a C string.
  const Text headers = WithoutZeros(in.ConsumeRandomLengthString(2048));
  const std::string body = in.ConsumeRandomLengthString(4096);
  CheckReply(in, headers, body);
  return 0;
}
