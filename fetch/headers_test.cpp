#include <gtest/gtest.h>

#include "headers.h"

namespace zoq::fetch {
namespace {

constexpr char kAccept[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr char kUrl[] = "http://example.test:8080/a/b?c=1";

TEST(HeaderBlock, DefaultsInOrderWithTheUrlAsReferer) {
  EXPECT_EQ(BuildHeaderBlock("", kUrl), std::string(kAccept) +
                                            "Referer: http://example.test:8080/a/b?c=1\r\n"
                                            "Accept-Language: zh-cn\r\n");
}

TEST(HeaderBlock, CallerLinesComeFirstAndSuppressDefaultsInAnyCase) {
  EXPECT_EQ(BuildHeaderBlock("accept: text/html\r\n", kUrl),
            "accept: text/html\r\nReferer: http://example.test:8080/a/b?c=1\r\n"
            "Accept-Language: zh-cn\r\n");
  EXPECT_EQ(BuildHeaderBlock("REFERER: http://x/\r\nAccept-language: en\r\n", kUrl),
            std::string("REFERER: http://x/\r\nAccept-language: en\r\n") + kAccept);
}

TEST(HeaderBlock, TheSearchMatchesAnywhere) {
  // A header merely ending in "Accept" still counts as one.
  EXPECT_EQ(BuildHeaderBlock("X-Accept: yes\r\n", kUrl),
            "X-Accept: yes\r\nReferer: http://example.test:8080/a/b?c=1\r\n"
            "Accept-Language: zh-cn\r\n");
  // "Accept-Language: " does not contain "Accept: ", so Accept is still added.
  EXPECT_EQ(BuildHeaderBlock("Accept-Language: en\r\n", kUrl),
            std::string("Accept-Language: en\r\n") + kAccept +
                "Referer: http://example.test:8080/a/b?c=1\r\n");
  // Without the space after the colon the name does not count.
  EXPECT_NE(BuildHeaderBlock("Accept:text/html\r\n", kUrl).find(kAccept), std::string::npos);
}

TEST(HeaderBlock, AnUnterminatedCallerLineIsContinuedByTheFirstDefault) {
  EXPECT_EQ(BuildHeaderBlock("X-One: 1", kUrl).substr(0, 16), "X-One: 1Accept: ");
}

TEST(PostHeaders, ContentTypeUnlessGivenThenTheRealLength) {
  EXPECT_EQ(AddPostHeaders("A: 1\r\n", "a=1&b=2"),
            "A: 1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n");
  EXPECT_EQ(AddPostHeaders("content-type: text/plain\r\n", "\xD6\xD0"),
            "content-type: text/plain\r\nContent-Length: 2\r\n");
}

TEST(PostHeaders, TheCallersContentLengthIsReplaced) {
  EXPECT_EQ(AddPostHeaders("Content-Length: 99\r\nX: y\r\ncontent-length : 5\r\n"
                           "Content-Type: a/b\r\n",
                           "abc"),
            "X: y\r\nContent-Type: a/b\r\nContent-Length: 3\r\n");
  // Other names that merely contain it stay.
  EXPECT_EQ(AddPostHeaders("X-Content-Length: 1\r\nContent-Type: a/b\r\n", "abcd"),
            "X-Content-Length: 1\r\nContent-Type: a/b\r\nContent-Length: 4\r\n");
}

TEST(Methods, EmptyGetPostInAnyCaseAndNothingElse) {
  EXPECT_EQ(ClassifyMethod(""), Verb::Get);
  EXPECT_EQ(ClassifyMethod("get"), Verb::Get);
  EXPECT_EQ(ClassifyMethod("GeT"), Verb::Get);
  EXPECT_EQ(ClassifyMethod("post"), Verb::Post);
  EXPECT_EQ(ClassifyMethod("POST"), Verb::Post);
  EXPECT_EQ(ClassifyMethod("HEAD"), Verb::Unsupported);
  EXPECT_EQ(ClassifyMethod("   "), Verb::Unsupported);
  EXPECT_EQ(ClassifyMethod(" GET"), Verb::Unsupported);
}

TEST(Blank, OnlyEmptyOrSpaces) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank("   "));
  EXPECT_FALSE(IsBlank(" a "));
  EXPECT_FALSE(IsBlank("\t"));
}

TEST(Cookies, OnlyLinesThatBeginWithSetCookie) {
  auto cookies = HarvestCookies(
      "HTTP/1.1 200 OK\r\n"
      "Set-Cookie: sid=abc\r\n"
      "X-Note: Set-Cookie: evil=1\r\n"
      "X-Set-Cookie: evil=2\r\n"
      "set-cookie: lower=yes; path=/\r\n"
      "SET-COOKIE:tight=1\r\n"
      "\r\n");
  ASSERT_EQ(cookies.size(), 3u);
  EXPECT_EQ(cookies[0].name, "sid");
  EXPECT_EQ(cookies[0].data, "abc");
  EXPECT_EQ(cookies[1].name, "lower");
  EXPECT_EQ(cookies[1].data, "yes; path=/");
  EXPECT_EQ(cookies[2].name, "tight");
  EXPECT_EQ(cookies[2].data, "1");
}

TEST(Cookies, SplitAtTheFirstEqualsSign) {
  auto cookies = HarvestCookies("Set-Cookie: k=v=w; expires=Thu, 01 Jan 2099 00:00:00 GMT\r\n");
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_EQ(cookies[0].name, "k");
  EXPECT_EQ(cookies[0].data, "v=w; expires=Thu, 01 Jan 2099 00:00:00 GMT");
}

TEST(Cookies, WithoutEqualsTheNameIsEmpty) {
  auto cookies = HarvestCookies("Set-Cookie: lonely\r\nSet-Cookie:   \r\n");
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_EQ(cookies[0].name, "");
  EXPECT_EQ(cookies[0].data, "lonely");
  EXPECT_TRUE(HarvestCookies("").empty());
  EXPECT_TRUE(HarvestCookies(std::string(1024, ' ')).empty());
}

TEST(AnnouncedLength, TheContentLengthLineInAnyCase) {
  EXPECT_EQ(AnnouncedLength("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n"), 1234u);
  EXPECT_EQ(AnnouncedLength("HTTP/1.1 200 OK\r\ncontent-length:7\r\n\r\n"), 7u);
  EXPECT_EQ(AnnouncedLength("HTTP/1.1 200 OK\r\nX-Content-Length: 9\r\n\r\n"), 0u);
  EXPECT_EQ(AnnouncedLength("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"), 0u);
  EXPECT_EQ(AnnouncedLength(""), 0u);
}

TEST(AnnouncedLength, ImplausibleLengthsAreNotTrusted) {
  EXPECT_EQ(AnnouncedLength("Content-Length: 268435456\r\n"), 268435456u);
  EXPECT_EQ(AnnouncedLength("Content-Length: 268435457\r\n"), 0u);
  EXPECT_EQ(AnnouncedLength("Content-Length: 99999999999999999999999999\r\n"), 0u);
  EXPECT_EQ(AnnouncedLength("Content-Length: -5\r\n"), 0u);
}

}  // namespace
}  // namespace zoq::fetch
