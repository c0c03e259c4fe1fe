// The packet file between PageFetch and its worker: the request written
// before the worker starts, the reply the worker writes in its place.
#pragma once

#include "runtime/core.h"
#include "text/text.h"

namespace zoq::fetch {

inline constexpr char kRequestMarker[] = "Vormtal";
inline constexpr char kReplyMarker[] = "Vormtal_OK";

struct Request {
  Text url, method, proxy, userName, password, extraHeaders, postData, cookies;
};

// Nine typed texts: the marker, then the fields in the order above.
void WriteRequest(rt::FileNumber file, const Request& request);
// From the start of the file; false, and `request` untouched, unless the
// first value is exactly the request marker.
bool ReadRequest(rt::FileNumber file, Request& request);

// At the start of the file: the marker, the header text, then the body,
// whose buffer moves into the file.
void WriteReply(rt::FileNumber file, const Text& headers, Bytes&& body);

struct Reply {
  bool complete = false;  // the marker was exactly the reply marker
  Text headers;           // empty unless complete
  Bytes body;             // empty unless complete
};
// From the start of the file; the body's buffer moves out of it.
Reply ReadReply(rt::FileNumber file);

}  // namespace zoq::fetch
