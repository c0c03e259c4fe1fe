// The exact bytes our HTTP calls put on the wire: the request line with the
// verb as given, Host, the program's own lines in its order, the user agent,
// and Content-Length with a body; nothing else.

#include <string>

#include "support/inet_test_helpers.h"

namespace {

using zoq::testing::Exchange;
using zoq::testing::HttpReply;
using zoq::testing::kAgent;
using zoq::testing::LoopbackServer;
using zoq::testing::ParseRequest;

std::string HostLine(const LoopbackServer& server) {
  return "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n";
}

TEST(WireBytes, GetCarriesTheHeaderBlockInItsOrder) {
  LoopbackServer server;
  Exchange x(server.port(), "GET", "/a/b.html?x=1");
  ASSERT_TRUE(x.Send("Accept: text/html\r\nReferer: http://here/\r\nAccept-Language: zh-cn\r\n"));
  EXPECT_EQ(server.Request(0), "GET /a/b.html?x=1 HTTP/1.1\r\n" + HostLine(server) +
                                   "Accept: text/html\r\n"
                                   "Referer: http://here/\r\n"
                                   "Accept-Language: zh-cn\r\n"
                                   "User-Agent: " +
                                   kAgent + "\r\n\r\n");
}

TEST(WireBytes, BlockLinesEndAtAnyCrOrLfAndTheLastNeedsNone) {
  LoopbackServer server;
  Exchange x(server.port(), "GET", "/");
  ASSERT_TRUE(x.Send("X-First: 1\rX-Mid: 3\n\r\n\rX-Last: 2"));
  EXPECT_EQ(server.Request(0), "GET / HTTP/1.1\r\n" + HostLine(server) +
                                   "X-First: 1\r\nX-Mid: 3\r\nX-Last: 2\r\n"
                                   "User-Agent: " +
                                   kAgent + "\r\n\r\n");
}

TEST(WireBytes, VerbKeepsItsLetterCaseAndNoAcceptIsInvented) {
  LoopbackServer server;
  Exchange x(server.port(), "get", "/");
  ASSERT_TRUE(x.Send());
  EXPECT_EQ(server.Request(0),
            "get / HTTP/1.1\r\n" + HostLine(server) + "User-Agent: " + kAgent + "\r\n\r\n");
}

TEST(WireBytes, NoVerbMeansGet) {
  LoopbackServer server;
  Exchange x(server.port(), nullptr, "/");
  ASSERT_TRUE(x.Send());
  EXPECT_EQ(ParseRequest(server.Request(0)).method, "GET");
}

TEST(WireBytes, PostBodyGetsItsLengthAndNothingElse) {
  LoopbackServer server;
  Exchange x(server.port(), "POST", "/form");
  ASSERT_TRUE(x.Send("X-Block: 1\r\n", "name=value&x=%41"));
  EXPECT_EQ(server.Request(0), "POST /form HTTP/1.1\r\n" + HostLine(server) +
                                   "X-Block: 1\r\n"
                                   "User-Agent: " +
                                   kAgent +
                                   "\r\n"
                                   "Content-Length: 16\r\n\r\n"
                                   "name=value&x=%41");
}

TEST(WireBytes, LargePostIsSentWithoutWaitingForContinue) {
  LoopbackServer server;
  std::string body(2 * 1024 * 1024, 'p');
  Exchange x(server.port(), "post", "/upload");
  ASSERT_TRUE(x.Send("Content-Type: application/octet-stream\r\n", body));
  auto request = ParseRequest(server.Request(0));
  EXPECT_EQ(request.method, "post");
  EXPECT_EQ(request.Count("Expect"), 0u);
  EXPECT_EQ(request.Count("Content-Type"), 1u);
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size()));
  EXPECT_EQ(request.body, body);
}

TEST(WireBytes, AddedLinesComeBeforeTheBlock) {
  LoopbackServer server;
  Exchange x(server.port(), "GET", "/");
  ASSERT_TRUE(HttpAddRequestHeadersA(x.request, "Cookie: k=v\r\n", static_cast<DWORD>(-1), 0));
  EXPECT_FALSE(HttpAddRequestHeadersA(x.request, "no colon here", static_cast<DWORD>(-1), 0));
  ASSERT_TRUE(x.Send("X-Block: 1\r\n"));
  EXPECT_EQ(server.Request(0), "GET / HTTP/1.1\r\n" + HostLine(server) +
                                   "Cookie: k=v\r\nX-Block: 1\r\n"
                                   "User-Agent: " +
                                   kAgent + "\r\n\r\n");
}

TEST(WireBytes, ProxyGetsTheAbsoluteAddress) {
  LoopbackServer proxy;
  proxy.Script({HttpReply(200, "OK", {}, "via proxy")});
  std::string list = "http=127.0.0.1:" + std::to_string(proxy.port());
  // Port 9 on the loopback: were the proxy ignored, the request would fail.
  Exchange x(9, "GET", "/page", INTERNET_FLAG_NO_COOKIES, nullptr, nullptr, list.c_str());
  ASSERT_TRUE(x.Send("X-Block: 1\r\n")) << x.sendError;
  EXPECT_EQ(x.ReadAll(), "via proxy");
  EXPECT_EQ(proxy.Request(0),
            "GET http://127.0.0.1:9/page HTTP/1.1\r\n"
            "Host: 127.0.0.1:9\r\n"
            "X-Block: 1\r\n"
            "User-Agent: " +
                std::string(kAgent) + "\r\n\r\n");
}

TEST(WireBytes, SpacesAroundTheProxyAddressAreTolerated) {
  LoopbackServer proxy;
  std::string list = "http=  127.0.0.1:" + std::to_string(proxy.port()) + "  ";
  Exchange x(9, "GET", "/", INTERNET_FLAG_NO_COOKIES, nullptr, nullptr, list.c_str());
  ASSERT_TRUE(x.Send()) << x.sendError;
  EXPECT_EQ(ParseRequest(proxy.Request(0)).target, "http://127.0.0.1:9/");
}

TEST(WireBytes, StoredCookiesJoinTheCallersCookieLine) {
  LoopbackServer server;
  ASSERT_TRUE(InternetSetCookieA(server.Url("/").c_str(), "stored", "s; path=/joined"));
  Exchange x(server.port(), "GET", "/joined/", INTERNET_FLAG_RELOAD);
  ASSERT_TRUE(HttpAddRequestHeadersA(x.request, "Cookie: given=g\r\n", static_cast<DWORD>(-1), 0));
  ASSERT_TRUE(x.Send());
  auto request = ParseRequest(server.Request(0));
  EXPECT_EQ(request.Count("Cookie"), 1u);
  EXPECT_EQ(request.Header("Cookie"), "given=g; stored=s");
}

TEST(WireBytes, ObjectNameCannotBreakTheRequestLine) {
  LoopbackServer server;
  Exchange x(server.port(), "GET", "/a b\r\nX-Injected: 1");
  ASSERT_TRUE(x.Send());
  auto request = ParseRequest(server.Request(0));
  EXPECT_EQ(request.target, "/a%20b%0D%0AX-Injected:%201");
  EXPECT_EQ(request.Count("X-Injected"), 0u);
  // Nor can a verb.
  Exchange y(server.port(), "GET / HTTP/1.1\r\nX-Injected: 1\r\n", "/");
  EXPECT_FALSE(y.Send());
  EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
