#include <gtest/gtest.h>

#include <memory>

#include "CharHandlers/CharHandlers.h"

namespace {

std::unique_ptr<tGetTag> Scan(const std::string& bytes) {
  auto t = std::make_unique<tGetTag>();
  t->PutString(bytes);
  return t;
}

}  // namespace

TEST(GetTag, WorkedExampleByteForByte) {
  const std::string tag = "<binary id=\"cover.jpg\" content-type='image/jpeg'>";
  ASSERT_EQ(tag.size(), 49u);
  struct Step {
    std::size_t upto;  // bytes fed so far
    int state;
  } steps[] = {{1, 1},  {7, 2},  {8, 3},  {9, 4},  {11, 4}, {12, 6}, {21, 6}, {22, 3},
               {23, 3}, {24, 4}, {36, 4}, {37, 5}, {47, 5}, {48, 3}, {49, -1}};
  tGetTag t;
  std::size_t fed = 0;
  for (const Step& s : steps) {
    while (fed < s.upto) t.Put(static_cast<std::uint8_t>(tag[fed++]));
    EXPECT_EQ(t.Status, s.state) << "after " << s.upto << " bytes";
  }
  EXPECT_EQ(t.TagName, "binary");
  EXPECT_FALSE(t.Closing);
  EXPECT_EQ(t.Attributes, "\r\nid=\"cover.jpg\"\r\ncontent-type='image/jpeg'");
  EXPECT_EQ(t.Attributes.size(), 43u);
  EXPECT_EQ(t.GetAttribute("id"), "\"cover.jpg\"");
  EXPECT_EQ(t.GetAttribute("content-type"), "'image/jpeg'");
  EXPECT_EQ(t.GetAttribute("missing"), "");
}

TEST(GetTag, IgnoresBytesBeforeTheTagAndAfterItsEnd) {
  auto t = Scan("junk > \" ' <a x=1>more<b y=2>");
  EXPECT_EQ(t->Status, -1);
  EXPECT_EQ(t->TagName, "a");
  EXPECT_EQ(t->Attributes, "\r\nx=1");
}

TEST(GetTag, ClosingTagsAndSlashes) {
  auto c = Scan("</binary>");
  EXPECT_TRUE(c->Closing);
  EXPECT_EQ(c->TagName, "binary");
  EXPECT_EQ(c->Attributes, "");
  auto several = Scan("<///");
  EXPECT_TRUE(several->Closing);
  EXPECT_EQ(several->Status, 1);
  EXPECT_EQ(Scan("<br/>")->TagName, "br/");
  auto spaced = Scan("<br />");
  EXPECT_EQ(spaced->TagName, "br");
  EXPECT_EQ(spaced->Attributes, "\r\n/");
}

TEST(GetTag, DeclarationsAndCommentsCollectNothingAndEndAtTheFirstGreaterThan) {
  auto t = Scan("<!-- a > b -->");
  EXPECT_EQ(t->Status, -1);
  EXPECT_EQ(t->TagName, "");
  EXPECT_EQ(t->Attributes, "");
  auto open = Scan("<!DOCTYPE x");
  EXPECT_EQ(open->Status, 10);
}

TEST(GetTag, EmptyTagsAndBlankAfterTheOpeningBracket) {
  auto empty = Scan("<>");
  EXPECT_EQ(empty->Status, -1);
  EXPECT_EQ(empty->TagName, "");
  EXPECT_EQ(empty->Attributes, "");
  auto blank = Scan("< a");
  EXPECT_EQ(blank->TagName, "");
  EXPECT_EQ(blank->Attributes, "\r\na");
  EXPECT_EQ(blank->Status, 4);
}

TEST(GetTag, BlanksAroundEqualsSplitTheAttribute) {
  auto t = Scan("<x b = \"c d\">");
  EXPECT_EQ(t->Attributes, "\r\nb\r\n=\r\n\"c\r\nd\"");
  EXPECT_EQ(t->Status, -1) << "the quote opened no value, so > ends the tag";
  EXPECT_EQ(t->GetAttribute("b"), "");
}

TEST(GetTag, ItemsWithoutBlanksBetweenThemAreSplitAtTheClosingQuote) {
  auto t = Scan("<binary id=\"a\"content-type='b'>");
  EXPECT_EQ(t->Attributes, "\r\nid=\"a\"\r\ncontent-type='b'");
}

// Books indented with tabs put them between attributes, as XML allows.
TEST(GetTag, TabIsABlankLikeSpaceCrAndLf) {
  auto t = Scan("<binary\tid=\"a\"\r\n\tcontent-type=\"b\">");
  EXPECT_EQ(t->TagName, "binary");
  EXPECT_EQ(t->Attributes, "\r\nid=\"a\"\r\ncontent-type=\"b\"");
  EXPECT_EQ(t->GetAttribute("id"), "\"a\"");
}

TEST(GetTag, LowerCasesNamesAndUnquotedValuesButNotQuotedOnes) {
  auto t = Scan("<BINARY ID=\"Cover.JPG\" Type=PNG Other='MiXed'>");
  EXPECT_EQ(t->TagName, "binary");
  EXPECT_EQ(t->Attributes, "\r\nid=\"Cover.JPG\"\r\ntype=png\r\nother='MiXed'");
#ifndef _WIN32
  // Without an 8-bit code page only ASCII changes, so UTF-8 names survive.
  auto utf8 = Scan("<binary id=\xD0\x9E\xD0\xB1>");
  EXPECT_EQ(utf8->GetAttribute("id"), "\xD0\x9E\xD0\xB1");
#endif
}

TEST(GetTag, GreaterThanInsideQuotesStaysInTheValue) {
  auto quoted = Scan("<binary id=\"a>b\" x=1>");
  EXPECT_EQ(quoted->GetAttribute("id"), "\"a>b\"");
  EXPECT_EQ(quoted->Status, -1);
  auto single = Scan("<binary id='a>b'>");
  EXPECT_EQ(single->GetAttribute("id"), "'a>b'");
  auto unquoted = Scan("<binary id=a>b>");
  EXPECT_EQ(unquoted->GetAttribute("id"), "a");
  EXPECT_EQ(unquoted->Status, -1);
}

TEST(GetTag, QuotedLineBreaksAreKeptAndSplitTheValueLine) {
  auto t = Scan("<binary id=\"a\r\nb\">");
  EXPECT_EQ(t->Attributes, "\r\nid=\"a\r\nb\"");
  EXPECT_EQ(t->GetAttribute("id"), "\"a");
}

TEST(GetTag, OtherQuoteKindInsideAValueIsPlainText) {
  auto t = Scan("<binary id=\"it's\">");
  EXPECT_EQ(t->GetAttribute("id"), "\"it's\"");
}

TEST(GetTag, NothingChangesOnceTheTagIsComplete) {
  auto t = Scan("<a b=c>");
  std::string attrs = t->Attributes;
  t->PutString("> <d e=f>");
  EXPECT_EQ(t->Status, -1);
  EXPECT_EQ(t->Attributes, attrs);
  EXPECT_EQ(t->TagName, "a");
}
