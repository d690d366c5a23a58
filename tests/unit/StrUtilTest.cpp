#include <gtest/gtest.h>

#include "textutil/PathRules.h"
#include "textutil/StrUtil.h"

TEST(Unquote, StripsUpToTheLastOccurrenceOfTheOpeningQuote) {
  EXPECT_EQ(Unquote("\"cover.jpg\""), "cover.jpg");
  EXPECT_EQ(Unquote("'cover.jpg'"), "cover.jpg");
  EXPECT_EQ(Unquote("cover.jpg"), "cover.jpg");
  EXPECT_EQ(Unquote("\"a\"b"), "a");
  EXPECT_EQ(Unquote("\"a\"b\""), "a\"b");
  EXPECT_EQ(Unquote("\"abc"), "");
  EXPECT_EQ(Unquote("\"\""), "");
  EXPECT_EQ(Unquote("\""), "\"");
  EXPECT_EQ(Unquote("'a\""), "");
  EXPECT_EQ(Unquote("x\"y\""), "x\"y\"");
  EXPECT_EQ(Unquote(""), "");
}

TEST(ValueOf, FindsTheFirstNonEmptyValueOfTheExactKey) {
  EXPECT_EQ(ValueOf("\r\nid=\"a\"\r\ncontent-type=\"image/png\"", "id"), "\"a\"");
  EXPECT_EQ(ValueOf("\r\nid=\r\nid=b", "id"), "b");
  EXPECT_EQ(ValueOf("\r\nid=a\r\nid=b", "id"), "a");
  EXPECT_EQ(ValueOf("\r\nidx=1", "id"), "");
  EXPECT_EQ(ValueOf("\r\nID=a", "id"), "");
  EXPECT_EQ(ValueOf("", "id"), "");
  EXPECT_EQ(ValueOf("\r\nid", "id"), "");
  EXPECT_EQ(ValueOf("id= a ", "id"), " a ");
  EXPECT_EQ(ValueOf(std::string("\r\nid=a\0b", 8), "id"), std::string("a\0b", 3));
}

TEST(NameStart, EachPathStyleCutsAtItsOwnSeparators) {
  const auto windows = PathRules(tPathStyle::Windows).Separators;
  const auto posix = PathRules(tPathStyle::Posix).Separators;
  EXPECT_EQ(NameStart("C:\\pics/img\\a.png", windows), 12u);
  EXPECT_EQ(NameStart("C:a.png", windows), 2u);
  EXPECT_EQ(NameStart("C:\\pics/img\\a.png", posix), 8u);
  EXPECT_EQ(NameStart("photo:b.png", posix), 0u);
  EXPECT_EQ(NameStart("weird\\", posix), 0u);
  EXPECT_TRUE(IsSeparator(':', PathRules(tPathStyle::Windows)));
  EXPECT_FALSE(IsSeparator(':', PathRules(tPathStyle::Posix)));
}

TEST(NameStart, FindsTheByteAfterTheLastSeparator) {
  EXPECT_EQ(NameStart("C:\\pics\\cover.jpg", "\\:"), 8u);
  EXPECT_EQ(NameStart("C:cover.jpg", "\\:"), 2u);
  EXPECT_EQ(NameStart("cover.jpg", "\\:"), 0u);
  EXPECT_EQ(NameStart("img\\", "\\:"), 4u);
  EXPECT_EQ(NameStart("a/b/c", "/"), 4u);
  EXPECT_EQ(NameStart("", "/"), 0u);
}
