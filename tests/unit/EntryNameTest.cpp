#include <gtest/gtest.h>

#include "plugin/EntryName.h"

namespace {

std::string Named(const std::string& tagText) { return ReportedNameOf(tagText.data(), tagText.size()); }

}  // namespace

TEST(EntryName, ReadsTheUnquotedIdOfAnyQuoting) {
  EXPECT_EQ(Named("<binary id=\"cover.jpg\" content-type=\"image/jpeg\""), "cover.jpg");
  EXPECT_EQ(Named("<binary content-type=\"image/png\" id='img1'"), "img1");
  EXPECT_EQ(Named("<binary id=plain.png"), "plain.png");
  EXPECT_EQ(Named("<binaryX id=\"a\""), "a");
  EXPECT_EQ(Named("<binary content-type=\"image/png\""), "");
  EXPECT_EQ(Named("<binary id=\"\""), "");
  EXPECT_EQ(Named("<binary id=\"a"), "") << "a quote never closed";
  EXPECT_EQ(Named("<binary valid=\"no\" id=\"a.jpg\""), "a.jpg");
}

TEST(EntryName, KeepsOrdinaryNamesExactly) {
  EXPECT_EQ(Named("<binary id=\"img_1.png\""), "img_1.png");
  EXPECT_EQ(Named("<binary id=\"\xD0\x9E\xD0\xB1\xD0\xBB\xD0\xBE\xD0\xB6\xD0\xBA\xD0\xB0.jpg\""),
            "\xD0\x9E\xD0\xB1\xD0\xBB\xD0\xBE\xD0\xB6\xD0\xBA\xD0\xB0.jpg");
  EXPECT_EQ(Named("<binary id=\".hidden\""), ".hidden");
  EXPECT_EQ(Named("<binary id=\"a..b\""), "a..b");
}

TEST(EntryName, NamesCannotLeaveTheDestinationFolder) {
  EXPECT_EQ(Named("<binary id=\"../../etc/passwd\""), ".._.._etc_passwd");
  EXPECT_EQ(Named("<binary id=\"..\\x.dll\""), ".._x.dll");
  EXPECT_EQ(Named("<binary id=\"C:\\evil.exe\""), "C__evil.exe");
  EXPECT_EQ(Named("<binary id=\"/abs\""), "_abs");
  EXPECT_EQ(Named("<binary id=\"..\""), "__");
  EXPECT_EQ(Named("<binary id=\".\""), "_");
  EXPECT_EQ(Named("<binary id=\"a\tb\x01\""), "a_b_");
  EXPECT_EQ(Named("<binary id=\"a\r\nb\""), "") << "the value line ends at the line break";
}

TEST(EntryName, PredefinedReferencesAreDecodedBeforeTheSafetyRule) {
  EXPECT_EQ(Named("<binary id=\"Tom &amp; Jerry.jpg\""), "Tom & Jerry.jpg");
  EXPECT_EQ(Named("<binary id=\"&lt;&gt;&quot;&apos;\""), "<>\"'");
  EXPECT_EQ(Named("<binary id=\"&#47;&nbsp;&amp\""), "&#47;&nbsp;&amp") << "no other reference";
  EXPECT_EQ(Named("<binary id=\"..&#x2F;x\""), "..&#x2F;x");
  EXPECT_EQ(Named("<binary id=\"a&#x2F;b\""), "a&#x2F;b");
  EXPECT_EQ(Named("<binary id=\"&amp;lt;\""), "&lt;") << "decoded once";
}

TEST(EntryName, NamesAreCutToWhatTheHeaderHolds) {
  std::string longName(300, 'n');
  EXPECT_EQ(Named("<binary id=\"" + longName + "\""), std::string(259, 'n'));
  EXPECT_EQ(Named("<binary id=\"" + std::string(259, '.') + "x\""), std::string(259, '_'));
}

TEST(EntryName, EscapedIdsReadBackAsTheName) {
  for (const std::string name : {"Tom & Jerry.jpg", "a<b>c\".png", "&amp;.png", "plain.png", "it's.png"}) {
    std::string tag = "<binary id=\"" + EscapeId(name) + "\"";
    EXPECT_EQ(Named(tag), name);
    EXPECT_EQ(EscapeId(name).find_first_of("<>\""), std::string::npos);
  }
}
