// The exchange as a server on 127.0.0.1 sees it, driven through PageFetch.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch/fetch.h"
#include "http_exchange.h"
#include "packet.h"
#include "support/loopback_server.h"
#include "support/wine.h"

namespace zoq::fetch {
namespace {

using zoq::testing::CloseDelimitedReply;
using zoq::testing::ChunkedReply;
using zoq::testing::HttpReply;
using zoq::testing::LoopbackServer;
using zoq::testing::ParseRequest;

constexpr char kAccept[] =
    "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";
constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

Text AsText(const Bytes& b) { return Text(b.begin(), b.end()); }

class Exchange : public ::testing::Test {
 protected:
  // The one request the server got, taken apart.
  zoq::testing::ParsedRequest Only() {
    EXPECT_EQ(server.Requests().size(), 1u);
    return ParseRequest(server.Request(0));
  }

  LoopbackServer server;
};

// The request's lines, without the Host line, whose place is the platform's
// business; `host` receives that line.
std::vector<std::string> LinesBesidesHost(const std::string& raw, std::string& host) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = raw.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = raw.substr(start, end - start);
    if (line.rfind("Host: ", 0) == 0) {
      host += line;
    } else {
      lines.push_back(line);
    }
  }
  EXPECT_EQ(start, raw.size()) << "every line ends in CRLF";
  return lines;
}

TEST_F(Exchange, AGetWithoutExtraHeadersSendsTheDefaultsInOrder) {
  server.Script({HttpReply(200, "OK", {}, "hello")});
  const std::string url = server.Url("/blog/a.html?x=1");
  Bytes body = PageFetch(url);
  EXPECT_EQ(AsText(body), "hello");
  std::vector<std::string> expected{"GET /blog/a.html?x=1 HTTP/1.1",
                                    "Accept: " + std::string(kAccept), "Referer: " + url,
                                    "Accept-Language: zh-cn", ""};
  // The user agent follows the program's lines; Wine sends it before them.
  expected.insert(zoq::testing::RunningUnderWine() ? expected.begin() + 1 : expected.end() - 1,
                  "User-Agent: " + std::string(kAgent));
  std::string host;
  EXPECT_EQ(LinesBesidesHost(server.Request(0), host), expected);
  EXPECT_EQ(host, "Host: 127.0.0.1:" + std::to_string(server.port()));
}

TEST_F(Exchange, CallerHeadersSuppressTheDefaultsTheyName) {
  PageFetch(server.Url("/"), "", "", "", "", "accept: text/html\r\nREFERER: http://r/\r\n");
  auto r = Only();
  EXPECT_EQ(r.Count("Accept"), 1u);
  EXPECT_EQ(r.Header("Accept"), "text/html");
  EXPECT_EQ(r.Count("Referer"), 1u);
  EXPECT_EQ(r.Header("Referer"), "http://r/");
  EXPECT_EQ(r.Header("Accept-Language"), "zh-cn");
}

TEST_F(Exchange, AHeaderNamedXAcceptAlsoSuppressesAccept) {
  PageFetch(server.Url("/"), "", "", "", "", "X-Accept: yes\r\n");
  auto r = Only();
  EXPECT_EQ(r.Count("Accept"), 0u);
  EXPECT_EQ(r.Header("X-Accept"), "yes");
  EXPECT_EQ(r.Header("Accept-Language"), "zh-cn");
}

TEST_F(Exchange, AnUnterminatedCallerLineRunsIntoTheFirstDefault) {
  PageFetch(server.Url("/"), "", "", "", "", "X-One: 1");
  auto r = Only();
  EXPECT_EQ(r.Header("X-One").rfind("1Accept: image/gif", 0), 0u) << r.Header("X-One");
  EXPECT_EQ(r.Count("Accept"), 0u);
  EXPECT_EQ(r.Header("Referer"), server.Url("/"));
}

TEST_F(Exchange, LowerCaseMethodsAreSentAsGiven) {
  server.Script({HttpReply(200, "OK", {}, "g"), HttpReply(200, "OK", {}, "p")});
  EXPECT_EQ(AsText(PageFetch(server.Url("/g"), "get")), "g");
  EXPECT_EQ(AsText(PageFetch(server.Url("/p"), "post", "", "", "", "", "k=v")), "p");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(ParseRequest(server.Request(0)).method, "get");
  auto post = ParseRequest(server.Request(1));
  EXPECT_EQ(post.method, "post");
  EXPECT_EQ(post.body, "k=v");
}

TEST_F(Exchange, OtherMethodsFailBeforeAnythingIsSent) {
  for (const char* method : {"HEAD", "   ", "PUT", "get "}) {
    Text headers = "old";
    Bytes body = PageFetch(server.Url("/"), method, "", "", "", "", "", 0, &headers);
    EXPECT_TRUE(body.empty()) << method;
    EXPECT_EQ(headers, "") << method;
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Exchange, APostCarriesItsDataWithOneTrueContentLength) {
  PageFetch(server.Url("/form"), "POST", "", "", "", "Content-Length: 99\r\n",
            "a=1&b=\xD6\xD0");
  auto r = Only();
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.Count("Content-Length"), 1u);
  EXPECT_EQ(r.Header("Content-Length"), "8");
  EXPECT_EQ(r.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(r.body, "a=1&b=\xD6\xD0");
}

TEST_F(Exchange, APostKeepsTheCallersContentType) {
  PageFetch(server.Url("/"), "post", "", "", "", "Content-Type: text/plain\r\n", "x");
  auto r = Only();
  EXPECT_EQ(r.Count("Content-Type"), 1u);
  EXPECT_EQ(r.Header("Content-Type"), "text/plain");
}

TEST_F(Exchange, APostWithoutDataSendsNoBodyAndNoContentType) {
  server.Script({HttpReply(200, "OK", {}, "ok")});
  EXPECT_EQ(AsText(PageFetch(server.Url("/"), "POST")), "ok");
  auto r = Only();
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.Count("Content-Type"), 0u);
  EXPECT_EQ(r.body, "");
}

TEST_F(Exchange, TheCookieTextGoesOutInACookieLine) {
  PageFetch(server.Url("/"), "", "", "", "", "", "", 0, nullptr, "a=1; b=2");
  auto r = Only();
  EXPECT_EQ(r.Count("Cookie"), 1u);
  EXPECT_EQ(r.Header("Cookie").rfind("a=1; b=2", 0), 0u) << r.Header("Cookie");
}

TEST_F(Exchange, AHarvestedCookieReachesALaterRequest) {
  // Only the line that begins with Set-Cookie counts; the note merely
  // mentions one.
  server.Script({HttpReply(200, "OK",
                           {"X-Note: Set-Cookie: fake=1", "Set-Cookie: sid=ab=cd; path=/"}, ""),
                 HttpReply(200, "OK", {}, "")});
  PageFetch(server.Url("/login"));
  PageFetch(server.Url("/next"), "", "", "", "", "", "", 0, nullptr, "mine=1");
  ASSERT_EQ(server.Requests().size(), 2u);
  auto first = ParseRequest(server.Request(0));
  EXPECT_EQ(first.Count("Cookie"), 0u);  // blank cookies: the store is not used
  std::string cookie = ParseRequest(server.Request(1)).Header("Cookie");
  // Wine puts the store's cookies in place of the caller's Cookie line.
  if (!zoq::testing::RunningUnderWine()) {
    EXPECT_NE(cookie.find("mine=1"), std::string::npos) << cookie;
  }
  EXPECT_NE(cookie.find("sid=ab=cd"), std::string::npos) << cookie;
  EXPECT_EQ(cookie.find("fake"), std::string::npos) << cookie;
}

TEST_F(Exchange, ABlankProxyMeansADirectConnection) {
  PageFetch(server.Url("/direct"), "", "   ");
  EXPECT_EQ(Only().target, "/direct");
}

TEST_F(Exchange, AProxyGetsTheWholeAddress) {
  server.Script({HttpReply(200, "OK", {}, "via proxy")});
  // The host name is never looked up: only the proxy on 127.0.0.1 is reached.
  Bytes body = PageFetch("http://zoq.test/page?q=1", "", "127.0.0.1:" +
                         std::to_string(server.port()));
  EXPECT_EQ(AsText(body), "via proxy");
  auto r = Only();
  // The absolute form, with or without the default port spelt out.
  EXPECT_TRUE(r.target == "http://zoq.test/page?q=1" || r.target == "http://zoq.test:80/page?q=1")
      << r.target;
  EXPECT_EQ(r.Header("Referer"), "http://zoq.test/page?q=1");
}

TEST_F(Exchange, ChunkedAndCloseDelimitedBodiesArriveWhole) {
  std::string big(5000, 'x');
  for (std::size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 26);
  server.Script({ChunkedReply(200, "OK", {}, big, 333),
                 CloseDelimitedReply(200, "OK", {}, big + "tail")});
  EXPECT_EQ(AsText(PageFetch(server.Url("/chunked"))), big);
  EXPECT_EQ(AsText(PageFetch(server.Url("/close"))), big + "tail");
}

TEST_F(Exchange, LargeBodiesArriveIntactWithOrWithoutAnAnnouncedLength) {
  std::string big(3 * 1024 * 1024 + 77, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  server.Script({HttpReply(200, "OK", {}, big), ChunkedReply(200, "OK", {}, big, 100000),
                 CloseDelimitedReply(200, "OK", {}, big)});
  for (const char* path : {"/length", "/chunked", "/close"}) {
    Bytes body = PageFetch(server.Url(path));
    ASSERT_EQ(body.size(), big.size()) << path;
    EXPECT_TRUE(AsText(body) == big) << path;
  }
}

TEST_F(Exchange, AnAnnouncedLengthLongerThanTheBodyGivesWhatArrived) {
  zoq::testing::Reply lying;
  lying.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nonly this";
  lying.close = true;
  server.Script({lying});
  EXPECT_EQ(AsText(PageFetch(server.Url("/"))), "only this");
}

TEST_F(Exchange, AnErrorPageIsStillTheBody) {
  server.Script({HttpReply(404, "Not Found", {"X-Why: gone"}, "no such page")});
  Text headers;
  EXPECT_EQ(AsText(PageFetch(server.Url("/missing"), "", "", "", "", "", "", 0, &headers)),
            "no such page");
  EXPECT_EQ(headers.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << headers;
  EXPECT_NE(headers.find("X-Why: gone\r\n"), std::string::npos);
  EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");
}

TEST_F(Exchange, ALongHeaderBlockComesBackWholeAndItsCookiesCount) {
  std::string filler(3000, 'f');
  server.Script({HttpReply(200, "OK", {"X-Filler: " + filler, "Set-Cookie: late=yes"}, "b"),
                 HttpReply(200, "OK", {}, "")});
  Text headers;
  EXPECT_EQ(AsText(PageFetch(server.Url("/"), "", "", "", "", "", "", 0, &headers)), "b");
  EXPECT_GT(headers.size(), 3000u);
  EXPECT_NE(headers.find("X-Filler: " + filler + "\r\n"), std::string::npos);
  EXPECT_NE(headers.find("Set-Cookie: late=yes\r\n"), std::string::npos);
  PageFetch(server.Url("/"), "", "", "", "", "", "", 0, nullptr, "c=1");
  EXPECT_NE(ParseRequest(server.Request(1)).Header("Cookie").find("late=yes"),
            std::string::npos);
}

TEST_F(Exchange, AnUnreachableServerGivesNothing) {
  int port;
  {
    LoopbackServer gone;
    port = gone.port();
  }
  Text headers = "old";
  Bytes body = PageFetch("http://127.0.0.1:" + std::to_string(port) + "/", "", "", "", "", "",
                         "", 5, &headers);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");  // no response, so no header text at all
}

TEST_F(Exchange, APortNumberBeyondTheRangeDoesNotWrapAround) {
  // Taken modulo 65536 it would be this server's port.
  Text headers = "old";
  Bytes body = PageFetch("http://127.0.0.1:" + std::to_string(server.port() + 65536) + "/", "",
                         "", "", "", "", "", 0, &headers);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");
  EXPECT_EQ(server.Connections(), 0u);
}

TEST_F(Exchange, ResponseHeadersAreLeftAloneUnlessAsked) {
  server.Script({HttpReply(200, "OK", {"X-A: 1"}, "body")});
  Text untouched = "mine";
  EXPECT_EQ(AsText(PageFetch(server.Url("/"))), "body");
  EXPECT_EQ(untouched, "mine");
  Text headers = "mine";
  PageFetch(server.Url("/"), "", "", "", "", "", "", 0, &headers);
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(headers.find("X-A: 1\r\n"), std::string::npos);
}

TEST_F(Exchange, CredentialsAnswerAChallenge) {
  server.Script({HttpReply(401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"z\""}, "no"),
                 HttpReply(200, "OK", {}, "welcome")});
  Bytes body = PageFetch(server.Url("/private"), "", "", "user", "pass");
  EXPECT_EQ(AsText(body), "welcome");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(ParseRequest(server.Request(1)).Header("Authorization"), "Basic dXNlcjpwYXNz");
}

// HttpExchange on its own, as the worker runs it.
TEST_F(Exchange, TheWorkerRefusesAMissingOrForeignPacket) {
  EXPECT_EQ(HttpExchange(0), 0);
  rt::FileNumber f = rt::FileCreate();
  rt::FileWriteText(f, "vormtal");
  rt::FileWriteText(f, server.Url("/"));
  std::int32_t length = rt::FileLength(f);
  EXPECT_EQ(HttpExchange(f), 0);
  EXPECT_EQ(rt::FileLength(f), length);  // untouched
  rt::FileClose(f);
  EXPECT_EQ(HttpExchange(f), 0);  // closed
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Exchange, TheWorkerEmptiesThePacketWhenItFailsAndRepliesWhenItSucceeds) {
  server.Script({HttpReply(200, "OK", {}, "answer")});
  rt::FileNumber f = rt::FileCreate();
  fetch::Request request;
  request.url = server.Url("/");
  request.method = "HEAD";
  fetch::WriteRequest(f, request);
  EXPECT_EQ(HttpExchange(f), 0);
  EXPECT_EQ(rt::FileLength(f), 0);

  request.method = "";
  fetch::WriteRequest(f, request);
  EXPECT_EQ(HttpExchange(f), 1);
  fetch::Reply reply = fetch::ReadReply(f);
  EXPECT_TRUE(reply.complete);
  EXPECT_EQ(AsText(reply.body), "answer");
  EXPECT_EQ(reply.headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  rt::FileClose(f);
}

}  // namespace
}  // namespace zoq::fetch
