#include "search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace zoq {
namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::size_t NaiveFind(const std::string& hay, const std::string& needle, std::size_t from,
                      bool ignoreCase) {
  if (needle.empty()) return kNotFound;
  for (std::size_t s = from; s + needle.size() <= hay.size(); ++s) {
    std::size_t i = 0;
    while (i < needle.size() && (ignoreCase ? Fold(hay[s + i]) == Fold(needle[i])
                                            : hay[s + i] == needle[i])) {
      ++i;
    }
    if (i == needle.size()) return s;
  }
  return kNotFound;
}

// Small alphabets make partial matches, repeated borders and case mixes
// common, which is where the anchor choice and the cases go wrong.
TEST(FindBytes, AgreesWithNaiveSearchOnRandomTexts) {
  std::mt19937 random(12345);
  const std::string alphabets[] = {"ab", "aAbB", "aA-", "xyzXYZ<>/\xD6\xD0", "e t"};
  for (const std::string& alphabet : alphabets) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 400; ++round) {
      std::string hay(random() % 200, ' ');
      for (char& c : hay) c = alphabet[pick(random)];
      std::string needle(1 + random() % 6, ' ');
      for (char& c : needle) c = alphabet[pick(random)];
      const std::size_t from = random() % (hay.size() + 2);
      for (bool ignoreCase : {false, true}) {
        ASSERT_EQ(FindBytes(hay, needle, from, ignoreCase), NaiveFind(hay, needle, from, ignoreCase))
            << "hay=" << hay << " needle=" << needle << " from=" << from << " ic=" << ignoreCase;
      }
    }
  }
}

// Texts that make the anchored comparisons expensive switch the search to
// its linear fallback; the answers must stay the same across the switch.
// Texts that make the anchored comparisons expensive switch the search to
// its linear fallback; the answers must stay the same across the switch.
// ("e" and "t" are ranked commoner than "a", so "a" is the anchor byte and
// every position of the text is a candidate that fails late.)
TEST(FindBytes, CraftedRepetitionsStillFindTheRightPlace) {
  const std::string hay = std::string(20000, 'a') + "e" + std::string(100, 'a');
  const std::string needle = std::string(300, 'a') + "e";
  EXPECT_EQ(FindBytes(hay, needle, 0, false), 19700u);
  EXPECT_EQ(FindBytes(hay, needle, 0, true), 19700u);
  EXPECT_EQ(FindBytes(hay, needle, 19701, false), kNotFound);
  EXPECT_EQ(FindBytes(hay, std::string(300, 'a') + "t", 0, true), kNotFound);

  std::string mixed = hay;
  for (std::size_t i = 0; i < mixed.size(); i += 3) mixed[i] = 'A';
  EXPECT_EQ(FindBytes(mixed, needle, 0, false), kNotFound);
  EXPECT_EQ(FindBytes(mixed, needle, 0, true), 19700u);

  // A needle whose borders overlap: "abab...abc" in "abab...abc".
  std::string periodic;
  for (int i = 0; i < 5000; ++i) periodic += "ab";
  EXPECT_EQ(FindBytes(periodic + "c", periodic.substr(0, 200) + "c", 0, false),
            periodic.size() - 200);
}

TEST(FindBytes, EdgesOfTheRange) {
  EXPECT_EQ(FindBytes("abc", "c", 2, false), 2u);
  EXPECT_EQ(FindBytes("abc", "c", 3, false), kNotFound);
  EXPECT_EQ(FindBytes("abc", "abc", 0, false), 0u);
  EXPECT_EQ(FindBytes("abc", "abc", 1, false), kNotFound);
  EXPECT_EQ(FindBytes("abc", "", 0, false), kNotFound);
  EXPECT_EQ(FindBytes("", "a", 0, true), kNotFound);
  EXPECT_EQ(FindBytes("abc", "a", 99, false), kNotFound);
  // A match that ends on the last byte, anchored on a rare byte inside it.
  EXPECT_EQ(FindBytes("zzzzQ\"x", "Q\"x", 0, false), 4u);
}

}  // namespace
}  // namespace zoq
