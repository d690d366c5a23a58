#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "Scenario.h"

namespace {

// A base64 element in the layout books use: lines of 76 characters.
std::string Element(const std::string& id, const std::string& bytes) {
  std::string b64 = testfiles::ReferenceBase64(bytes);
  std::string lines;
  for (std::size_t p = 0; p < b64.size(); p += 76) lines += b64.substr(p, 76) + "\r\n";
  return "<binary id=\"" + id + "\" content-type=\"image/png\">\r\n" + lines + "</binary>\r\n";
}

bool AllBytesAre(const char* p, std::size_t n, char v) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != v) return false;
  }
  return true;
}

const std::string kA = RandomBytes(1000, 1), kB = RandomBytes(40000, 2), kC = RandomBytes(7, 3);

std::string ThreeEntries() { return api::Book(Element("a.png", kA) + Element("b.jpg", kB) + Element("c.gif", kC)); }

}  // namespace

TEST(Listing, ReportsEntriesInBookOrderThenEndsWithoutTouchingTheHeader) {
  ScratchDir dir;
  std::string book = dir.File("three.fb2");
  Spit(book, ThreeEntries());
  Archive a(book);
  ASSERT_NE(a.Handle(), nullptr);
  tHeaderData h;
  for (const char* name : {"a.png", "b.jpg", "c.gif"}) {
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_STREQ(h.FileName, name);
    EXPECT_STREQ(h.ArcName, book.c_str());
    // Only the two names and their NULs are written.
    const char* raw = reinterpret_cast<const char*>(&h);
    EXPECT_TRUE(AllBytesAre(raw + 520, sizeof h - 520, 0x5A)) << "fields after the names are the host's";
    EXPECT_TRUE(AllBytesAre(h.FileName + std::strlen(name) + 1, 260 - std::strlen(name) - 1, 0x5A));
    EXPECT_TRUE(AllBytesAre(h.ArcName + book.size() + 1, 260 - book.size() - 1, 0x5A));
  }
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
  EXPECT_TRUE(AllBytesAre(reinterpret_cast<const char*>(&h), sizeof h, 0x5A));
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
}

TEST(Listing, SkipAndExtractWalksReportTheSameNames) {
  ScratchDir dir;
  std::string book = dir.File("three.fb2");
  Spit(book, ThreeEntries());
  std::vector<std::string> skipped = api::Names(book), extracted;
  Archive a(book);
  tHeaderData h;
  while (a.Next(h) == 0) {
    extracted.emplace_back(h.FileName);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), h.FileName), 0);
  }
  EXPECT_EQ(skipped, (std::vector<std::string>{"a.png", "b.jpg", "c.gif"}));
  EXPECT_EQ(extracted, skipped);
  EXPECT_EQ(Slurp(dir.File("a.png")), kA);
  EXPECT_EQ(Slurp(dir.File("b.jpg")), kB);
  EXPECT_EQ(Slurp(dir.File("c.gif")), kC);
}

TEST(Listing, TestAndUnknownOperationsAreRefusedAndDoNotMoveTheReader) {
  ScratchDir dir;
  std::string book = dir.File("three.fb2");
  Spit(book, ThreeEntries());
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_TEST, dir.Prefix().c_str(), "t"), E_NOT_SUPPORTED);
  EXPECT_EQ(a.Process(7, dir.Prefix().c_str(), "t"), E_NOT_SUPPORTED);
  EXPECT_EQ(a.Process(-1, dir.Prefix().c_str(), "t"), E_NOT_SUPPORTED);
  EXPECT_FALSE(testfiles::Exists(dir.File("t")));
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_STREQ(h.FileName, "b.jpg");
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "b"), 0);
  EXPECT_EQ(Slurp(dir.File("b")), kB);
}

TEST(Listing, LongNamesAreCutTo259Bytes) {
  ScratchDir dir;
  std::string name(300, 'n');
  Spit(dir.File("b.fb2"), api::Book(Element(name, "x")));
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(std::string(h.FileName), name.substr(0, 259));
}

TEST(Listing, ANamelessElementDoesNotHideTheRest) {
  ScratchDir dir;
  Spit(dir.File("b.fb2"),
       api::Book(Element("first", "1") + "<binary content-type=\"image/png\">AA==</binary>" +
                 "<binary id=\"\">AA==</binary><binary id=\"open>AA==</binary>" + Element("second", "2")));
  EXPECT_EQ(api::Names(dir.File("b.fb2")), (std::vector<std::string>{"first", "second"}));
}

TEST(Listing, NamesThatCouldEscapeTheDestinationAreReportedSafely) {
  ScratchDir dir;
  Spit(dir.File("b.fb2"), api::Book(Element("../up.png", "u") + Element("..\\win.png", "w") +
                                    Element("C:\\abs.png", "c") + Element("/etc/x", "e") + Element("..", "d")));
  std::vector<std::string> names = api::Names(dir.File("b.fb2"));
  EXPECT_EQ(names, (std::vector<std::string>{".._up.png", ".._win.png", "C__abs.png", "_etc_x", "__"}));
  std::filesystem::create_directory(dir.Path() / "out");
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  std::string out = dir.File("out") + kSep;
  while (a.Next(h) == 0) EXPECT_EQ(a.Process(PK_EXTRACT, out.c_str(), h.FileName), 0);
  std::size_t inside = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path() / "out")) inside += e.is_regular_file();
  EXPECT_EQ(inside, 5u);
  EXPECT_EQ(dir.Count(), 2u) << "nothing landed beside the destination folder";
}

TEST(Extraction, DestinationIsPathFollowedDirectlyByName) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, api::Book(Element("one", kA) + Element("two", kB) + Element("three", kC)));
  std::filesystem::create_directory(dir.Path() / "out");
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  std::string withSep = dir.File("out") + kSep;
  EXPECT_EQ(a.Process(PK_EXTRACT, withSep.c_str(), "a.jpg"), 0);
  EXPECT_EQ(Slurp(dir.File("out") + kSep + "a.jpg"), kA);
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.File("out").c_str(), "b.jpg"), 0);
  EXPECT_EQ(Slurp(dir.File("outb.jpg")), kB);
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, nullptr, dir.File("full.bin").c_str()), 0);
  EXPECT_EQ(Slurp(dir.File("full.bin")), kC);
}

TEST(Extraction, ReplacesAnExistingFileRatherThanAppending) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, ThreeEntries());
  Spit(dir.File("a.png"), std::string(100000, 'o'));
  for (int walk = 0; walk < 2; ++walk) {
    Archive a(book);
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), h.FileName), 0);
    EXPECT_EQ(Slurp(dir.File("a.png")), kA) << "walk " << walk;
  }
  EXPECT_EQ(dir.Count(), 2u) << "no file is left beside the destination";
}

TEST(Extraction, AMissingFolderGivesECreateAndTheWalkGoesOn) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, ThreeEntries());
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  std::string missing = dir.File("missing") + kSep;
  EXPECT_EQ(a.Process(PK_EXTRACT, missing.c_str(), h.FileName), E_ECREATE);
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_STREQ(h.FileName, "b.jpg");
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), h.FileName), 0);
  EXPECT_EQ(Slurp(dir.File("b.jpg")), kB);
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_STREQ(h.FileName, "c.gif");
}

TEST(Extraction, AFolderInTheWayIsNotReplaced) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, ThreeEntries());
  std::filesystem::create_directory(dir.Path() / "a.png");
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), h.FileName), E_ECREATE);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "a.png"));
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_STREQ(h.FileName, "b.jpg");
}

TEST(Extraction, ContentEndsAtTheNextLessThanAndIsDecodedAcrossLineBreaks) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, api::Book("<binary id=\"self\"/>\r\n<p>text</p><binary id=\"lines\">\r\n  TW\r\n\tFu\r\n  </binary>"));
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "self"), 0);
  EXPECT_TRUE(testfiles::Exists(dir.File("self")));
  EXPECT_EQ(Slurp(dir.File("self")), "");
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "lines"), 0);
  EXPECT_EQ(Slurp(dir.File("lines")), "Man");
}

TEST(Extraction, ABookEndingInsideAStartTagStillYieldsTheEntry) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, "<FictionBook>\r\n<binary id=\"a\">TWFu</binary>\r\n<binary id=\"x\"");
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_STREQ(h.FileName, "x");
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "x"), E_BAD_ARCHIVE) << "a book cut short is told";
  EXPECT_EQ(Slurp(dir.File("x")), "");
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
}

TEST(Extraction, SkippingSearchesOnThroughTheSkippedContent) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, api::Book(Element("1", "a") + Element("2", "b") + Element("3", "c") + Element("4", "d")));
  Archive a(book);
  tHeaderData h;
  std::string got;
  while (a.Next(h) == 0) {
    bool even = (h.FileName[0] - '0') % 2 == 0;
    EXPECT_EQ(a.Process(even ? PK_EXTRACT : PK_SKIP, dir.Prefix().c_str(), h.FileName), 0);
    got += h.FileName;
  }
  EXPECT_EQ(got, "1234");
  EXPECT_FALSE(testfiles::Exists(dir.File("1")));
  EXPECT_EQ(Slurp(dir.File("2")), "b");
  EXPECT_EQ(Slurp(dir.File("4")), "d");
}
