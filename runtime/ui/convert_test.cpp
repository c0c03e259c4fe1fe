// Code page 936 <-> UTF-16, the crossing of every text into the toolkit.

#include <gtest/gtest.h>

#include "convert.h"

namespace zoq::ui {
namespace {

WideText Spelled(const char16_t* text) {
  WideText wide;
  for (; *text; ++text) wide += static_cast<WideChar>(*text);
  return wide;
}

TEST(Texts, CodePage936CrossesAndComesBackLosslessly) {
  const WideText chinese = Spelled(u"Ｚｏｑ个人播放器 北京时间：0时0分0秒 ~！€");
  const Text bytes = Narrow(chinese);
  // 个 is B8 F6, the full-width exclamation mark A3 A1, € 0x80.
  EXPECT_NE(bytes.find("\xB8\xF6"), Text::npos);
  EXPECT_NE(bytes.find("~\xA3\xA1"), Text::npos);
  EXPECT_EQ(bytes.back(), '\x80');
  EXPECT_EQ(Wide(bytes), chinese);

  // Every valid double-byte character survives the round trip.
  int pairs = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text one{static_cast<char>(lead), static_cast<char>(trail)};
      const WideText wide = Wide(one);
      // Pairs that are no character read as one substitute.
      if (wide.size() != 1 || wide[0] == u'?' || wide[0] == 0x30FB) continue;
      ++pairs;
      ASSERT_EQ(Narrow(wide), one) << lead << " " << trail;
    }
  }
  EXPECT_GT(pairs, 21000);  // the code page's double-byte repertoire
}

TEST(Texts, EdgesOfTheCrossing) {
  EXPECT_EQ(Wide(""), WideText());
  EXPECT_EQ(Narrow(WideText()), "");
  // A text cannot hold a zero byte: it ends where U+0000 stands.
  EXPECT_EQ(Narrow(Spelled(u"ab") + WideChar{0} + Spelled(u"cd")), "ab");
  // A character the code page lacks becomes '?', never a dropped byte.
  EXPECT_EQ(Narrow(Spelled(u"a\u0e01b")), "a?b");  // Thai
  // Stray bytes do not break what follows them.
  const WideText mixed = Wide("\xFF\xC4\xE3");
  ASSERT_FALSE(mixed.empty());
  EXPECT_EQ(mixed.back(), WideChar{0x4F60});  // 你
}

}  // namespace
}  // namespace zoq::ui
