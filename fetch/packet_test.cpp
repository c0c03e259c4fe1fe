#include <gtest/gtest.h>

#include <climits>

#include "packet.h"
#include "wait_time.h"

namespace zoq::fetch {
namespace {

struct TempFile {
  rt::FileNumber n = rt::FileCreate();
  ~TempFile() { rt::FileClose(n); }
};

TEST(RequestPacket, NineTextsInTheirOrder) {
  TempFile f;
  WriteRequest(f.n, {"http://h/", "post", "p:1", "u", "pw", "X: 1\r\n", "a=1", "c=2"});
  rt::FileSeekStart(f.n);
  for (const char* expected :
       {"Vormtal", "http://h/", "post", "p:1", "u", "pw", "X: 1\r\n", "a=1", "c=2"}) {
    EXPECT_EQ(rt::FileReadText(f.n), expected);
  }
  EXPECT_TRUE(rt::FileAtEnd(f.n));

  Request back;
  ASSERT_TRUE(ReadRequest(f.n, back));
  EXPECT_EQ(back.url, "http://h/");
  EXPECT_EQ(back.method, "post");
  EXPECT_EQ(back.proxy, "p:1");
  EXPECT_EQ(back.userName, "u");
  EXPECT_EQ(back.password, "pw");
  EXPECT_EQ(back.extraHeaders, "X: 1\r\n");
  EXPECT_EQ(back.postData, "a=1");
  EXPECT_EQ(back.cookies, "c=2");
}

TEST(RequestPacket, EmptyFieldsStayEmpty) {
  TempFile f;
  Request only;
  only.url = "http://h/";
  WriteRequest(f.n, only);
  Request back{"x", "x", "x", "x", "x", "x", "x", "x"};
  ASSERT_TRUE(ReadRequest(f.n, back));
  EXPECT_EQ(back.url, "http://h/");
  EXPECT_EQ(back.cookies, "");
  EXPECT_EQ(back.method, "");
}

TEST(RequestPacket, AnythingButTheExactMarkerIsRefused) {
  for (const char* marker : {"vormtal", "Vormtal_OK", "", "Vormtal "}) {
    TempFile f;
    rt::FileWriteText(f.n, marker);
    rt::FileWriteText(f.n, "http://h/");
    std::int32_t length = rt::FileLength(f.n);
    Request back;
    back.url = "kept";
    EXPECT_FALSE(ReadRequest(f.n, back)) << marker;
    EXPECT_EQ(back.url, "kept");
    EXPECT_EQ(rt::FileLength(f.n), length);
  }
  Request back;
  EXPECT_FALSE(ReadRequest(0, back));
}

TEST(ReplyPacket, RoundTripWithZeroBytesInTheBody) {
  TempFile f;
  WriteReply(f.n, "HTTP/1.1 200 OK\r\n\r\n", Bytes{'a', 0, 'b', 0});
  Reply r = ReadReply(f.n);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.headers, "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(r.body, (Bytes{'a', 0, 'b', 0}));
}

TEST(ReplyPacket, TheReplyReplacesTheRequestAtTheStart) {
  TempFile f;
  WriteRequest(f.n, Request{"http://h/", "", "", "", "", "", "", ""});
  rt::FileSeekStart(f.n);
  rt::FileDelete(f.n, rt::FileLength(f.n));
  WriteReply(f.n, "H", Bytes(200000, 7));
  Reply r = ReadReply(f.n);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.headers, "H");
  EXPECT_EQ(r.body, Bytes(200000, 7));
}

TEST(ReplyPacket, AMarkerDifferingInCaseIsNoReply) {
  for (const char* marker : {"vormtal_ok", "VORMTAL_OK", "Vormtal_Ok", "Vormtal", ""}) {
    TempFile f;
    rt::FileWriteText(f.n, marker);
    rt::FileWriteText(f.n, "HTTP/1.1 200 OK\r\n\r\n");
    rt::FileWriteBytes(f.n, Bytes{'b', 'o', 'd', 'y'});
    Reply r = ReadReply(f.n);
    EXPECT_FALSE(r.complete) << marker;
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(r.headers.empty());
  }
}

TEST(ReplyPacket, AnEmptiedFileIsNoReply) {
  TempFile f;
  Reply r = ReadReply(f.n);
  EXPECT_FALSE(r.complete);
  EXPECT_TRUE(r.body.empty());
}

TEST(WaitTime, DefaultsAndBounds) {
  EXPECT_EQ(FetchWaitMilliseconds(0), 90000u);
  EXPECT_EQ(FetchWaitMilliseconds(1), 1000u);
  EXPECT_EQ(FetchWaitMilliseconds(90), 90000u);
  EXPECT_EQ(FetchWaitMilliseconds(-1), 90000u);
  EXPECT_EQ(FetchWaitMilliseconds(INT_MIN), 90000u);
  EXPECT_EQ(FetchWaitMilliseconds(kMaxTimeoutSeconds), 2147483000u);
  EXPECT_EQ(FetchWaitMilliseconds(kMaxTimeoutSeconds + 1), 90000u);
  EXPECT_EQ(FetchWaitMilliseconds(INT_MAX), 90000u);
  // 4 294 968 s would wrap to 32 ms in 32 bits; 4 294 967 s would come close to INFINITE.
  EXPECT_EQ(FetchWaitMilliseconds(4294968), 90000u);
  EXPECT_EQ(FetchWaitMilliseconds(4294967), 90000u);
}

}  // namespace
}  // namespace zoq::fetch
