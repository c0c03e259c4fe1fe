// The cookie store behind InternetSetCookieA and the cookies of requests.
//
// Deliberately small: session lifetime (nothing is written to disk), the
// usual domain, path, secure, expires and max-age rules, no public-suffix
// list. A cookie is keyed by name, domain and path; setting it again
// replaces it, an expiry in the past deletes it. Sizes are capped so that a
// hostile server cannot grow the store without bound.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

#include "curl_posix.h"
#include "internal_posix.h"

namespace zoq::platform {
namespace {

constexpr std::size_t kMaxCookiesPerDomain = 200;
constexpr std::size_t kMaxCookies = 3000;

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;  // lower case, no leading dot
  bool hostOnly = true;
  std::string path;
  bool secure = false;
  std::optional<std::time_t> expires;  // none: until the process ends
  std::uint64_t created = 0;
};

struct UrlParts {
  std::string scheme;
  std::string host;
  std::string path;
};

struct CookieJar {
  std::mutex mutex;
  std::vector<Cookie> cookies;
  std::uint64_t nextCreated = 0;
};

CookieJar& Jar() {
  static CookieJar* jar = new CookieJar;
  return *jar;
}

// Control characters would let a cookie break out of its header line.
bool HasControl(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != '\t') || u == 0x7F;
  });
}

std::optional<UrlParts> ParseUrl(std::string_view url) {
  if (!CurlReady()) return std::nullopt;
  CURLU* u = curl_url();
  if (u == nullptr) return std::nullopt;
  std::optional<UrlParts> parts;
  char* scheme = nullptr;
  char* host = nullptr;
  char* path = nullptr;
  if (curl_url_set(u, CURLUPART_URL, std::string(url).c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK) {
    std::string s = Lower(scheme);
    if (s == "http" || s == "https") parts = UrlParts{s, Lower(host), path};
  }
  curl_free(scheme);
  curl_free(host);
  curl_free(path);
  curl_url_cleanup(u);
  return parts;
}

// A fetch stores and sends the cookies of one address again and again; the
// last address taken apart is kept, per thread, so that it is parsed once.
std::optional<UrlParts> SplitUrl(std::string_view url) {
  thread_local std::string lastUrl;
  thread_local std::optional<UrlParts> lastParts;
  if (url != lastUrl) {
    lastParts = ParseUrl(url);
    lastUrl = url;
  }
  return lastParts;
}

bool IsIpAddress(std::string_view host) {
  return !host.empty() && (host.front() == '[' || std::all_of(host.begin(), host.end(), [](char c) {
                             return std::isdigit(static_cast<unsigned char>(c)) || c == '.';
                           }));
}

bool DomainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return !IsIpAddress(host) && host.size() > domain.size() &&
         host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
         requestPath[cookiePath.size()] == '/';
}

// The directory of the URL's path: where a cookie without a path applies.
std::string DefaultPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return "/";
  std::size_t last = path.rfind('/');
  return last == 0 ? "/" : std::string(path.substr(0, last));
}

bool Expired(const Cookie& c, std::time_t now) { return c.expires && *c.expires <= now; }

// Parses a Set-Cookie value as coming from `from`; nullopt when it is not
// acceptable.
std::optional<Cookie> ParseCookie(const UrlParts& from, std::string_view text) {
  if (HasControl(text)) return std::nullopt;
  std::size_t semicolon = text.find(';');
  std::string_view pair = text.substr(0, semicolon);
  Cookie c;
  if (std::size_t eq = pair.find('='); eq != std::string_view::npos) {
    c.name = Trim(pair.substr(0, eq));
    c.value = Trim(pair.substr(eq + 1));
  } else {
    c.value = Trim(pair);  // a cookie with a value only
  }
  if (c.name.empty() && c.value.empty()) return std::nullopt;
  c.domain = from.host;
  c.path = DefaultPath(from.path);
  std::optional<std::time_t> maxAgeExpiry;
  while (semicolon != std::string_view::npos) {
    text.remove_prefix(semicolon + 1);
    semicolon = text.find(';');
    std::string_view attribute = text.substr(0, semicolon);
    std::size_t eq = attribute.find('=');
    const std::string_view key = Trim(attribute.substr(0, eq));
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : Trim(attribute.substr(eq + 1));
    if (EqualsLower(key, "expires")) {
      std::time_t t = curl_getdate(std::string(value).c_str(), nullptr);
      if (t != -1) c.expires = t;
    } else if (EqualsLower(key, "max-age")) {
      char* end = nullptr;
      std::string digits(value);
      long long seconds = std::strtoll(digits.c_str(), &end, 10);
      if (!digits.empty() && end != nullptr && *end == '\0') {
        std::time_t now = std::time(nullptr);
        maxAgeExpiry = seconds <= 0 ? 0 : now + std::min<long long>(seconds, 400LL * 86400);
      }
    } else if (EqualsLower(key, "domain") && !value.empty()) {
      std::string domain = Lower(value);
      if (domain.front() == '.') domain.erase(0, 1);
      if (domain.empty() || !DomainMatches(from.host, domain)) return std::nullopt;
      c.domain = domain;
      c.hostOnly = domain == from.host;
    } else if (EqualsLower(key, "path")) {
      if (!value.empty() && value.front() == '/') c.path = value;
    } else if (EqualsLower(key, "secure")) {
      c.secure = true;
    }
  }
  if (maxAgeExpiry) c.expires = maxAgeExpiry;  // max-age wins over expires
  return c;
}

void Insert(CookieJar& jar, Cookie c) {
  std::vector<Cookie>& all = jar.cookies;
  std::time_t now = std::time(nullptr);
  auto same = std::find_if(all.begin(), all.end(), [&](const Cookie& o) {
    return o.name == c.name && o.domain == c.domain && o.path == c.path;
  });
  if (same != all.end()) {
    c.created = same->created;
    all.erase(same);
  } else {
    c.created = jar.nextCreated++;
  }
  if (Expired(c, now)) return;
  all.erase(
      std::remove_if(all.begin(), all.end(), [&](const Cookie& o) { return Expired(o, now); }),
      all.end());
  // Over a cap the oldest cookie of the domain, or of all, makes room.
  auto oldestOf = [&](auto pred) {
    auto oldest = all.end();
    for (auto it = all.begin(); it != all.end(); ++it)
      if (pred(*it) && (oldest == all.end() || it->created < oldest->created)) oldest = it;
    return oldest;
  };
  auto inDomain = [&](const Cookie& o) { return o.domain == c.domain; };
  if (static_cast<std::size_t>(std::count_if(all.begin(), all.end(), inDomain)) >=
      kMaxCookiesPerDomain)
    all.erase(oldestOf(inDomain));
  if (all.size() >= kMaxCookies) all.erase(oldestOf([](const Cookie&) { return true; }));
  all.push_back(std::move(c));
}

}  // namespace

bool StoreCookie(std::string_view url, std::string_view cookie) {
  std::optional<UrlParts> from = SplitUrl(url);
  if (!from) return false;
  std::optional<Cookie> c = ParseCookie(*from, cookie);
  if (!c) return false;
  CookieJar& jar = Jar();
  std::lock_guard lock(jar.mutex);
  Insert(jar, std::move(*c));
  return true;
}

void StoreCookies(std::string_view url, const std::vector<std::string_view>& cookies) {
  if (cookies.empty()) return;
  std::optional<UrlParts> from = SplitUrl(url);
  if (!from) return;
  CookieJar& jar = Jar();
  for (std::string_view text : cookies) {
    std::optional<Cookie> c = ParseCookie(*from, text);
    if (!c) continue;
    std::lock_guard lock(jar.mutex);
    Insert(jar, std::move(*c));
  }
}

std::string CookiesFor(std::string_view url) {
  std::optional<UrlParts> to = SplitUrl(url);
  if (!to) return {};
  std::vector<const Cookie*> matching;
  CookieJar& jar = Jar();
  std::lock_guard lock(jar.mutex);
  std::time_t now = std::time(nullptr);
  for (const Cookie& c : jar.cookies) {
    bool domainOk = c.hostOnly ? to->host == c.domain : DomainMatches(to->host, c.domain);
    if (domainOk && PathMatches(to->path, c.path) && (!c.secure || to->scheme == "https") &&
        !Expired(c, now))
      matching.push_back(&c);
  }
  // More specific paths first, then the older cookie.
  std::sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    return a->created < b->created;
  });
  std::string header;
  for (const Cookie* c : matching) {
    if (!header.empty()) header += "; ";
    header += c->name.empty() ? c->value : c->name + "=" + c->value;
  }
  return header;
}

void ForgetCookies() {
  CookieJar& jar = Jar();
  std::lock_guard lock(jar.mutex);
  jar.cookies.clear();
  jar.cookies.shrink_to_fit();
  jar.nextCreated = 0;
}

}  // namespace zoq::platform
