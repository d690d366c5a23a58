#include <gtest/gtest.h>

#include <filesystem>

#include "TestFiles.h"
#include "reader/SeqRead.h"
#include "textutil/FileText.h"

using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Spit;

namespace {

// Walks the whole reader and returns the bytes seen.
std::string Walk(tDiskRead& r) {
  std::string seen;
  while (!r.Eof) {
    seen += static_cast<char>(r.Ch);
    r.Next();
  }
  return seen;
}

}  // namespace

TEST(SeqRead, EmptyAndMissingFilesAreAtTheirEndFromTheStart) {
  ScratchDir dir;
  Spit(dir.File("empty"), "");
  for (const char* name : {"empty", "missing"}) {
    tDiskRead r(dir.File(name));
    EXPECT_EQ(r.Size, 0u) << name;
    EXPECT_TRUE(r.Eof) << name;
    EXPECT_EQ(r.Ch, 0) << name;
    EXPECT_EQ(r.Pos, 0u) << name;
    EXPECT_EQ(r.WindowLength, 0) << name;
  }
  tDiskRead folder(dir.Prefix());
  EXPECT_EQ(folder.Size, 0u) << "a folder is not a book";
}

TEST(SeqRead, WalksEveryByteAcrossWindowBoundaries) {
  ScratchDir dir;
  for (std::size_t size : {1u, 32767u, 32768u, 32769u, 65536u, 100000u}) {
    std::string data = RandomBytes(size, static_cast<unsigned>(size));
    Spit(dir.File("f"), data);
    tDiskRead r(dir.File("f"));
    EXPECT_EQ(r.Size, size);
    EXPECT_EQ(r.FileName, dir.File("f"));
    EXPECT_EQ(Walk(r), data) << size;
    EXPECT_EQ(r.Pos, size);
    EXPECT_EQ(r.Ch, 0);
  }
}

TEST(SeqRead, WindowHoldsWhatWasReadAndNoMore) {
  ScratchDir dir;
  std::string data = RandomBytes(32769, 7);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  EXPECT_EQ(r.WindowLength, 32768);
  for (int i = 0; i < 32767; ++i) r.Next();
  EXPECT_EQ(r.Pos, 32767u);
  EXPECT_EQ(r.WindowStart, 0u);
  r.Next();  // into the second window, which holds the one last byte
  EXPECT_FALSE(r.Eof);
  EXPECT_EQ(r.WindowStart, 32768u);
  EXPECT_EQ(r.WindowLength, 1);
  EXPECT_EQ(r.Ch, static_cast<std::uint8_t>(data[32768]));
  r.Next();
  EXPECT_TRUE(r.Eof);
  EXPECT_EQ(r.Ch, 0);
  EXPECT_EQ(r.WindowLength, 0);
}

TEST(SeqRead, SeekToMovesBothWaysAndNextPastTheEndKeepsCounting) {
  ScratchDir dir;
  std::string data = RandomBytes(100, 3);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  r.SeekTo(10);
  EXPECT_EQ(r.Ch, static_cast<std::uint8_t>(data[10]));
  EXPECT_EQ(r.WindowStart, 0u) << "inside the window: no new read";
  r.SeekTo(200);
  EXPECT_TRUE(r.Eof);
  EXPECT_EQ(r.Ch, 0);
  r.Next();
  r.Next();
  EXPECT_TRUE(r.Eof);
  EXPECT_EQ(r.Pos, 202u);
  r.SeekTo(0);
  EXPECT_FALSE(r.Eof);
  EXPECT_EQ(r.Ch, static_cast<std::uint8_t>(data[0]));
  r.SeekTo(99);
  EXPECT_EQ(r.Ch, static_cast<std::uint8_t>(data[99]));

  std::string big = RandomBytes(100000, 4);
  Spit(dir.File("big"), big);
  tDiskRead b(dir.File("big"));
  b.SeekTo(50000);
  EXPECT_EQ(b.WindowStart, 50000u);
  b.SeekTo(10);  // before the window: refilled from there
  EXPECT_EQ(b.WindowStart, 10u);
  EXPECT_EQ(b.Ch, static_cast<std::uint8_t>(big[10]));
}

TEST(SeqRead, ReopenGivesTheStateOfANewReader) {
  ScratchDir dir;
  Spit(dir.File("a"), "first file");
  Spit(dir.File("b"), "second");
  tDiskRead r(dir.File("a"));
  r.Next();
  r.Next();
  r.Reopen(dir.File("b"));
  tDiskRead fresh(dir.File("b"));
  EXPECT_EQ(r.Size, fresh.Size);
  EXPECT_EQ(r.Pos, 0u);
  EXPECT_EQ(r.Ch, 's');
  EXPECT_FALSE(r.Eof);
  EXPECT_EQ(r.FileName, dir.File("b"));
  EXPECT_EQ(Walk(r), "second");
  r.Reopen(dir.File("missing"));
  EXPECT_TRUE(r.Eof);
  EXPECT_EQ(r.Size, 0u);
}

TEST(SeqRead, AnOpenReaderKeepsWritersOut) {
  ScratchDir dir;
  Spit(dir.File("book"), "old content");
  {
    tDiskRead r(dir.File("book"));
    WriteFileText(dir.File("book"), "new");
    EXPECT_EQ(testfiles::Slurp(dir.File("book")), "old content");
    tDiskRead second(dir.File("book"));
    EXPECT_EQ(second.Size, 11u) << "other readers are welcome";
  }
  WriteFileText(dir.File("book"), "new");
  EXPECT_EQ(testfiles::Slurp(dir.File("book")), "new");
}

#ifndef _WIN32
// Windows keeps others from cutting a file that is open; elsewhere a file can
// shrink under the reader, which must then end instead of repeating stale bytes.
TEST(SeqRead, AFileCutShortUnderTheReaderEndsIt) {
  ScratchDir dir;
  std::string data = RandomBytes(100000, 11);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  std::filesystem::resize_file(dir.File("f"), 40000);
  std::string seen;
  while (!r.Eof && seen.size() < 200000) {
    seen += static_cast<char>(r.Ch);
    r.Next();
  }
  EXPECT_EQ(seen, data.substr(0, 40000));
}
#endif
