#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Scenario.h"

TEST(Delete, RemovesTheElementWithItsLineWhenItStandsAloneOnOne) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  const std::string x = "<binary id=\"x\">QUJD</binary>";
  for (const auto& [before, after] :
       std::vector<std::pair<std::string, std::string>>{{"A\r\n" + x + "\r\nB", "A\r\nB"},
                                                        {"A\n  \t" + x + " \nB", "A\nB"},
                                                        {"A\r\n  " + x + "B", "A\r\n  B"},
                                                        {"A" + x + "\r\nB", "A\r\nB"},
                                                        {"A\r\n" + x + x + "\r\nB", "A\r\n\r\nB"},
                                                        {"A\r\n" + x + "\r\n" + x + "\r\nB", "A\r\nB"}}) {
    Spit(book, kHead + before + kTail);
    EXPECT_EQ(api::Delete(book, {"x", "x (2)"}), 0);
    EXPECT_EQ(Slurp(book), kHead + after + kTail) << before;
  }
  EXPECT_EQ(dir.Count(), 1u);
}

TEST(Delete, AnEmptyListRewritesTheBookUnchanged) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"x\">QUJD</binary>" + kTail;
  Spit(book, text);
  EXPECT_EQ(api::Delete(book, {}), 0);
  EXPECT_EQ(Slurp(book), text);
}

TEST(Delete, RemovesDuplicatesByTheirListedNamesAndNeighboursThatAreBothNamed) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"d\">AA</binary>1<binary id=\"k\">BB</binary>2<binary id=\"d\">CC</binary>" +
                 "<binary id=\"e\">DD</binary><binary id=\"f\">EE</binary>3" + kTail);
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"d", "k", "d (2)", "e", "f"}));
  EXPECT_EQ(api::Delete(book, {"d", "e", "f"}), 0);
  EXPECT_EQ(Slurp(book), kHead + "1<binary id=\"k\">BB</binary>2<binary id=\"d\">CC</binary>3" + kTail);
  EXPECT_EQ(api::Delete(book, {"d", "k"}), 0);
  EXPECT_EQ(Slurp(book), kHead + "123" + kTail);
}

TEST(Delete, IdsAreComparedWithCase) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"a.jpg\">AA</binary>" + kTail;
  Spit(book, text);
  EXPECT_EQ(api::Delete(book, {"A.JPG"}), 0);
  EXPECT_EQ(Slurp(book), text);
}

TEST(Delete, EveryNameTheListingShowsDeletesThatElementAndNoOther) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  const std::string elements[] = {
      "<binary valid=\"no\" id=\"v.jpg\">AA</binary>",
      "<binary id='s.jpg' content-type=\"image/jpeg\">AA</binary>",
      "<binary id = \"spaced.jpg\">AA</binary>",
      "<binary ID=\"upper.jpg\">AA</binary>",
      "<binary id=bare.jpg>AA</binary>",
      "<binary id=\"../up.png\">AA</binary>",
      "<binary id=\"Tom &amp; Jerry.jpg\">AA</binary>",
      "<binary id=\"\xD0\x9E\xD0\xB1.png\">AA</binary>",
  };
  std::string all;
  for (const auto& e : elements) all += e + "\r\n";
  Spit(book, kHead + all + kTail);
  std::vector<std::string> names = api::Names(book);
  ASSERT_EQ(names, (std::vector<std::string>{"v.jpg", "s.jpg", "upper.jpg", "bare.jpg", ".._up.png", "Tom & Jerry.jpg",
                                             testfiles::SystemName("\xD0\x9E\xD0\xB1.png")}));
  // "no" and "image/jpeg" are values of other attributes, never names.
  EXPECT_EQ(api::Delete(book, {"no", "image/jpeg", "../up.png"}), 0);
  EXPECT_EQ(api::Names(book), names);
  for (const auto& name : names) {
    EXPECT_EQ(api::Delete(book, {name}), 0) << name;
    std::vector<std::string> left = api::Names(book);
    EXPECT_EQ(std::count(left.begin(), left.end(), name), 0) << name;
  }
  // Spaced "=" has no id the listing can read, so that element stays.
  EXPECT_EQ(Slurp(book), kHead + elements[2] + "\r\n" + kTail);
}

TEST(Delete, ASelfClosingElementGoesAloneAndItsNeighbourStays) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"a.jpg\"/>\r\n<binary id=\"b.jpg\">QUJD</binary>" + kTail);
  EXPECT_EQ(api::Delete(book, {"a.jpg"}), 0);
  EXPECT_EQ(Slurp(book), kHead + "<binary id=\"b.jpg\">QUJD</binary>" + kTail);
}

TEST(Delete, AnElementWithoutItsOwnEndTagIsNotCutOutOfItsNeighbours) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"open\">QUJD\r\n<binary id=\"next\">QUJD</binary>" + kTail;
  Spit(book, text);
  EXPECT_EQ(api::Delete(book, {"open"}), E_BAD_ARCHIVE);
  EXPECT_EQ(Slurp(book), text);
  EXPECT_EQ(api::Delete(book, {"next"}), 0);
  EXPECT_EQ(Slurp(book), kHead + "<binary id=\"open\">QUJD\r\n" + kTail);
  std::string tail = kHead + "<binary id=\"end\">QUJD" + kTail;
  Spit(book, tail);
  EXPECT_EQ(api::Delete(book, {"end"}), E_BAD_ARCHIVE);
  EXPECT_EQ(Slurp(book), tail);
}

TEST(Delete, ElementsAfterANulByteAreStillFound) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + std::string("\0", 1) + "<binary id=\"x\">QUJD</binary>" + kTail);
  ASSERT_EQ(api::Names(book), std::vector<std::string>{"x"});
  EXPECT_EQ(api::Delete(book, {"x"}), 0);
  EXPECT_EQ(Slurp(book), kHead + std::string("\0", 1) + kTail);
}

TEST(Delete, RefusesBooksWithoutTheRootTagAndCreatesNothing) {
  ScratchDir dir;
  EXPECT_EQ(api::Delete(dir.File("missing.fb2"), {"x"}), E_UNKNOWN_FORMAT);
  EXPECT_FALSE(testfiles::Exists(dir.File("missing.fb2")));
  std::string late = std::string(1013, ' ') + "<FictionBook><binary id=\"x\">AA</binary></FictionBook>";
  Spit(dir.File("late.fb2"), late);
  EXPECT_EQ(api::Delete(dir.File("late.fb2"), {"x"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(Slurp(dir.File("late.fb2")), late);
  Spit(dir.File("empty.fb2"), "");
  EXPECT_EQ(api::Delete(dir.File("empty.fb2"), {"x"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(api::Delete("", {"x"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(api::Plugin().DeleteFiles(nullptr, nullptr), E_UNKNOWN_FORMAT);
}

TEST(Delete, ABookOpenAsAnArchiveIsNotRewrittenAndSaysSo) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"x\">QUJD</binary>" + kTail;
  Spit(book, text);
  {
    Archive a(book);
    ASSERT_NE(a.Handle(), nullptr);
    EXPECT_EQ(api::Delete(book, {"x"}), E_EWRITE);
    Spit(dir.File("new.png"), "png");
    EXPECT_EQ(api::Pack(book, dir.Prefix(), {"new.png"}), E_EWRITE);
    tHeaderData h;
    EXPECT_EQ(a.Next(h), 0);
    EXPECT_STREQ(h.FileName, "x");
  }
  EXPECT_EQ(Slurp(book), text);
  EXPECT_EQ(dir.Count(), 2u) << "the book and the source, no new book left beside";
  EXPECT_EQ(api::Delete(book, {"x"}), 0);
}

TEST(Pack, InsertsTheWrittenFormBeforeTheRootEndInListOrder) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string body = kHead + "<body/>\r\n";
  Spit(book, body + kTail);
  Spit(dir.File("a.png"), "Man");
  Spit(dir.File("b.png"), "Ma");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png", "b.png"}), 0);
  EXPECT_EQ(Slurp(book), body +
                             "<binary id=\"a.png\" content-type=\"image/png\">TWFu</binary>\r\n<binary id=\"b.png\" "
                             "content-type=\"image/png\">TWE=</binary>\r\n" +
                             kTail);
  EXPECT_EQ(Slurp(dir.File("a.png")), "Man") << "sources stay";
}

TEST(Pack, AFileTakesThePlaceAndIdOfTheElementListedUnderItsName) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  // An id the listing shows changed, an id held twice, and one quoted with '
  // that holds a '"'.
  Spit(book, kHead + "<binary id=\"img/pic.png\">T0xE</binary>\r\n<binary id=\"a.png\">T0xE</binary><binary " +
                 "id=\"k\">AA</binary><binary id=\"a.png\" content-type=\"image/png\">T0xE</binary>" +
                 "<binary id='q\"1.png'/>" + kTail);
  ASSERT_EQ(api::Names(book), (std::vector<std::string>{"img_pic.png", "a.png", "k", "a (2).png", "q\"1.png"}));
  Spit(dir.File("img_pic.png"), "Man");
  Spit(dir.File("a.png"), "Ma");
  std::vector<std::string> sources = {"img_pic.png", "a.png"};
#ifndef _WIN32
  Spit(dir.File("q\"1.png"), "M");
  sources.push_back("q\"1.png");
#endif
  EXPECT_EQ(api::Pack(book, dir.Prefix(), sources), 0);
  std::string expected = kHead +
                         "<binary id=\"img/pic.png\" content-type=\"image/png\">TWFu</binary>\r\n<binary id=\"a.png\" "
                         "content-type=\"image/png\">TWE=</binary><binary id=\"k\">AA</binary><binary id=\"a.png\" "
                         "content-type=\"image/png\">T0xE</binary>";
#ifndef _WIN32
  expected += "<binary id='q\"1.png' content-type=\"image/png\">TQ==</binary>" + kTail;
#else
  expected += "<binary id='q\"1.png'/>" + kTail;
#endif
  EXPECT_EQ(Slurp(book), expected);
}

#ifndef _WIN32
// A start tag that ends inside a quoted value keeps its '>' in that value
// (found by fuzzing): the id written back must not end the new tag there.
TEST(Pack, AnIdThatHoldsTheTagsEndIsWrittenBackWhole) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=r\x01t=\"s>T0xE</binary>" + kTail);
  ASSERT_EQ(api::Names(book), (std::vector<std::string>{"r_t=\"s>"}));
  Spit(dir.File("r_t=\"s>"), "M");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"r_t=\"s>"}), 0);
  EXPECT_NE(Slurp(book).find("<binary id=\"r\x01t=&quot;s&gt;\" content-type="), std::string::npos);
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"r_t=\"s>"}));
}
#endif

#ifndef _WIN32
TEST(Pack, AFileListedNowhereReplacesNothingWhateverItsNameWouldBeShownAs) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  // Listed as "a_b.png" (":" cannot stand in a file name here), but its id
  // is "a:b.png", which no added file is written as.
  const std::string before = kHead + "<binary id=\"a:b.png\">T0xE</binary>";
  Spit(book, before + kTail);
  ASSERT_EQ(api::Names(book), (std::vector<std::string>{"a_b.png"}));
  Spit(dir.File("a\x01"
                "b.png"),
       "Man");
  EXPECT_EQ(api::Pack(book, dir.Prefix(),
                      {"a\x01"
                       "b.png"}),
            0);
  EXPECT_EQ(Slurp(book), before + "<binary id=\"a_b.png\" content-type=\"image/png\">TWFu</binary>" + kTail)
      << "after other markup on the root end's line: no line end";
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"a_b.png", "a_b (2).png"}));
}
#endif

TEST(Pack, ReplacesByTheNameThatWillBeWrittenNotTheSourcePath) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"a.png\">T0xE</binary>" + kTail);
  std::filesystem::create_directory(dir.Path() / "img");
  Spit(dir.File("img") + kSep + "a.png", "Man");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"img" + kSep + "a.png"}), 0);
  EXPECT_EQ(api::Names(book), std::vector<std::string>{"a.png"});
  EXPECT_EQ(Slurp(book), kHead + "<binary id=\"a.png\" content-type=\"image/png\">TWFu</binary>" + kTail);
}

TEST(Pack, NamesAreWrittenAsXmlIdsAndAddedAgainReplaceTheirElement) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + kTail);
  Spit(dir.File("Tom & Jerry.jpg"), "1");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"Tom & Jerry.jpg"}), 0);
  EXPECT_EQ(Slurp(book),
            kHead + "<binary id=\"Tom___Jerry.jpg\" content-type=\"image/jpeg\">MQ==</binary>\r\n" + kTail);
  EXPECT_EQ(api::Names(book), std::vector<std::string>{"Tom___Jerry.jpg"});
  Spit(dir.File("Tom & Jerry.jpg"), "2");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"Tom & Jerry.jpg"}), 0);
  EXPECT_EQ(Slurp(book), kHead + "<binary id=\"Tom___Jerry.jpg\" content-type=\"image/jpeg\">Mg==</binary>\r\n" + kTail)
      << "in the old element's place, and its line end stays";
#ifndef _WIN32
  Spit(dir.File("1q\"<x>.png"), "3");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"1q\"<x>.png"}), 0);
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"Tom___Jerry.jpg", "_1q__x_.png"}));
#endif
}

TEST(Pack, SavePathsIsRefusedOnlyForNamesWithAFolder) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"a.png\">AA</binary>" + kTail;
  Spit(book, text);
  Spit(dir.File("a.png"), "Man");
  std::filesystem::create_directory(dir.Path() / "img");
  Spit(dir.File("img" + kSep + "b.png"), "b");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png", "img" + kSep + "b.png"}, PK_PACK_SAVE_PATHS), E_NOT_SUPPORTED);
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"img" + kSep}, PK_PACK_SAVE_PATHS | PK_PACK_MOVE_FILES), E_NOT_SUPPORTED);
  EXPECT_EQ(Slurp(book), text);
  // A plain name asks for no path: added as without the flag.
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png"}, PK_PACK_SAVE_PATHS), 0);
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png"}, PK_PACK_MOVE_FILES | PK_PACK_SAVE_PATHS), 0);
  EXPECT_EQ(Slurp(dir.File("a.png")), "Man") << "moving is not honoured";
  EXPECT_EQ(api::Names(book), std::vector<std::string>{"a.png"});
}

TEST(Pack, NeverCreatesABookAndRefusesOneWithoutItsEnd) {
  ScratchDir dir;
  Spit(dir.File("a.png"), "Man");
  EXPECT_EQ(api::Pack(dir.File("new.fb2"), dir.Prefix(), {"a.png"}), E_UNKNOWN_FORMAT);
  EXPECT_FALSE(testfiles::Exists(dir.File("new.fb2")));
  std::string open = kHead + "<binary id=\"a.png\">AA</binary>";
  Spit(dir.File("open.fb2"), open);
  EXPECT_EQ(api::Pack(dir.File("open.fb2"), dir.Prefix(), {"a.png"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(Slurp(dir.File("open.fb2")), open) << "not even the replace step";
  EXPECT_EQ(api::Plugin().PackFiles(nullptr, nullptr, nullptr, nullptr, 0), E_UNKNOWN_FORMAT);
}

TEST(Pack, RefusesARootEndThatStandsInsideAnOpenTag) {
  // What would be inserted there would become part of that tag and vanish
  // from the listing.
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"a.png\">AA</binary><binary id=\"open\r\n" + kTail;
  Spit(book, text);
  Spit(dir.File("a.png"), "Man");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(Slurp(book), text);
  Spit(book, kHead + "<!-- a<b -->\r\n" + kTail);
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png"}), 0) << "a closed tag or comment before the end is fine";
  EXPECT_EQ(api::Names(book), std::vector<std::string>{"a.png"});
}

TEST(Pack, AnUnreadableSourceFailsTheWholeCall) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"a.png\">AA</binary>" + kTail;
  Spit(book, text);
  Spit(dir.File("a.png"), "Man");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"a.png", "missing.png"}), E_EREAD);
  EXPECT_EQ(Slurp(book), text);
  EXPECT_EQ(dir.Count(), 2u);
}

TEST(Pack, EmptyFilesAreAddedAndFoldersSkipped) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + kTail);
  Spit(dir.File("empty.png"), "");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"sub" + kSep, "empty.png"}), 0);
  EXPECT_EQ(Slurp(book), kHead + "<binary id=\"empty.png\" content-type=\"image/png\"></binary>\r\n" + kTail);
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {}), 0);
  EXPECT_EQ(Slurp(book), kHead + "<binary id=\"empty.png\" content-type=\"image/png\"></binary>\r\n" + kTail);
  EXPECT_EQ(api::Plugin().PackFiles(CString(book).data(), nullptr, nullptr, nullptr, 0), 0);
}

TEST(Pack, AddedFilesListAndExtractByteIdentical) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string original = kHead + "<body/>\r\n" + kTail;
  Spit(book, original);
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) {
    std::string name = "f" + std::to_string(i) + ".bin";
    Spit(dir.File(name), RandomBytes(static_cast<std::size_t>(i) * 7919, static_cast<unsigned>(i)));
    names.push_back(name);
  }
  ASSERT_EQ(api::Pack(book, dir.Prefix(), names), 0);
  ASSERT_EQ(api::Names(book), names);
  std::filesystem::create_directory(dir.Path() / "out");
  {
    Archive a(book);
    tHeaderData h;
    std::string out = dir.File("out") + kSep;
    while (a.Next(h) == 0) ASSERT_EQ(a.Process(PK_EXTRACT, out.c_str(), h.FileName), 0);
  }
  for (const auto& n : names) EXPECT_EQ(Slurp(dir.File("out") + kSep + n), Slurp(dir.File(n))) << n;
  ASSERT_EQ(api::Delete(book, names), 0);
  EXPECT_EQ(Slurp(book), original) << "an add and a delete give the book back byte for byte";
}
