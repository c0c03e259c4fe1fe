// One HTTP exchange on the fetch worker: request packet in, reply packet out.

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "fetch/exchange_slot.h"
#include "fetch/fetch.h"
#include "fetch/headers.h"
#include "fetch/memory.h"
#include "fetch/packet.h"
#include "platform/win32.h"
#include "text/url.h"

namespace zoq {
namespace {

using fetch::ExchangeSlot;

constexpr DWORD kReadChunk = 512;
constexpr DWORD kHeaderBuffer = 1024;

// Gives `body` room for at least `wanted` bytes. Large buffers are asked to
// sit on huge pages before anything touches them: faulting in a 100 MB body
// page by page costs more than receiving it.
bool MakeRoom(Bytes& body, std::size_t wanted) {
  if (wanted <= body.capacity()) return true;
  try {
    Bytes bigger;
    bigger.reserve(std::max(wanted, body.capacity() * 2));
    fetch::PreferHugePages(bigger.data(), bigger.capacity());
    bigger.insert(bigger.end(), body.begin(), body.end());
    body.swap(bigger);
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
// of the announced length does not grow the buffer for nothing.
Bytes ReadBody(HINTERNET request, std::size_t expected) {
  Bytes body;
  MakeRoom(body, std::max<std::size_t>(expected, kReadChunk));
  std::uint8_t chunk[kReadChunk];
  for (;;) {
    const std::size_t size = body.size();
    const bool roomy = body.capacity() - size >= kReadChunk;
    std::uint8_t* into = chunk;
    if (roomy) {
      body.resize(size + kReadChunk);
      into = body.data() + size;
    }
    DWORD got = 0;
    const BOOL ok = InternetReadFile(request, into, kReadChunk, &got);
    got = ok ? std::min(got, kReadChunk) : 0;
    if (roomy) {
      body.resize(size + got);
    } else if (got > 0) {
      if (!MakeRoom(body, size + got)) break;
      body.insert(body.end(), chunk, chunk + got);
    }
    if (got == 0) break;
  }
  return body;
}

// The raw response header block, however long; empty when there is no
// response to describe (the send failed or was cancelled).
Text QueryRawHeaders(HINTERNET request) {
  std::vector<char> buffer(kHeaderBuffer, ' ');
  DWORD length = kHeaderBuffer;
  BOOL ok = HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && length > buffer.size()) {
    buffer.assign(length, ' ');
    ok = HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
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

const char* OrNone(const Text& text) { return fetch::IsBlank(text) ? nullptr : text.c_str(); }

// Opens the root, connection and request handles into `slot`. Returns the
// request handle, or null once whatever was opened is closed again.
HINTERNET OpenRequest(ExchangeSlot& slot, const fetch::Request& r, const Text& host,
                      const Text& path) {
  const bool viaProxy = !fetch::IsBlank(r.proxy);
  const Text proxyList = "http=" + r.proxy;
  HINTERNET root = InternetOpenA(fetch::kUserAgent,
                                 viaProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                 viaProxy ? proxyList.c_str() : nullptr, nullptr, 0);
  if (!slot.Hold(ExchangeSlot::kRoot, root)) return nullptr;

  // An absent port number means the default; one that does not fit a port
  // reaches no server rather than a different one.
  std::int32_t port = UrlPort(r.url);
  if (port == 0) port = INTERNET_DEFAULT_HTTP_PORT;
  HINTERNET connection = nullptr;
  if (port > 0 && port <= 0xFFFF) {
    connection = InternetConnectA(root, host.c_str(), static_cast<INTERNET_PORT>(port),
                                  OrNone(r.userName), OrNone(r.password),
                                  INTERNET_SERVICE_HTTP, 0, 0);
  }
  if (!slot.Hold(ExchangeSlot::kConnection, connection)) {
    slot.CloseAll();
    return nullptr;
  }

  const DWORD flags = fetch::IsBlank(r.cookies) ? INTERNET_FLAG_NO_COOKIES : INTERNET_FLAG_RELOAD;
  HINTERNET request =
      HttpOpenRequestA(connection, r.method.empty() ? nullptr : r.method.c_str(), path.c_str(),
                       "HTTP/1.1", nullptr, nullptr, flags, 0);
  if (!slot.Hold(ExchangeSlot::kRequest, request)) {
    slot.CloseAll();
    return nullptr;
  }
  return request;
}

// Adds the Cookie line and sends by method; false, with nothing sent, for a
// method other than GET or POST. A failed send is not noticed here: the
// reads and the header query then find nothing.
bool Send(HINTERNET request, fetch::Request& r) {
  Text block = fetch::BuildHeaderBlock(r.extraHeaders, r.url);
  if (!fetch::IsBlank(r.cookies)) {
    const Text line = "Cookie: " + r.cookies + "\r\n";
    HttpAddRequestHeadersA(request, line.c_str(), static_cast<DWORD>(line.size()), 0);
  }
  switch (fetch::ClassifyMethod(r.method)) {
    case fetch::Verb::Get:
      HttpSendRequestA(request, block.c_str(), static_cast<DWORD>(block.size()), nullptr, 0);
      return true;
    case fetch::Verb::Post:
      if (!r.postData.empty()) block = fetch::AddPostHeaders(block, r.postData);
      HttpSendRequestA(request, block.c_str(), static_cast<DWORD>(block.size()),
                       r.postData.empty() ? nullptr : r.postData.data(),
                       static_cast<DWORD>(r.postData.size()));
      return true;
    case fetch::Verb::Unsupported:
      break;
  }
  return false;
}

}  // namespace

int HttpExchange(rt::FileNumber packetFile) {
  if (packetFile == 0) return 0;
  // Claimed before the packet is read: once PageFetch has given up, either
  // this slot is cancelled or the packet file is already closed.
  std::shared_ptr<ExchangeSlot> slot = fetch::ClaimSlot(packetFile);
  fetch::Request r;
  if (!fetch::ReadRequest(packetFile, r)) return 0;
  rt::FileSeekStart(packetFile);
  rt::FileDelete(packetFile, rt::FileLength(packetFile));

  const Text host = UrlHost(r.url);
  HINTERNET request = OpenRequest(*slot, r, host, UrlPath(r.url));
  if (!request) return 0;
  if (!Send(request, r)) {
    slot->CloseAll();
    return 0;
  }

  // The headers are known once the send returns; asking first lets their
  // Content-Length size the body's buffer.
  const Text headers = QueryRawHeaders(request);
  Bytes body = ReadBody(request, fetch::AnnouncedLength(headers));
  fetch::WriteReply(packetFile, headers, std::move(body));
  slot->CloseAll();

  // An abandoned exchange leaves no trace, not even in the cookie store.
  if (slot->Cancelled()) return 1;
  const Text cookieUrl = "http://" + host;
  for (const fetch::Cookie& c : fetch::HarvestCookies(headers)) {
    InternetSetCookieA(cookieUrl.c_str(), c.name.c_str(), c.data.c_str());
  }
  return 1;
}

}  // namespace zoq
