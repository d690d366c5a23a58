#include <gtest/gtest.h>

#include <vector>

#include "CharHandlers/CharHandlers.h"

namespace {

int Count(const std::string& pattern, const std::string& input) {
  tFinder f(pattern);
  f.PutString(input);
  return f.Found;
}

std::vector<int> TableOf(const std::string& pattern) {
  tFinder f(pattern);
  std::vector<int> t;
  for (char c : f.Table) t.push_back(static_cast<std::uint8_t>(c));
  return t;
}

}  // namespace

TEST(Finder, BuildsTheFailureTable) {
  EXPECT_EQ(TableOf("aab"), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(TableOf("abab"), (std::vector<int>{0, 0, 1, 2}));
  EXPECT_EQ(TableOf("aabaa"), (std::vector<int>{0, 1, 0, 1, 2}));
  EXPECT_EQ(TableOf("ababaca"), (std::vector<int>{0, 0, 1, 2, 3, 0, 1}));
  EXPECT_EQ(TableOf("<binary"), (std::vector<int>(7, 0)));
  EXPECT_EQ(TableOf(std::string(256, 'a')).back(), 255);
}

TEST(Finder, CountsOverlappingOccurrences) {
  EXPECT_EQ(Count("aa", "aaa"), 2);
  EXPECT_EQ(Count("abab", "ababab"), 2);
  EXPECT_EQ(Count("a", "aaa"), 3);
  EXPECT_EQ(Count("aabaa", "aabaabaa"), 2);
}

TEST(Finder, FallsBackWithoutLosingTheByteThatBrokeTheMatch) {
  EXPECT_EQ(Count("aab", "aaab"), 1);
  EXPECT_EQ(Count("ababaca", "abababaca"), 1);
  tFinder f("aab");
  f.PutString("aa");
  EXPECT_EQ(f.Index, 3);
  f.Put('a');
  EXPECT_EQ(f.Index, 3) << "fell back to 2 and matched the same a again";
}

TEST(Finder, HandlesTheBinaryStartTag) {
  EXPECT_EQ(Count("<binary", "<bbinary"), 0);
  EXPECT_EQ(Count("<binary", "<bibinary"), 0);
  EXPECT_EQ(Count("<binary", "<binbinary"), 0);
  EXPECT_EQ(Count("<binary", "x<binary<binary"), 2);
  EXPECT_EQ(Count("<binary", "<binar"), 0);
  EXPECT_EQ(Count("<binary", "x<b<binary"), 1);
  EXPECT_EQ(Count("<binary", "</binary>"), 0);
}

TEST(Finder, ReportsAMatchDuringThePutOfItsLastByte) {
  tFinder f("<binary");
  std::string input = "ab<binary id";
  std::size_t consumed = 0;
  while (consumed < input.size() && f.Found == 0) f.Put(static_cast<std::uint8_t>(input[consumed++]));
  EXPECT_EQ(consumed, 9u);
  EXPECT_EQ(f.Index, 1);
}

TEST(Finder, AnEmptyPatternDisablesItUntilANewOneIsSet) {
  tFinder f("");
  EXPECT_EQ(f.Found, -1);
  f.PutString("anything at all");
  EXPECT_EQ(f.Found, -1);
  f.SetPattern("an");
  EXPECT_EQ(f.Found, 0);
  f.PutString("banana");
  EXPECT_EQ(f.Found, 2);
  f.SetPattern(std::string(257, 'a'));  // past what its table can hold
  f.PutString(std::string(600, 'a'));
  EXPECT_EQ(f.Found, -1);
}

TEST(Finder, MatchesANaiveCountOnBinaryInput) {
  std::string input;
  unsigned x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    input += "ab\0"[(x >> 16) % 3];
  }
  for (const std::string& pattern :
       {std::string("ab"), std::string("aba"), std::string("a\0a", 3), std::string("abab\0", 5), std::string("bb")}) {
    int naive = 0;
    for (std::size_t i = 0; i + pattern.size() <= input.size(); ++i)
      naive += input.compare(i, pattern.size(), pattern) == 0;
    EXPECT_EQ(Count(pattern, input), naive);
  }
}
