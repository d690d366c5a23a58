#include <gtest/gtest.h>

#include <vector>

#include "TestFiles.h"
#include "reference/Reference.h"

namespace {

int Count(const std::string& pattern, const std::string& input) {
  tFinder f(pattern);
  f.PutString(input);
  return f.Found;
}

}  // namespace

TEST(Finder, CountsOverlappingOccurrences) {
  EXPECT_EQ(Count("aa", "aaa"), 2);
  EXPECT_EQ(Count("abab", "ababab"), 2);
  EXPECT_EQ(Count("a", "aaa"), 3);
  EXPECT_EQ(Count("aabaa", "aabaabaa"), 2);
}

TEST(Finder, FallsBackWithoutLosingTheByteThatBrokeTheMatch) {
  EXPECT_EQ(Count("aab", "aaab"), 1);
  EXPECT_EQ(Count("ababaca", "abababaca"), 1);
  EXPECT_EQ(Count(std::string(256, 'a'), std::string(300, 'a')), 45) << "the longest pattern it takes";
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

TEST(StringWrite, CollectsLongStreamsExactly) {
  tStringWrite w;
  EXPECT_EQ(w.GetText(), "");
  const std::string data = testfiles::RandomBytes(5000, 2);
  w.PutString(data.substr(0, 1024));
  EXPECT_EQ(w.GetText(), data.substr(0, 1024));
  EXPECT_EQ(w.GetText(), w.GetText()) << "GetText changes nothing";
  for (char c : data.substr(1024)) w.Put(static_cast<std::uint8_t>(c));
  EXPECT_EQ(w.GetText(), data);
}
