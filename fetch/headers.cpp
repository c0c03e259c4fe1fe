#include "headers.h"

#include <string_view>

namespace zoq::fetch {
namespace {

constexpr char kDefaultAccept[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*\r\n";

bool Contains(const Text& block, const Text& sought) {
  return TextFind(block, sought, 1, true) != -1;
}

// Every line of a response's headers passes here, so no copies are made.
bool StartsWithIgnoringCase(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size()) return false;
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (lower(line[i]) != lower(prefix[i])) return false;
  return true;
}

// "Content-Length", optional spaces or tabs, then ":".
bool IsContentLengthLine(std::string_view line) {
  constexpr std::string_view name = "content-length";
  if (!StartsWithIgnoringCase(line, name)) return false;
  std::size_t i = name.size();
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return i < line.size() && line[i] == ':';
}

// Calls `fn` with each line of `text` and the break that ends it ("" for
// a last line without one).
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
  while (!text.empty()) {
    std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
      fn(text, std::string_view());
      return;
    }
    std::size_t end = lf > 0 && text[lf - 1] == '\r' ? lf - 1 : lf;
    fn(text.substr(0, end), text.substr(end, lf + 1 - end));
    text.remove_prefix(lf + 1);
  }
}

// A block whose last line has no line break would have the Content-Length
// line glued onto it, and the data's length lost to the server: end it first.
void EndLastLine(Text& block) {
  if (block.empty() || block.back() == '\n') return;
  block += block.back() == '\r' ? "\n" : "\r\n";
}

}  // namespace

bool IsBlank(const Text& text) { return text.find_first_not_of(' ') == Text::npos; }

Text BuildHeaderBlock(const Text& extraHeaders, const Text& url) {
  Text block = extraHeaders;
  if (!Contains(block, "Accept: ")) block += kDefaultAccept;
  if (!Contains(block, "Referer: ")) block += "Referer: " + url + "\r\n";
  if (!Contains(block, "Accept-Language: ")) block += "Accept-Language: zh-cn\r\n";
  return block;
}

Text AddPostHeaders(const Text& block, const Text& postData) {
  Text out;
  out.reserve(block.size() + 100);
  ForEachLine(block, [&](std::string_view line, std::string_view lineBreak) {
    if (IsContentLengthLine(line)) return;
    out += line;
    out += lineBreak;
  });
  EndLastLine(out);
  if (!Contains(out, "Content-Type: ")) {
    out += "Content-Type: application/x-www-form-urlencoded\r\n";
  }
  out += "Content-Length: " + TextFromInteger(static_cast<std::int64_t>(postData.size())) +
         "\r\n";
  return out;
}

Verb ClassifyMethod(const Text& method) {
  if (method.empty()) return Verb::Get;
  Text upper = TextUpper(method);
  if (upper == "GET") return Verb::Get;
  if (upper == "POST") return Verb::Post;
  return Verb::Unsupported;
}

std::vector<Cookie> HarvestCookies(const Text& headerText) {
  constexpr std::string_view prefix = "set-cookie:";
  std::vector<Cookie> cookies;
  ForEachLine(headerText, [&](std::string_view line, std::string_view) {
    if (!StartsWithIgnoringCase(line, prefix)) return;
    std::string_view rest = line.substr(prefix.size());
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.empty()) return;
    std::size_t eq = rest.find('=');
    if (eq == std::string_view::npos) {
      cookies.push_back({Text(), Text(rest)});
    } else {
      cookies.push_back({Text(rest.substr(0, eq)), Text(rest.substr(eq + 1))});
    }
  });
  return cookies;
}

std::size_t AnnouncedLength(const Text& headerText) {
  std::size_t announced = 0;
  bool found = false;
  ForEachLine(headerText, [&](std::string_view line, std::string_view) {
    constexpr std::string_view name = "content-length:";
    if (found || !StartsWithIgnoringCase(line, name)) return;
    found = true;
    std::string_view value = line.substr(name.size());
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    std::size_t n = 0;
    for (char c : value) {
      if (c < '0' || c > '9') break;
      n = n * 10 + static_cast<std::size_t>(c - '0');
      if (n > kMaxBody) return;
    }
    announced = n;
  });
  return announced;
}

}  // namespace zoq::fetch
