// Books and arguments no one should send, sent: each gives a result code and
// leaves every file as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Scenario.h"

namespace {

std::string Utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

}  // namespace

TEST(BadInput, TinyAndTruncatedBooks) {
  ScratchDir dir;
  for (const std::string& text : {std::string("<"), std::string("<binary"), std::string("<binary id"),
                                  std::string("<binary id=\"a"), std::string(1, '\0'), std::string(5000, '\0')}) {
    Spit(dir.File("b.fb2"), text);
    Archive a(dir.File("b.fb2"));
    ASSERT_NE(a.Handle(), nullptr);
    tHeaderData h;
    EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED) << text.size();
    EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"a"}), E_UNKNOWN_FORMAT);
    EXPECT_EQ(Slurp(dir.File("b.fb2")), text);
  }
}

TEST(BadInput, Utf16BooksAreNotTakenForBooks) {
  ScratchDir dir;
  std::string text = Utf16(kHead + "<binary id=\"a\">QUJD</binary>" + kTail);
  Spit(dir.File("b.fb2"), text);
  auto name = CString(dir.File("b.fb2"));
  EXPECT_EQ(api::Plugin().CanYouHandleThisFile(name.data()), 0);
  EXPECT_TRUE(api::Names(dir.File("b.fb2")).empty());
  EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"a"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(Slurp(dir.File("b.fb2")), text);
}

TEST(BadInput, NamesAroundTheHeaderLimit) {
  ScratchDir dir;
  std::string text = kHead;
  for (std::size_t n : {258u, 259u, 260u, 1000u})
    text += "<binary id=\"" + std::string(n, 'a' + n % 7) + "\">QUJD</binary>";
  Spit(dir.File("b.fb2"), text + kTail);
  std::vector<std::string> names = api::Names(dir.File("b.fb2"));
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0].size(), 258u);
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(names[i].size(), 259u);
  // Each name the listing gave deletes its element, the cut ones included.
  EXPECT_EQ(api::Delete(dir.File("b.fb2"), {names[1], names[3]}), 0);
  EXPECT_EQ(api::Names(dir.File("b.fb2")), (std::vector<std::string>{names[0], names[2]}));
}

TEST(BadInput, ManyEntries) {
  ScratchDir dir;
  std::string text = kHead;
  for (int i = 0; i < 100000; ++i) text += "<binary id=\"" + std::to_string(i) + "\">QQ==</binary>\r\n";
  Spit(dir.File("b.fb2"), text + kTail);
  std::vector<std::string> names = api::Names(dir.File("b.fb2"));
  ASSERT_EQ(names.size(), 100000u);
  EXPECT_EQ(names.front(), "0");
  EXPECT_EQ(names.back(), "99999");
  EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"5", "99999"}), 0);
  EXPECT_EQ(api::Names(dir.File("b.fb2")).size(), 99998u);
}

TEST(BadInput, BooksOf4GiBOrMoreAreRefusedWhole) {
  ScratchDir dir;
  std::string path = dir.File("huge.fb2");
  Spit(path, kHead + "<binary id=\"a\">QUJD</binary>" + kTail);
  std::error_code ec;
  std::filesystem::resize_file(path, (std::uintmax_t{1} << 32) + 10, ec);  // sparse: takes no room
  if (ec) GTEST_SKIP() << "cannot make a 4 GiB file here: " << ec.message();
  Archive a(path);
  EXPECT_EQ(a.Handle(), nullptr);
  EXPECT_EQ(a.OpenResult(), E_BAD_DATA);
  EXPECT_NE(api::Delete(path, {"a"}), 0);
  EXPECT_NE(api::Pack(path, dir.Prefix(), {}), 0);
  EXPECT_EQ(std::filesystem::file_size(path), (std::uintmax_t{1} << 32) + 10);
}

TEST(BadInput, NullPointersWhereAHostMightPassThem) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"a\">QUJD</binary>" + kTail);
  {
    Archive a(book);
    ASSERT_NE(a.Handle(), nullptr);
    EXPECT_NE(api::Plugin().ReadHeader(a.Handle(), nullptr), 0);
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0) << "a refused call did not move the reader";
    EXPECT_NE(a.Process(PK_EXTRACT, nullptr, nullptr), 0) << "no destination at all";
    EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
  }
  auto path = CString(book);
  EXPECT_EQ(api::Plugin().DeleteFiles(path.data(), nullptr), 0);
  EXPECT_EQ(api::Plugin().PackFiles(path.data(), nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(api::Names(book), std::vector<std::string>{"a"});
}

TEST(BadInput, PathsOf259And260BytesAndMore) {
  ScratchDir dir;
  std::string deep = dir.Prefix();
  const std::string sep = deep.substr(deep.size() - 1);
  std::error_code ec;
  while (deep.size() < 100) {
    deep += std::string(30, 'd') + sep;
    std::filesystem::create_directory(deep, ec);
  }
  const std::string text = kHead + "<binary id=\"a\">QUJD</binary>" + kTail;
  for (std::size_t length : {259u, 260u, 300u}) {
    std::string book = deep + std::string(length - deep.size(), 'n');
    Spit(book, text);
    if (Slurp(book) != text) continue;  // this platform cannot even make the file
    Archive a(book);
    if (a.Handle() == nullptr) {
      EXPECT_EQ(a.OpenResult(), E_BAD_DATA) << length;  // the ANSI calls stop at 259 bytes
      continue;
    }
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(std::string(h.ArcName), book.substr(0, 259)) << length;
    EXPECT_STREQ(h.FileName, "a");
  }
}

TEST(BadInput, ALargeSingleEntry) {
  if (!std::getenv("FB2PACK_LARGE_TESTS")) GTEST_SKIP() << "set FB2PACK_LARGE_TESTS=1 to run";
  ScratchDir dir;
  std::string data = RandomBytes(200u << 20, 9);
  {
    std::string text = kHead + "<binary id=\"big\">" + testfiles::ReferenceBase64(data) + "</binary>" + kTail;
    Spit(dir.File("b.fb2"), text);
  }
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  int rc = a.Process(PK_EXTRACT, dir.Prefix().c_str(), "big");
  if (rc == E_NO_MEMORY) GTEST_SKIP() << "not enough address space for a 200 MB entry in this build";
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(Slurp(dir.File("big")) == data);
}
