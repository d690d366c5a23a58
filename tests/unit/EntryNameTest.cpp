#include <gtest/gtest.h>

#include "TestFiles.h"
#include "format/EntryName.h"

namespace {

std::string Named(const std::string& tagText, tCharset charset = tCharset::Utf8) {
  return ReportedNameOf(tagText, charset);
}

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
            testfiles::SystemName("\xD0\x9E\xD0\xB1\xD0\xBB\xD0\xBE\xD0\xB6\xD0\xBA\xD0\xB0.jpg"));
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

TEST(EntryName, ReferencesAreDecodedBeforeTheSafetyRule) {
  EXPECT_EQ(Named("<binary id=\"Tom &amp; Jerry.jpg\""), "Tom & Jerry.jpg");
  EXPECT_EQ(Named("<binary id=\"&lt;&gt;&quot;&apos;\""), "<>\"'");
  EXPECT_EQ(Named("<binary id=\"&#47;&nbsp;&amp\""), "_&nbsp;&amp") << "numeric ones too, no named ones";
  EXPECT_EQ(Named("<binary id=\"..&#x2F;x\""), ".._x");
  EXPECT_EQ(Named("<binary id=\"a&#x2F;b&#0;&#x110000;\""), "a_b&#0;&#x110000;") << "no character, no reference";
  EXPECT_EQ(Named("<binary id=\"&amp;lt;\""), "&lt;") << "decoded once";
}

TEST(EntryName, NamesAreCutToWhatTheHeaderHoldsNeverInsideACharacter) {
  std::string longName(300, 'n');
  EXPECT_EQ(Named("<binary id=\"" + longName + "\""), std::string(259, 'n'));
  EXPECT_EQ(Named("<binary id=\"" + std::string(259, '.') + "x\""), std::string(259, '_'));
#ifndef _WIN32
  std::string cyrillic;
  for (int i = 0; i < 150; ++i) cyrillic += "\xD0\x96";  // 300 bytes of "Ж"
  EXPECT_EQ(Named("<binary id=\"" + cyrillic + "\""), cyrillic.substr(0, 258));
  EXPECT_EQ(Named("<binary id=\"n" + cyrillic + "\""), "n" + cyrillic.substr(0, 258));
#endif
}

TEST(EntryName, EveryElementOfABookGetsANameNoEarlierOneHas) {
  tEntryNames names;
  std::vector<std::string> given;
  for (const char* n :
       {"a.png", "a.png", "b", "a.png", "a (2).png", "b", ".hidden", ".hidden", "x.tar.gz", "x.tar.gz"}) {
    given.push_back(names.Take(n));
  }
  EXPECT_EQ(given, (std::vector<std::string>{"a.png", "a (2).png", "b", "a (3).png", "a (2) (2).png", "b (2)",
                                             ".hidden", ".hidden (2)", "x.tar.gz", "x.tar (2).gz"}));
  // Still within what the header holds.
  const std::string longName(259, 'n');
  EXPECT_EQ(names.Take(longName), longName);
  EXPECT_EQ(names.Take(longName), std::string(255, 'n') + " (2)");
  const std::string longPng = std::string(255, 'n') + ".png";
  EXPECT_EQ(names.Take(longPng), longPng);
  EXPECT_EQ(names.Take(longPng), std::string(251, 'n') + " (2).png");
}

TEST(EntryName, EscapedIdsReadBackAsTheName) {
  for (const auto& [escaped, name] :
       std::vector<std::pair<std::string, std::string>>{{"Tom &amp; Jerry.jpg", "Tom & Jerry.jpg"},
                                                        {"a&lt;b&gt;c&quot;.png", "a<b>c\".png"},
                                                        {"&amp;amp;.png", "&amp;.png"},
                                                        {"it&apos;s.png", "it's.png"}}) {
    EXPECT_EQ(Named("<binary id=\"" + escaped + "\""), name);
  }
}

TEST(EntryName, AddedFilesAreWrittenUnderValidXmlIds) {
  for (const auto& [file, id] :
       std::vector<std::pair<std::u32string, std::string>>{{U"my cover.jpg", "my_cover.jpg"},
                                                           {U"1cover.jpg", "_1cover.jpg"},
                                                           {U".hidden", "_.hidden"},
                                                           {U"a:b&c\"d'e<f>.png", "a_b_c_d_e_f_.png"},
                                                           {U"_ok-1.2", "_ok-1.2"},
                                                           {U" lead", "_lead"},
                                                           {U"\u0451\u0436 1.png", "&#1105;&#1078;_1.png"},
                                                           {U"\u0438\u0306", "&#1080;&#774;"},
                                                           {U"\u0306x", "_&#774;x"},
                                                           {U"\U0001F4D6\u2116.png", "__.png"},
                                                           {U"a\tb\n.png", "a_b_.png"}}) {
    std::string written;
    ASSERT_TRUE(WrittenIdOf(file, written));
    EXPECT_EQ(written, id);
  }
}

TEST(EntryName, TheDeclaredEncodingIsReadFromTheXmlDeclaration) {
  auto of = [](const std::string& head) { return DeclaredCharset(head.data(), head.size()); };
  EXPECT_EQ(of("<?xml version=\"1.0\" encoding=\"windows-1251\"?><FictionBook>"), tCharset::Windows1251);
  EXPECT_EQ(of("\xEF\xBB\xBF<?xml version='1.0' encoding = 'KOI8-R' ?>"), tCharset::Koi8R);
  EXPECT_EQ(of("<?xml version=\"1.0\"?><FictionBook encoding=\"cp1251\">"), tCharset::Utf8) << "only the declaration";
  EXPECT_EQ(of("<?xml version=\"1.0\" <binary id=\"a\">QUJD</binary> encoding=\"koi8-r\"?>"), tCharset::Utf8)
      << "an unclosed declaration ends before the markup after it";
  EXPECT_EQ(of("<FictionBook>"), tCharset::Utf8);
  EXPECT_EQ(of("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"), tCharset::Other);
}

#ifndef _WIN32
TEST(EntryName, NamesAreReportedInUtf8AndWrittenAsReferences) {
  const std::string name = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD.png";  // "Иван.png"
  std::string id;
  ASSERT_TRUE(WrittenId(name, id));
  EXPECT_EQ(id, "&#1048;&#1074;&#1072;&#1085;.png");
  const std::string head = "<binary id=\"" + id + "\"";
  for (tCharset any : {tCharset::Utf8, tCharset::Windows1251, tCharset::Other}) {
    EXPECT_EQ(ReportedNameOf(head, any), name);
  }
  // "рыба.png" as windows-1251 and as KOI8-R bytes; 0x98 means nothing in windows-1251.
  EXPECT_EQ(Named("<binary id=\"\xF0\xFB\xE1\xE0.png\"", tCharset::Windows1251),
            "\xD1\x80\xD1\x8B\xD0\xB1\xD0\xB0.png");
  EXPECT_EQ(Named("<binary id=\"\xD2\xD9\xC2\xC1.png\"", tCharset::Koi8R), "\xD1\x80\xD1\x8B\xD0\xB1\xD0\xB0.png");
  EXPECT_EQ(Named("<binary id=\"\x98\xE0\"", tCharset::Windows1251), "\x98\xE0") << "undecodable: as it stands";
  EXPECT_FALSE(WrittenId("inv\xFF\xFE.png", id)) << "not UTF-8: it cannot be written faithfully";
}
#endif
