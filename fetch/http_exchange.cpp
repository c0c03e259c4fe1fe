// One HTTP exchange on the fetch worker: request packet in, reply packet out.

#include "http_exchange.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "exchange_slot.h"
#include "headers.h"
#include "packet.h"
#include "platform/fill_ahead.h"
#include "platform/win32.h"
#include "text/url.h"

namespace zoq::fetch {
namespace {

constexpr DWORD kReadChunk = 512;
constexpr DWORD kHeaderBuffer = 1024;

// Gives `body` room for at least `wanted` bytes, at most kMaxBody; false
// when memory runs out.
bool MakeRoom(Bytes& body, std::size_t wanted) {
  if (wanted <= body.capacity()) return true;
  try {
    body.reserve(std::max(wanted, std::min(body.capacity() * 2, kMaxBody)));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The body in 512-byte reads until one yields nothing; a failing read (as
// after a cancel) ends it with what arrived so far, and so does running out
// of memory. While the buffer has room a read lands in 512 zeroed bytes at
// the body's end, cut back to what arrived; only a full buffer takes the
// detour through a separate chunk, so that the final empty read of a body
// of the announced length does not grow the buffer for nothing. Nullopt,
// with the rest unread, once the body passes kMaxBody or the exchange was
// abandoned.
std::optional<Bytes> ReadBody(const ExchangeSlot& slot, std::size_t expected) {
  Bytes body;
  MakeRoom(body, std::max<std::size_t>(expected, kReadChunk));
  std::uint8_t chunk[kReadChunk];
  platform::FillAhead ahead;
  for (;;) {
    HINTERNET request = slot.Live(ExchangeSlot::kRequest);
    if (!request) return std::nullopt;
    const std::size_t size = body.size();
    const bool roomy = body.capacity() - size >= kReadChunk;
    std::uint8_t* into = chunk;
    if (roomy) {
      ahead.Before(body.data(), body.capacity(), size, kReadChunk);
      body.resize(size + kReadChunk);
      into = body.data() + size;
    }
    DWORD got = 0;
    const BOOL ok = InternetReadFile(request, into, kReadChunk, &got);
    got = ok ? std::min(got, kReadChunk) : 0;
    if (roomy) {
      body.resize(size + got);
    } else if (got > 0) {
      if (size + got > kMaxBody) return std::nullopt;
      if (!MakeRoom(body, size + got)) break;
      body.insert(body.end(), chunk, chunk + got);
    }
    if (got == 0) break;
  }
  return body;
}

// The raw response header block, however long; empty when there is no
// response to describe (the send failed or was cancelled).
Text QueryRawHeaders(const ExchangeSlot& slot) {
  std::vector<char> buffer(kHeaderBuffer, ' ');
  DWORD length = kHeaderBuffer;
  auto query = [&] {
    HINTERNET request = slot.Live(ExchangeSlot::kRequest);
    return request &&
           HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
  };
  bool ok = query();
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && length > buffer.size()) {
    buffer.assign(length, ' ');
    ok = query();
  }
  if (!ok) return {};
  std::size_t n = std::min<std::size_t>(length, buffer.size());
  const char* data = buffer.data();
  Text block(data, std::find(data, data + n, '\0'));
  // Without a status line it describes no response: Wine answers the query
  // after a failed send with an empty block where Windows fails it.
  if (block.rfind("HTTP/", 0) != 0) return {};
  return block;
}

const char* OrNone(const Text& text) { return IsBlank(text) ? nullptr : text.c_str(); }

// Opens the root, connection and request handles into `slot`; false once
// whatever was opened is closed again.
bool OpenRequest(ExchangeSlot& slot, const Request& r, const Text& host, const Text& path) {
  const bool viaProxy = !IsBlank(r.proxy);
  const Text proxyList = "http=" + r.proxy;
  HINTERNET root = InternetOpenA(kUserAgent,
                                 viaProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                 viaProxy ? proxyList.c_str() : nullptr, nullptr, 0);
  if (!slot.Hold(ExchangeSlot::kRoot, root)) return false;

  // An absent port number means the default; one that does not fit a port
  // reaches no server rather than a different one.
  std::int32_t port = UrlPort(r.url);
  if (port == 0) port = INTERNET_DEFAULT_HTTP_PORT;
  HINTERNET connection = nullptr;
  root = slot.Live(ExchangeSlot::kRoot);
  if (root && port > 0 && port <= 0xFFFF) {
    connection = InternetConnectA(root, host.c_str(), static_cast<INTERNET_PORT>(port),
                                  OrNone(r.userName), OrNone(r.password),
                                  INTERNET_SERVICE_HTTP, 0, 0);
  }
  if (!slot.Hold(ExchangeSlot::kConnection, connection)) {
    slot.CloseAll();
    return false;
  }

  const DWORD flags = IsBlank(r.cookies) ? INTERNET_FLAG_NO_COOKIES : INTERNET_FLAG_RELOAD;
  HINTERNET request = nullptr;
  if ((connection = slot.Live(ExchangeSlot::kConnection))) {
    request = HttpOpenRequestA(connection, r.method.empty() ? nullptr : r.method.c_str(),
                               path.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0);
  }
  if (!slot.Hold(ExchangeSlot::kRequest, request)) {
    slot.CloseAll();
    return false;
  }
  return true;
}

// Adds the Cookie line and sends by method; false, with nothing sent, for a
// method other than GET or POST. A failed send is not noticed here: the
// reads and the header query then find nothing.
bool Send(const ExchangeSlot& slot, Request& r) {
  Text block = BuildHeaderBlock(r.extraHeaders, r.url);
  HINTERNET request = slot.Live(ExchangeSlot::kRequest);
  if (request && !IsBlank(r.cookies)) {
    const Text line = "Cookie: " + r.cookies + "\r\n";
    HttpAddRequestHeadersA(request, line.c_str(), static_cast<DWORD>(line.size()), 0);
  }
  const Verb verb = ClassifyMethod(r.method);
  if (verb == Verb::Unsupported) return false;
  const bool withData = verb == Verb::Post && !r.postData.empty();
  if (withData) block = AddPostHeaders(block, r.postData);
  if ((request = slot.Live(ExchangeSlot::kRequest))) {
    HttpSendRequestA(request, block.c_str(), static_cast<DWORD>(block.size()),
                     withData ? r.postData.data() : nullptr,
                     withData ? static_cast<DWORD>(r.postData.size()) : 0);
  }
  return true;
}

}  // namespace

int HttpExchange(rt::FileNumber packetFile) {
  if (packetFile == 0) return 0;
  // Claimed before the packet is read: once PageFetch has given up, either
  // this slot is cancelled or the packet file is already closed.
  std::shared_ptr<ExchangeSlot> slot = ClaimSlot(packetFile);
  Request r;
  if (!ReadRequest(packetFile, r)) return 0;
  rt::FileSeekStart(packetFile);
  rt::FileDelete(packetFile, rt::FileLength(packetFile));

  const Text host = UrlHost(r.url);
  if (!OpenRequest(*slot, r, host, UrlPath(r.url))) return 0;
  if (!Send(*slot, r)) {
    slot->CloseAll();
    return 0;
  }

  // The headers are known once the send returns; asking first lets their
  // Content-Length size the body's buffer.
  const Text headers = QueryRawHeaders(*slot);
  std::optional<Bytes> body = ReadBody(*slot, AnnouncedLength(headers));
  slot->CloseAll();
  // An abandoned exchange, or a body past the limit, leaves no reply and
  // no trace in the cookie store.
  if (!body) return 0;
  WriteReply(packetFile, headers, std::move(*body));
  if (slot->Cancelled()) return 1;
  const Text cookieUrl = "http://" + host;
  for (const Cookie& c : HarvestCookies(headers)) {
    InternetSetCookieA(cookieUrl.c_str(), c.name.c_str(), c.data.c_str());
  }
  return 1;
}

}  // namespace zoq::fetch
