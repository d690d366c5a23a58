#include <gtest/gtest.h>

#include "format/CoverEdit.h"
#include "format/References.h"

namespace {

std::vector<std::string> Targets(const std::string& text, std::size_t piece, tCharset charset = tCharset::Utf8) {
  tReferenceScan scan(charset);
  for (std::size_t at = 0; at < text.size(); at += piece)
    scan.Feed(text.data() + at, std::min(piece, text.size() - at));
  return scan.Targets;
}

}  // namespace

TEST(References, AreReadAsXmlReadsThemInPiecesOfAnySize) {
  const std::string text =
      "<?xml version=\"1.0\"?><?pi <a l:href=\"#pi\"?><!DOCTYPE x><FictionBook>"
      "<image l:href=\"#a.png\"/><image xlink:href = '#b&amp;c.png' /><a href=\"#n&#1099;\" type=\"note\">x</a>"
      "<!-- <image l:href=\"#comment\"/> --><![CDATA[<image l:href=\"#cdata\"/>]]>"
      "<image l:hrefs=\"#not\" href=\"http://x/#not\" l:href=\"#\xD1\x8B.png\"/><p>a > b</p>"
      "<image l:href=\"#broken <image l:href=\"#after.png\"/>"
      "<binary id=\"e\" l:href=\"#tag\">QUJD<!-- <image l:href=\"#entry\"/></binary <</binary>"
      "<image l:href=\"#last.png\"/></FictionBook>";
  // An entry's bytes refer to nothing, a link (the note) shows no image, and a
  // broken entry hides nothing after it.
  const std::vector<std::string> expected = {"a.png", "b&c.png", "\xD1\x8B.png", "after.png", "last.png"};
  for (std::size_t piece : {text.size(), std::size_t{1}, std::size_t{7}}) EXPECT_EQ(Targets(text, piece), expected);
  // Read in the book's encoding: windows-1251 0xFB is U+044B.
  EXPECT_EQ(Targets("<image l:href=\"#\xFB.png\"/>", 3, tCharset::Windows1251),
            std::vector<std::string>{"\xD1\x8B.png"});
}

TEST(References, TheCoverIsTheFirstImageOfTheTitlesCoverPage) {
  auto scan = [](const std::string& text) {
    tReferenceScan s(tCharset::Utf8);
    for (char c : text) s.Feed(&c, 1);
    return std::make_pair(s.HasCover ? s.Cover : "-", s.HasSourceCover ? s.SourceCover : "-");
  };
  EXPECT_EQ(scan("<fb:title-info><coverpage/><!-- <coverpage><image l:href=\"#c0\"/></coverpage> -->"
                 "<fb:coverpage><image l:href=\"#c1\"/><image l:href=\"#c2\"/></fb:coverpage></fb:title-info>"
                 "<src-title-info><coverpage><image l:href=\"#s1\"/></coverpage></src-title-info>"),
            std::make_pair(std::string("c1"), std::string("s1")));
  EXPECT_EQ(scan("<title-info><coverpage></coverpage></title-info><coverpage><image l:href=\"#x\"/></coverpage>"),
            std::make_pair(std::string("-"), std::string("-")))
      << "a cover page outside the title's is none";
}

TEST(References, TheCoverEditWritesWhereTheTitleSaysItsCoverAndOnlyThere) {
  auto edit = [](const std::string& text, const std::string& id) {
    tReferenceScan s(tCharset::Utf8);
    s.Feed(text.data(), text.size());
    std::vector<tByteEdit> edits;
    const tCoverEdit result = CoverEdits(
        s.Place, id, [&](std::uint64_t from, std::uint64_t to) { return text.substr(from, to - from); }, edits);
    std::string out = text;
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) out.replace(e->From, e->To - e->From, e->Bytes);
    return result == tCoverEdit::Done ? out : "refused";
  };
  // A broken id's "<" and '"' cannot end the value or start markup.
  EXPECT_EQ(edit("<F xmlns:x=\"http://www.w3.org/1999/xlink\"><title-info><coverpage><image x:href='#a'/>"
                 "</coverpage></title-info></F>",
                 "b<\"c"),
            "<F xmlns:x=\"http://www.w3.org/1999/xlink\"><title-info><coverpage><image x:href=\"#b&lt;&quot;c\"/>"
            "</coverpage></title-info></F>");
  // An empty cover page gets the image; a book that binds no XLink prefix gets one.
  EXPECT_EQ(edit("<F><fb:title-info><fb:coverpage/></fb:title-info></F>", "a"),
            "<F xmlns:l=\"http://www.w3.org/1999/xlink\"><fb:title-info><fb:coverpage><fb:image l:href=\"#a\"/>"
            "</fb:coverpage></fb:title-info></F>");
  EXPECT_EQ(edit("<F><title-info><coverpage/><coverpage/></title-info></F>", "a"), "refused");
  EXPECT_EQ(edit("<F><title-info></title-info><src-title-info/><title-info/></F>", "a"), "refused");
}
