// The pieces of an HTTP exchange that are plain text work: the request's
// header block, the method's meaning and the cookies a response sets.
#pragma once

#include <cstddef>
#include <vector>

#include "text/text.h"

namespace zoq::fetch {

inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// The largest body a fetch takes, as for the files the program reads; a
// longer one fails the fetch.
inline constexpr std::size_t kMaxBody = 256u << 20;

// Empty or only ASCII spaces.
bool IsBlank(const Text& text);

// `extraHeaders` followed by the default Accept, Referer (the URL itself) and
// Accept-Language lines, each only when its name with ": " occurs nowhere in
// the block so far, in any letter case.
Text BuildHeaderBlock(const Text& extraHeaders, const Text& url);

// A POST with data: a default Content-Type unless the block names one, and
// exactly one Content-Length, the data's real length (any the caller gave is
// dropped).
Text AddPostHeaders(const Text& block, const Text& postData);

enum class Verb { Get, Post, Unsupported };
// Empty is GET; "get" and "post" in any letter case; a method of spaces is
// not empty.
Verb ClassifyMethod(const Text& method);

struct Cookie {
  Text name;  // before the first "="
  Text data;  // after it, attributes included
};
// The cookies of the lines that begin with "Set-Cookie:" in any letter case.
std::vector<Cookie> HarvestCookies(const Text& headerText);

// The body length a response header block announces, to size a buffer
// before the bytes arrive; 0 when it names none, or more than kMaxBody.
std::size_t AnnouncedLength(const Text& headerText);

}  // namespace zoq::fetch
