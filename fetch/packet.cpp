#include "packet.h"

#include <utility>

namespace zoq::fetch {

void WriteRequest(rt::FileNumber file, const Request& r) {
  rt::FileWriteText(file, kRequestMarker);
  for (const Text* value : {&r.url, &r.method, &r.proxy, &r.userName, &r.password,
                            &r.extraHeaders, &r.postData, &r.cookies}) {
    rt::FileWriteText(file, *value);
  }
}

bool ReadRequest(rt::FileNumber file, Request& request) {
  rt::FileSeekStart(file);
  if (rt::FileReadText(file) != kRequestMarker) return false;
  Request r;
  for (Text* value : {&r.url, &r.method, &r.proxy, &r.userName, &r.password, &r.extraHeaders,
                      &r.postData, &r.cookies}) {
    *value = rt::FileReadText(file);
  }
  request = std::move(r);
  return true;
}

void WriteReply(rt::FileNumber file, const Text& headers, Bytes&& body) {
  rt::FileSeekStart(file);
  rt::FileWriteText(file, kReplyMarker);
  rt::FileWriteText(file, headers);
  rt::FileWriteBytes(file, std::move(body));
}

Reply ReadReply(rt::FileNumber file) {
  rt::FileSeekStart(file);
  Reply reply;
  // Byte for byte: a marker differing only in letter case is no reply.
  if (rt::FileReadText(file) != kReplyMarker) return reply;
  reply.complete = true;
  reply.headers = rt::FileReadText(file);
  reply.body = rt::FileTakeBytes(file);
  return reply;
}

}  // namespace zoq::fetch
