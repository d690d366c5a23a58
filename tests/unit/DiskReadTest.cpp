#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "TestFiles.h"
#include "reader/DiskRead.h"

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

TEST(DiskRead, EmptyAndMissingFilesAreAtTheirEndFromTheStart) {
  ScratchDir dir;
  Spit(dir.File("empty"), "");
  for (const char* name : {"empty", "missing"}) {
    tDiskRead r(dir.File(name));
    EXPECT_EQ(r.Size, 0u) << name;
    EXPECT_TRUE(r.Eof) << name;
    EXPECT_EQ(r.Ch, 0) << name;
    EXPECT_EQ(r.Pos, 0u) << name;
  }
  tDiskRead folder(dir.Prefix());
  EXPECT_EQ(folder.Size, 0u) << "a folder is not a book";
}

TEST(DiskRead, WalksEveryByteAcrossWindowBoundaries) {
  ScratchDir dir;
  constexpr std::size_t w = tDiskRead::kWindowSize;
  for (std::size_t size : {std::size_t{1}, w - 1, w, w + 1, 2 * w, 2 * w + 1000}) {
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

// Bulk skips land where stepping byte by byte would, across windows.
TEST(DiskRead, SkipToStopsAtEveryOccurrenceAndNowhereElse) {
  ScratchDir dir;
  std::string data = RandomBytes(2 * tDiskRead::kWindowSize + 1000, 5);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  std::vector<std::uint32_t> found, expected;
  for (std::uint32_t i = 0; i < data.size(); ++i) {
    if (data[i] == '<') expected.push_back(i);
  }
  while (r.SkipTo('<')) {
    found.push_back(r.Pos);
    r.Next();
  }
  EXPECT_EQ(found, expected);
  EXPECT_TRUE(r.Eof);
}

TEST(DiskRead, SeekToMovesBothWaysAndNextPastTheEndKeepsCounting) {
  ScratchDir dir;
  std::string data = RandomBytes(100, 3);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  r.SeekTo(10);
  EXPECT_EQ(r.Ch, static_cast<std::uint8_t>(data[10]));
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
  EXPECT_EQ(b.Ch, static_cast<std::uint8_t>(big[50000]));
  b.SeekTo(10);  // before what was read last
  EXPECT_EQ(b.Ch, static_cast<std::uint8_t>(big[10]));
}

// A watcher sees each byte once, in order, however the walk moves: back
// into bytes already seen, forward over bytes never read, or stopping early.
TEST(DiskRead, AWatcherSeesEveryByteOnceInOrder) {
  struct tCollect final : tDiskRead::tWatcher {
    std::string seen;
    void Saw(const std::uint8_t* bytes, std::uint32_t n) override {
      seen.append(reinterpret_cast<const char*>(bytes), n);
    }
  };
  ScratchDir dir;
  constexpr std::uint32_t w = tDiskRead::kWindowSize;
  const std::string data = RandomBytes(4 * w + 123, 12);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  tCollect watcher;
  r.Watch(watcher);
  for (std::uint32_t at : {w - 3, w + 5, 10u, 3 * w + 7, 2 * w, 3 * w + 100}) {
    r.SeekTo(at);
    EXPECT_EQ(r.Ch, static_cast<std::uint8_t>(data[at])) << at;
  }
  r.WatchToEnd();
  EXPECT_EQ(watcher.seen, data);
  EXPECT_EQ(r.Pos, 3 * w + 100) << "the reader stays where the walk left it";
}

#ifndef _WIN32
// Windows keeps others from cutting a file that is open; elsewhere a file can
// shrink under the reader, which must then end instead of repeating stale bytes.
TEST(DiskRead, AFileCutShortUnderTheReaderEndsIt) {
  ScratchDir dir;
  constexpr std::size_t w = tDiskRead::kWindowSize;
  std::string data = RandomBytes(3 * w, 11);
  Spit(dir.File("f"), data);
  tDiskRead r(dir.File("f"));
  std::filesystem::resize_file(dir.File("f"), w + 40000);
  std::string seen;
  while (!r.Eof && seen.size() < 4 * w) {
    seen += static_cast<char>(r.Ch);
    r.Next();
  }
  EXPECT_EQ(seen, data.substr(0, w + 40000));
}
#endif
