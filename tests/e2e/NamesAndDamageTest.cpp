// Every name a host is shown stands for exactly one element, and an entry
// that cannot be read whole is never reported as extracted.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "Scenario.h"

namespace {

// Extracts every entry of book into dir; the result and bytes of each.
std::map<std::string, std::pair<int, std::string>> ExtractAll(const ScratchDir& dir, const std::string& book) {
  std::map<std::string, std::pair<int, std::string>> out;
  Archive a(book);
  tHeaderData h;
  while (a.Next(h) == 0) {
    const std::string name = h.FileName;
    EXPECT_EQ(out.count(name), 0u) << name << " shown twice";
    const int rc = a.Process(PK_EXTRACT, dir.Prefix().c_str(), name.c_str());
    out[name] = {rc, Slurp(dir.File(name))};
  }
  return out;
}

}  // namespace

TEST(Names, ElementsThatWouldShareANameEachGetTheirOwn) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  // Different ids that read alike once made safe, an id written twice, and
  // ids that differ only in characters a Western code page cannot show
  // ("обложка.png" and "рисунок.png").
  const std::vector<std::string> elements = {
      "<binary id=\"a/b.png\">QUFB</binary>",
      "<binary id=\"a_b.png\">QkJC</binary>",
      "<binary id=\"a:b.png\">Q0ND</binary>",
      "<binary id=\"a_b.png\">RERE</binary>",
      "<binary id=\"&#1086;&#1073;&#1083;&#1086;&#1078;&#1082;&#1072;.png\">RUVF</binary>",
      "<binary id=\"&#1088;&#1080;&#1089;&#1091;&#1085;&#1086;&#1082;.png\">RkZG</binary>"};
  // An element on a line of its own goes with its line.
  auto without = [&](std::size_t gone) {
    std::string text = kHead;
    for (std::size_t i = 0; i < elements.size(); ++i) text += i == gone ? "" : elements[i] + "\r\n";
    return text + kTail;
  };
  const std::string text = without(elements.size());
  Spit(book, text);
  const std::vector<std::string> names = api::Names(book);
  ASSERT_EQ(names.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
            (std::vector<std::string>{"a_b.png", "a_b (2).png", "a_b (3).png", "a_b (4).png"}));
  auto extracted = ExtractAll(dir, book);
  ASSERT_EQ(extracted.size(), 6u);
  const char* contents[] = {"AAA", "BBB", "CCC", "DDD", "EEE", "FFF"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(extracted[names[i]], std::make_pair(0, std::string(contents[i]))) << names[i];
  }
  // Each name shown deletes its own element and changes no other byte.
  for (std::size_t i = 0; i < names.size(); ++i) {
    Spit(book, text);
    ASSERT_EQ(api::Delete(book, {names[i]}), 0) << names[i];
    EXPECT_EQ(Slurp(book), without(i)) << names[i];
  }
}

TEST(Names, NamesTheFileSystemTakesForOneAreMadeUniqueThere) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"Cover.png\">QUFB</binary><binary id=\"cover.png\">QkJC</binary>" +
                 "<binary id=\"a.png\">Q0ND</binary><binary id=\"a.png. \">RERE</binary>" +
                 "<binary id=\"con.png\">RUVF</binary><binary id=\"Nul\">RkZG</binary>" + kTail);
#ifdef _WIN32
  // Windows compares names without case and without trailing dots and
  // blanks, and no file can be named after a device.
  const std::vector<std::string> expected = {"Cover.png", "cover (2).png", "a.png", "a.png (2). ", "_con.png", "_Nul"};
#else
  const std::vector<std::string> expected = {"Cover.png", "cover.png", "a.png", "a.png. ", "con.png", "Nul"};
#endif
  EXPECT_EQ(api::Names(book), expected);
  auto extracted = ExtractAll(dir, book);
  const char* contents[] = {"AAA", "BBB", "CCC", "DDD", "EEE", "FFF"};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(extracted[expected[i]], std::make_pair(0, std::string(contents[i]))) << expected[i];
  }
}

TEST(Names, ControlsAndWhatXmlForbidsAreNeitherShownNorWritten) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"del\x7F&#127;.png\">QUFB</binary><binary id=\"c1&#133;\xC2\x85.png\">QkJC</binary>" +
                 kTail);
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"del__.png", "c1__.png"}));
#ifndef _WIN32
  // U+FFFF, U+FFFE and U+0085 in an added file's name: XML holds no such
  // character, and the book must stay readable.
  Spit(dir.File("a\xEF\xBF\xBF\xEF\xBF\xBE\xC2\x85.png"), "png");
  ASSERT_EQ(api::Pack(book, dir.Prefix(), {"a\xEF\xBF\xBF\xEF\xBF\xBE\xC2\x85.png"}), 0);
  EXPECT_NE(Slurp(book).find("<binary id=\"a___.png\""), std::string::npos);
  EXPECT_EQ(api::Names(book).back(), "a___.png");
#endif
}

TEST(Damage, ACutOrForeignContentIsToldAndWhatDecodesIsKept) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"ok\">\r\n  TWFu\r\n</binary><binary id=\"empty\">\r\n\t</binary>" +
                 "<binary id=\"junk\">@@@@!!</binary><binary id=\"lone\">TWFuT</binary>" +
                 "<binary id=\"cut\">TWFuTWFu\r\nTW");
  auto got = ExtractAll(dir, book);
  EXPECT_EQ(got["ok"], std::make_pair(0, std::string("Man")));
  EXPECT_EQ(got["empty"], std::make_pair(0, std::string()));
  EXPECT_EQ(got["junk"], std::make_pair(static_cast<int>(E_BAD_DATA), std::string()));
  EXPECT_EQ(got["lone"], std::make_pair(static_cast<int>(E_BAD_DATA), std::string("Man")));
  EXPECT_EQ(got["cut"], std::make_pair(static_cast<int>(E_BAD_ARCHIVE), std::string("ManManM")));
}

TEST(Damage, UnpaddedEndsDecodeAndWhatStopsShortIsTold) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book,
       kHead + "<binary id=\"two\">QUJDRA</binary><binary id=\"three\">QUJDREU\r\n</binary >" +
           "<binary id=\"padded apart\">QQ==\r\nQUJD</binary><binary id=\"pad then blanks\">QQ==\r\n\t</binary>" +
           "<binary id=\"comment\">QUJD<!-- x -->RUZH</binary><binary id=\"comment first\"><!-- x -->QUJD</binary>" +
           "<binary id=\"cdata\">QUJD<![CDATA[RUZH]]></binary><binary id=\"closes itself\"/>QUJD<p/>" + kTail);
  auto got = ExtractAll(dir, book);
  EXPECT_EQ(got["two"], std::make_pair(0, std::string("ABCD")));
  EXPECT_EQ(got["three"], std::make_pair(0, std::string("ABCDE")));
  EXPECT_EQ(got["padded apart"], std::make_pair(static_cast<int>(E_BAD_DATA), std::string("A")));
  EXPECT_EQ(got["pad then blanks"], std::make_pair(0, std::string("A")));
  EXPECT_EQ(got["comment"], std::make_pair(static_cast<int>(E_BAD_DATA), std::string("ABC")));
  EXPECT_EQ(got["comment first"], std::make_pair(static_cast<int>(E_BAD_DATA), std::string()));
  EXPECT_EQ(got["cdata"], std::make_pair(static_cast<int>(E_BAD_DATA), std::string("ABC")));
  EXPECT_EQ(got["closes itself"], std::make_pair(0, std::string("ABC")));
}

TEST(Pack, TheBookItselfIsNoSourceByAnyPath) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  const std::string text = kHead + "<binary id=\"x\">QUJD</binary>" + kTail;
  Spit(book, text);
  Spit(dir.File("new.png"), "png");
  std::filesystem::create_hard_link(book, dir.File("again.fb2"));
  for (const char* source : {"b.fb2", "again.fb2"}) {
    EXPECT_EQ(api::Pack(book, dir.Prefix(), {"new.png", source}), E_EREAD) << source;
    EXPECT_EQ(Slurp(book), text) << source;
  }
}

#ifndef _WIN32
TEST(Pack, ANameNotValidInTheSystemsEncodingIsRefused) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  const std::string text = kHead + kTail;
  Spit(book, text);
  Spit(dir.File("inv\xFF\xFE.png"), "png");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"inv\xFF\xFE.png"}), E_EREAD);
  EXPECT_EQ(Slurp(book), text);
}
#endif
