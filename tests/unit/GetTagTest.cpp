#include <gtest/gtest.h>

#include <memory>

#include "CharHandlers/CharHandlers.h"
#include "format/StartTag.h"

namespace {

std::unique_ptr<tGetTag> Scan(const std::string& bytes) {
  auto t = std::make_unique<tGetTag>();
  t->PutString(bytes);
  return t;
}

}  // namespace

TEST(GetTag, ReadsABinaryStartTagInEitherQuotes) {
  const std::string tag = "<binary id=\"cover.jpg\" content-type='image/jpeg'>";
  tGetTag t;
  t.PutString(tag);
  EXPECT_EQ(t.TagName, "binary");
  EXPECT_FALSE(t.Closing);
  EXPECT_EQ(t.Attributes, "\r\nid=\"cover.jpg\"\r\ncontent-type='image/jpeg'");
  EXPECT_EQ(t.GetAttribute("id"), "\"cover.jpg\"");
  EXPECT_EQ(t.GetAttribute("content-type"), "'image/jpeg'");
  EXPECT_EQ(t.GetAttribute("missing"), "");
}

TEST(GetTag, IgnoresBytesBeforeTheTagAndAfterItsEnd) {
  auto t = Scan("junk > \" ' <a x=1>more<b y=2>");
  EXPECT_EQ(t->Status, tGetTag::kDone);
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
  EXPECT_NE(several->Status, tGetTag::kDone) << "not ended yet";
  EXPECT_EQ(Scan("<br/>")->TagName, "br/");
  auto spaced = Scan("<br />");
  EXPECT_EQ(spaced->TagName, "br");
  EXPECT_EQ(spaced->Attributes, "\r\n/");
}

TEST(GetTag, DeclarationsAndCommentsCollectNothingAndEndAtTheFirstGreaterThan) {
  auto t = Scan("<!-- a > b -->");
  EXPECT_EQ(t->Status, tGetTag::kDone);
  EXPECT_EQ(t->TagName, "");
  EXPECT_EQ(t->Attributes, "");
  auto open = Scan("<!DOCTYPE x");
  EXPECT_NE(open->Status, tGetTag::kDone) << "not ended yet";
}

TEST(GetTag, EmptyTagsAndBlankAfterTheOpeningBracket) {
  auto empty = Scan("<>");
  EXPECT_EQ(empty->Status, tGetTag::kDone);
  EXPECT_EQ(empty->TagName, "");
  EXPECT_EQ(empty->Attributes, "");
  auto blank = Scan("< a");
  EXPECT_EQ(blank->TagName, "");
  EXPECT_EQ(blank->Attributes, "\r\na");
  EXPECT_NE(blank->Status, tGetTag::kDone) << "not ended yet";
}

TEST(GetTag, BlanksAroundEqualsSplitTheAttribute) {
  auto t = Scan("<x b = \"c d\">");
  EXPECT_EQ(t->Attributes, "\r\nb\r\n=\r\n\"c\r\nd\"");
  EXPECT_EQ(t->Status, tGetTag::kDone) << "the quote opened no value, so > ends the tag";
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
  EXPECT_EQ(quoted->Status, tGetTag::kDone);
  auto single = Scan("<binary id='a>b'>");
  EXPECT_EQ(single->GetAttribute("id"), "'a>b'");
  auto unquoted = Scan("<binary id=a>b>");
  EXPECT_EQ(unquoted->GetAttribute("id"), "a");
  EXPECT_EQ(unquoted->Status, tGetTag::kDone);
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
  EXPECT_EQ(t->Status, tGetTag::kDone);
  EXPECT_EQ(t->Attributes, attrs);
  EXPECT_EQ(t->TagName, "a");
}

TEST(StartTag, ANewContentTypeChangesThatAttributeAloneAndTheReadingOfNoOther) {
  for (const auto& [tag, written] : std::vector<std::pair<std::string, std::string>>{
           {"<binary id=\"a\" content-type=\"image/gif\" xml:lang=\"ru\"",
            "<binary id=\"a\" content-type=\"image/png\" xml:lang=\"ru\""},
           {"<binary\tCONTENT-TYPE='x'\r\nid='a'", "<binary\tcontent-type=\"image/png\"\r\nid='a'"},
           {"<binary id=\"a\" content-type= content-type=\"y\"",
            "<binary id=\"a\" content-type= content-type=\"image/png\""},
           {"<binary xml:lang=\"ru\" id=\"a\"", "<binary xml:lang=\"ru\" id=\"a\" content-type=\"image/png\""},
           {"<binary id=\"a\" /", "<binary id=\"a\" content-type=\"image/png\""},
           {"<binary id='a'/", "<binary id='a' content-type=\"image/png\""},
           {"<binary id=a/", "<binary id=a/ content-type=\"image/png\""},
           {"<binary id=!a\"/", "<binary id=!a\"/ content-type=\"image/png\""},
           {"<binary content-type=x/", "<binary content-type=\"image/png\""},
           {"<binary id=\"a\" content-type=\"image/gif", "<binary id=\"a\" content-type=\"image/png\""},
           {"<binary id=\"a b", ""}}) {
    std::string out;
    EXPECT_EQ(WithContentType(tag, "image/png", out), !written.empty()) << tag;
    if (written.empty()) continue;
    EXPECT_EQ(out, written);
    const tStartTag before = ReadStartTag(tag), after = ReadStartTag(out);
    EXPECT_EQ(after.Id, before.Id) << tag;
    EXPECT_EQ(after.ContentType, "image/png") << tag;
    EXPECT_FALSE(after.ClosesItself) << tag;
  }
}
