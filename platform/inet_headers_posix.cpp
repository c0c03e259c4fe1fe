// The request's header lines: those the caller adds and sends, and the
// program's own, in the order they go on the wire.

#include <algorithm>
#include <cctype>
#include <cstring>

#include "inet_posix.h"

namespace zoq::platform {
namespace {

std::string HostPart(std::string_view host) {
  return host.find(':') != std::string_view::npos ? "[" + std::string(host) + "]"
                                                  : std::string(host);
}

long DefaultPort(std::string_view scheme) { return scheme == "https" ? 443 : 80; }

bool HasName(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return HeaderNameIs(l, name); });
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view block) {
  std::vector<std::string_view> lines;
  // memchr rather than a byte loop: header blocks are scanned at every
  // response, and a fuzzer's instrumentation makes each byte's test a call.
  // The next LF is looked up once for all the CR-ended lines before it.
  const char* at = block.data();
  const char* const end = at + block.size();
  const char* lf = nullptr;
  while (at < end) {
    if (lf == nullptr || lf < at) {
      lf = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
      if (lf == nullptr) lf = end;
    }
    const char* cr =
        static_cast<const char*>(std::memchr(at, '\r', static_cast<std::size_t>(lf - at)));
    const char* stop = cr != nullptr ? cr : lf;
    if (stop > at) lines.emplace_back(at, static_cast<std::size_t>(stop - at));
    if (stop == end) break;
    at = stop + 1;
  }
  return lines;
}

std::string_view HeaderName(std::string_view line) {
  std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : Trim(line.substr(0, colon));
}

bool HeaderNameIs(std::string_view line, std::string_view lowerName) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  return EqualsLower(Trim(line.substr(0, colon)), lowerName);
}

std::string_view HeaderValue(std::string_view line) {
  std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : Trim(line.substr(colon + 1));
}

bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  bool ipv6 = host.find(':') != std::string_view::npos;
  return std::all_of(host.begin(), host.end(), [&](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (ipv6) return std::isxdigit(u) || c == ':' || c == '.';
    return std::isalnum(u) || c == '-' || c == '.' || c == '_';
  });
}

std::string Target::Origin() const {
  return scheme + "://" + HostPart(host) + ":" + std::to_string(port);
}

std::string Target::HostLine() const {
  std::string line = "Host: " + HostPart(host);
  if (port != DefaultPort(scheme)) line += ":" + std::to_string(port);
  return line;
}

std::string RequestTarget(std::string_view object) {
  std::string out;
  if (object.empty() || object.front() != '/') out = "/";
  for (char c : object) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

BOOL Request::AddHeaders(std::string_view text) {
  std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (std::string_view line : lines) {
    if (HeaderName(line).empty() || !std::all_of(line.begin(), line.end(), [](char c) {
          return c == '\t' || static_cast<unsigned char>(c) >= 0x20;
        })) {
      SetLastError(ERROR_HTTP_INVALID_HEADER);
      return FALSE;
    }
  }
  std::lock_guard lock(state_);
  for (std::string_view line : lines)
    if (!HeaderValue(line).empty()) added_.emplace_back(line);
  return TRUE;
}

// User-Agent, Host and (with a body) Content-Length unless `lines` carry
// them, then the stored cookies, joined to the caller's Cookie line when
// there is one.
std::vector<std::string> Request::OwnLines(const Target& target, std::vector<std::string>& lines,
                                           const std::string& body) {
  std::vector<std::string> own;
  if (!connection->root->agent.empty() && !HasName(lines, "user-agent"))
    own.push_back("User-Agent: " + connection->root->agent);
  if (!HasName(lines, "host")) own.push_back(target.HostLine());
  if (!body.empty() && !HasName(lines, "content-length"))
    own.push_back("Content-Length: " + std::to_string(body.size()));
  std::string stored = useCookies ? CookiesFor(target.Url()) : std::string();
  if (stored.empty()) return own;
  auto given = std::find_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return HeaderNameIs(l, "cookie"); });
  if (given != lines.end()) {
    *given += "; " + stored;  // one Cookie line, the caller's first
  } else {
    own.push_back("Cookie: " + stored);
  }
  return own;
}

// What goes on the wire after the request line, in this order: the lines
// added with HttpAddRequestHeadersA, the lines of the send's header block,
// then the program's own. curl's own defaults (Accept, Expect, Content-Type,
// Proxy-Connection) are switched off so that nothing else is sent.
curl_slist* Request::BuildHeaders(const Target& target, const std::vector<std::string>& blockLines,
                                  const std::string& body, bool viaProxy) {
  std::vector<std::string> lines;
  {
    std::lock_guard lock(state_);
    lines = added_;
  }
  lines.insert(lines.end(), blockLines.begin(), blockLines.end());
  // curl cannot send a line without a colon; nor could a server read one.
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return HeaderName(l).empty(); }),
              lines.end());
  std::vector<std::string> own = OwnLines(target, lines, body);
  std::vector<std::string> off;
  if (!HasName(lines, "accept")) off.push_back("Accept:");
  if (!HasName(lines, "expect")) off.push_back("Expect:");
  if (!body.empty() && !HasName(lines, "content-type")) off.push_back("Content-Type:");
  if (viaProxy && !HasName(lines, "proxy-connection")) off.push_back("Proxy-Connection:");

  curl_slist* list = nullptr;
  auto append = [&](const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list, line.c_str())) list = grown;
  };
  for (std::string& line : lines) {
    // "Name:" alone would make curl drop the line; "Name;" sends it empty.
    if (HeaderValue(line).empty()) line = line.substr(0, line.find(':')) + ";";
    append(line);
  }
  for (const std::string& line : own) append(line);
  for (const std::string& line : off) append(line);
  return list;
}

}  // namespace zoq::platform
