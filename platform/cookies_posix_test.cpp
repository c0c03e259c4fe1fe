// The cookie store's rules.

#include <gtest/gtest.h>

#include <string>

#include "internal_posix.h"

namespace {

using zoq::platform::CookiesFor;
using zoq::platform::StoreCookie;

int run = 0;

// Every test, and every repetition of it, gets domains of its own.
class CookieStore : public ::testing::Test {
 protected:
  void SetUp() override { ++run; }
};

// "<name>-<n>.test" for the current test's <n>.
std::string Host(const std::string& name) { return name + "-" + std::to_string(run) + ".test"; }

std::string Url(const std::string& name, const std::string& path = "/", const std::string& sub = "",
                const std::string& scheme = "http") {
  return scheme + "://" + sub + Host(name) + path;
}

TEST_F(CookieStore, DomainAttributeReachesSubdomainsButNotStrangers) {
  EXPECT_TRUE(StoreCookie(Url("one", "/", "www."), "wide=1; Domain=." + Host("one")));
  EXPECT_TRUE(StoreCookie(Url("one", "/", "www."), "narrow=2"));
  EXPECT_FALSE(StoreCookie(Url("one", "/", "www."), "foreign=3; Domain=" + Host("other")));
  EXPECT_FALSE(StoreCookie(Url("one", "/", "www."), "deeper=4; Domain=a.www." + Host("one")));
  EXPECT_EQ(CookiesFor(Url("one", "/x", "www.")), "wide=1; narrow=2");
  EXPECT_EQ(CookiesFor(Url("one", "/", "api.")), "wide=1");
  EXPECT_EQ(CookiesFor(Url("one")), "wide=1");
  EXPECT_EQ(CookiesFor(Url("notone")), "");
  EXPECT_EQ(CookiesFor(Url("other")), "");
}

TEST_F(CookieStore, PathsMatchWholeSegmentsAndLongerPathsComeFirst) {
  ASSERT_TRUE(StoreCookie(Url("two"), "root=r; path=/"));
  ASSERT_TRUE(StoreCookie(Url("two"), "docs=d; path=/docs"));
  EXPECT_EQ(CookiesFor(Url("two", "/docs")), "docs=d; root=r");
  EXPECT_EQ(CookiesFor(Url("two", "/docs/page")), "docs=d; root=r");
  EXPECT_EQ(CookiesFor(Url("two", "/docsmore")), "root=r");
  // Without a path attribute the cookie belongs to the URL's directory.
  ASSERT_TRUE(StoreCookie(Url("two", "/shop/cart.html"), "cart=c"));
  EXPECT_EQ(CookiesFor(Url("two", "/shop/other")), "cart=c; root=r");
  EXPECT_EQ(CookiesFor(Url("two")), "root=r");
}

TEST_F(CookieStore, SettingAgainReplacesAndExpiryDeletes) {
  ASSERT_TRUE(StoreCookie(Url("three"), "k=1"));
  ASSERT_TRUE(StoreCookie(Url("three"), "k=2"));
  EXPECT_EQ(CookiesFor(Url("three")), "k=2");
  ASSERT_TRUE(StoreCookie(Url("three"), "k=3; Max-Age=0"));
  EXPECT_EQ(CookiesFor(Url("three")), "");
  ASSERT_TRUE(StoreCookie(Url("three"), "e=1; expires=Wed, 09 Jun 2100 10:18:14 GMT"));
  EXPECT_EQ(CookiesFor(Url("three")), "e=1");
  ASSERT_TRUE(StoreCookie(Url("three"), "e=1; expires=Wed, 09 Jun 2001 10:18:14 GMT"));
  EXPECT_EQ(CookiesFor(Url("three")), "");
  // Max-Age decides over Expires.
  ASSERT_TRUE(
      StoreCookie(Url("three"), "m=1; Max-Age=3600; expires=Wed, 09 Jun 2001 10:18:14 GMT"));
  EXPECT_EQ(CookiesFor(Url("three")), "m=1");
}

TEST_F(CookieStore, SecureCookiesOnlyOverHttps) {
  ASSERT_TRUE(StoreCookie(Url("four", "/", "", "https"), "s=1; Secure"));
  EXPECT_EQ(CookiesFor(Url("four")), "");
  EXPECT_EQ(CookiesFor(Url("four", "/", "", "https")), "s=1");
}

TEST_F(CookieStore, ValueAfterTheFirstEqualsSignIsKeptWhole) {
  ASSERT_TRUE(StoreCookie(Url("five"), "token=a=b=c; path=/"));
  ASSERT_TRUE(StoreCookie(Url("five"), "bare"));
  EXPECT_EQ(CookiesFor(Url("five")), "token=a=b=c; bare");
}

TEST_F(CookieStore, RefusesWhatCouldBreakAHeaderLineOrIsNoUrl) {
  EXPECT_FALSE(StoreCookie(Url("six"), "a=1\r\nX-Injected: 1"));
  EXPECT_FALSE(StoreCookie(Url("six"), "   "));
  EXPECT_FALSE(StoreCookie("not a url", "a=1"));
  EXPECT_FALSE(StoreCookie("ftp://six.test/", "a=1"));
  EXPECT_EQ(CookiesFor(Url("six")), "");
}

TEST_F(CookieStore, ADomainKeepsABoundedNumberDroppingTheOldest) {
  for (int i = 0; i < 250; ++i)
    ASSERT_TRUE(StoreCookie(Url("seven"), "c" + std::to_string(i) + "=v"));
  std::string all = CookiesFor(Url("seven"));
  EXPECT_EQ(all.find("c0=v"), std::string::npos);
  EXPECT_NE(all.find("c249=v"), std::string::npos);
  std::size_t count = 1;
  for (char c : all) count += c == ';';
  EXPECT_EQ(count, 200u);
}

}  // namespace
