#include <gtest/gtest.h>

#include "Scenario.h"

using api::Plugin;

namespace {

bool Detect(const std::string& path) {
  auto p = CString(path);
  return Plugin().CanYouHandleThisFile(p.data()) != 0;
}

int callbackCalls = 0;  // test-only: counts calls the plug-in must never make
int WCX_API CountingCallback(char*, int) {
  ++callbackCalls;
  return 1;
}

}  // namespace

TEST(Open, AnnouncesItsCapabilitiesAlways) {
  EXPECT_EQ(Plugin().GetPackerCaps(), 335);
  ScratchDir dir;
  Spit(dir.File("b.fb2"), api::Book(""));
  Archive a(dir.File("b.fb2"));
  ASSERT_NE(a.Handle(), nullptr);
  EXPECT_EQ(Plugin().GetPackerCaps(), 335);
}

TEST(Open, EmptyMissingAndFolderPathsGiveNoHandleAndBadData) {
  ScratchDir dir;
  Spit(dir.File("empty"), "");
  for (const std::string& path : {dir.File("empty"), dir.File("missing"), dir.Prefix(), std::string()}) {
    Archive a(path);
    EXPECT_EQ(a.Handle(), nullptr) << path;
    EXPECT_EQ(a.OpenResult(), E_BAD_DATA) << path;
  }
  tOpenArchiveData data{};
  data.ArcName = nullptr;
  EXPECT_EQ(Plugin().OpenArchive(&data), nullptr);
  EXPECT_EQ(data.OpenResult, E_BAD_DATA);
  EXPECT_EQ(Plugin().OpenArchive(nullptr), nullptr);
}

TEST(Open, AnyNonEmptyFileOpensAndAStrangerListsNothing) {
  ScratchDir dir;
  Spit(dir.File("x"), "not a book at all");
  Archive a(dir.File("x"));
  ASSERT_NE(a.Handle(), nullptr);
  EXPECT_EQ(a.OpenResult(), -7) << "OpenResult is written only on failure";
  tHeaderData h;
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
}

TEST(Open, CloseAcceptsANullHandleAndOtherCallsRefuseIt) {
  EXPECT_EQ(Plugin().CloseArchive(nullptr), 0);
  tHeaderData h{};
  EXPECT_NE(Plugin().ReadHeader(nullptr, &h), 0);
  EXPECT_NE(Plugin().ProcessFile(nullptr, PK_EXTRACT, nullptr, nullptr), 0);
  Plugin().SetChangeVolProc(nullptr, nullptr);
  Plugin().SetProcessDataProc(nullptr, nullptr);
}

TEST(Open, CallbacksAreAcceptedButNeverCalled) {
  ScratchDir dir;
  Spit(dir.File("b.fb2"), api::Book("<binary id=\"a\">TWFu</binary>"));
  callbackCalls = 0;
  {
    Archive a(dir.File("b.fb2"));
    Plugin().SetChangeVolProc(a.Handle(), CountingCallback);
    Plugin().SetProcessDataProc(a.Handle(), CountingCallback);
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "a"), 0);
  }
  EXPECT_EQ(api::Pack(dir.File("b.fb2"), dir.Prefix(), {"a"}), 0);
  EXPECT_EQ(callbackCalls, 0);
}

TEST(Detect, RecognisesTheRootTagWithOrWithoutAttributes) {
  ScratchDir dir;
  Spit(dir.File("plain"), api::Book("", false));
  Spit(dir.File("ns"), api::Book("", true));
  Spit(dir.File("tab"), "<FictionBook\txmlns=\"x\">");
  Spit(dir.File("crlf"), "<FictionBook\r\nxmlns=\"x\">");
  Spit(dir.File("twelve"), "<FictionBook");
  Spit(dir.File("longer"), "<FictionBookX>");
  Spit(dir.File("lower"), "<fictionbook>");
  EXPECT_TRUE(Detect(dir.File("plain")));
  EXPECT_TRUE(Detect(dir.File("ns")));
  EXPECT_TRUE(Detect(dir.File("tab")));
  EXPECT_TRUE(Detect(dir.File("crlf")));
  EXPECT_FALSE(Detect(dir.File("twelve")));
  EXPECT_FALSE(Detect(dir.File("longer")));
  EXPECT_FALSE(Detect(dir.File("lower")));
  EXPECT_FALSE(Detect(dir.File("missing")));
  EXPECT_FALSE(Detect(dir.Prefix()));
  EXPECT_FALSE(Plugin().CanYouHandleThisFile(nullptr));
}

TEST(Detect, LooksOnlyAtTheFirst1024Bytes) {
  ScratchDir dir;
  Spit(dir.File("last"), std::string(1011, ' ') + "<FictionBook>" + std::string(100, ' '));
  Spit(dir.File("past"), std::string(1012, ' ') + "<FictionBook>" + std::string(100, ' '));
  EXPECT_TRUE(Detect(dir.File("last"))) << "the tag ends on byte 1024";
  EXPECT_FALSE(Detect(dir.File("past")));
}

TEST(Detect, AZipThatStoresABookIsNeitherRecognisedNorRewritten) {
  ScratchDir dir;
  // A local file header, then the member stored as it is.
  const std::string zip = std::string("PK\x03\x04\x14\x00\x00\x00\x00\x00", 10) + std::string(20, '\0') + "b.fb2" +
                          api::Book("<binary id=\"a.png\">QUJD</binary>") + "PK\x01\x02";
  Spit(dir.File("b.fb2.zip"), zip);
  EXPECT_FALSE(Detect(dir.File("b.fb2.zip")));
  Spit(dir.File("new.png"), "png");
  EXPECT_EQ(api::Pack(dir.File("b.fb2.zip"), dir.Prefix(), {"new.png"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(api::Delete(dir.File("b.fb2.zip"), {"a.png"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(Slurp(dir.File("b.fb2.zip")), zip);
  EXPECT_EQ(api::Names(dir.File("b.fb2.zip")), std::vector<std::string>{"a.png"}) << "reading changes nothing";
}

TEST(Detect, SeesABookThatIsOpenAsAnArchive) {
  ScratchDir dir;
  Spit(dir.File("b.fb2"), api::Book(""));
  Archive a(dir.File("b.fb2"));
  EXPECT_TRUE(Detect(dir.File("b.fb2")));
}

TEST(Open, TwoBooksAreListedIndependently) {
  ScratchDir dir;
  Spit(dir.File("one"), api::Book("<binary id=\"a1\">AA==</binary><binary id=\"a2\">AA==</binary>"));
  Spit(dir.File("two"), api::Book("<binary id=\"b1\">AA==</binary><binary id=\"b2\">AA==</binary>"));
  Archive one(dir.File("one"));
  Archive two(dir.File("two"));
  tHeaderData h;
  ASSERT_EQ(one.Next(h), 0);
  EXPECT_STREQ(h.FileName, "a1");
  ASSERT_EQ(two.Next(h), 0);
  EXPECT_STREQ(h.FileName, "b1");
  EXPECT_STREQ(h.ArcName, dir.File("two").c_str());
  ASSERT_EQ(one.Next(h), 0);
  EXPECT_STREQ(h.FileName, "a2");
  ASSERT_EQ(two.Next(h), 0);
  EXPECT_STREQ(h.FileName, "b2");
  EXPECT_EQ(one.Next(h), E_NOT_SUPPORTED);
}
