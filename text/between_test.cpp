#include <gtest/gtest.h>

#include "text/between.h"

namespace zoq {
namespace {

TEST(TextBetween, BytesStrictlyBetweenTheMarkers) {
  EXPECT_EQ(TextBetween("a{1.0}b{2.0}", "{", "}"), "1.0");
  EXPECT_EQ(TextBetween("<h2 class=\"title\">1.2</h2>", "title\">", "</h2>"), "1.2");
  EXPECT_EQ(TextBetween("[all of it]", "[", "]"), "all of it");
  EXPECT_EQ(TextBetween("x{}y", "{", "}"), "");
  // Multi-byte markers and a double-byte piece.
  EXPECT_EQ(TextBetween("--><\xD6\xD0<!--", "-->", "<!--"), "<\xD6\xD0");
}

TEST(TextBetween, FirstStartMarkerThenFirstEndMarkerAfterIt) {
  // The second "{" belongs to the piece; an end marker before the start
  // marker does not count.
  EXPECT_EQ(TextBetween("{a{b}c}", "{", "}"), "a{b");
  EXPECT_EQ(TextBetween("} early {late}", "{", "}"), "late");
  // Overlapping markers: the end marker is looked for after the whole start.
  EXPECT_EQ(TextBetween("abab", "ab", "ab"), "");
  EXPECT_EQ(TextBetween("aba", "ab", "ba"), "");
}

TEST(TextBetween, LetterCaseMatters) {
  EXPECT_EQ(TextBetween("<h2 class=\"title\">1.2</h2>", "TITLE\">", "</h2>"), "");
  EXPECT_EQ(TextBetween("<h2 class=\"title\">1.2</H2>", "title\">", "</h2>"), "");
}

// A missing marker gives the empty text instead of a piece cut at a shifted
// position (a missing start marker once made the piece begin a few bytes
// into the source; a missing end marker once cut the source short).
TEST(TextBetween, MissingMarkersGiveTheEmptyText) {
  EXPECT_EQ(TextBetween("0123456789</h2>", "title\">", "</h2>"), "");
  EXPECT_EQ(TextBetween("abc</h2>", "x", "</h2>"), "");
  EXPECT_EQ(TextBetween("title\">1.2", "title\">", "</h2>"), "");
  EXPECT_EQ(TextBetween("</h2>title\">1.2", "title\">", "</h2>"), "");
  EXPECT_EQ(TextBetween("abc", "abc", "x"), "");  // start marker ends the source
  EXPECT_EQ(TextBetween("", "{", "}"), "");
  EXPECT_EQ(TextBetween("a{b}", "", "}"), "");
  EXPECT_EQ(TextBetween("a{b}", "{", ""), "");
  EXPECT_EQ(TextBetween("a{b}", "", ""), "");
}

}  // namespace
}  // namespace zoq
