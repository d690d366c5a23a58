#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "CharHandlers/CharHandlers.h"
#include "TestFiles.h"

using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Slurp;
using testfiles::Spit;

namespace {

class Recorder final : public tCharHandler {
 public:
  std::vector<int> seen;
  void Put(std::uint8_t c) override { seen.push_back(c); }
};

std::uintmax_t SizeOf(const std::string& path) { return std::filesystem::file_size(path); }

}  // namespace

TEST(CharHandler, PutStringFeedsEveryByteInOrderThroughPut) {
  Recorder r;
  r.PutString("");
  EXPECT_TRUE(r.seen.empty());
  r.PutString(std::string("a\0\xff", 3));
  EXPECT_EQ(r.seen, (std::vector<int>{'a', 0, 0xff}));
  tCharHandler& base = r;
  base.PutString("z");
  EXPECT_EQ(r.seen.back(), 'z');
}

TEST(StringWrite, MovesAChunkIntoTextOnlyWhenTheNextByteArrives) {
  tStringWrite w;
  EXPECT_EQ(w.GetText(), "");
  std::string data = RandomBytes(1024, 1);
  for (char c : data) w.Put(static_cast<std::uint8_t>(c));
  EXPECT_TRUE(w.Text.empty());
  EXPECT_EQ(w.Count, 1024);
  EXPECT_EQ(w.GetText(), data);
  w.Put('\0');
  EXPECT_EQ(w.Text, data);
  EXPECT_EQ(w.Count, 1);
  EXPECT_EQ(w.GetText(), data + std::string(1, '\0'));
  EXPECT_EQ(w.GetText(), w.GetText()) << "GetText changes nothing";
  w.PutString("xyz");
  EXPECT_EQ(w.GetText(), data + std::string(1, '\0') + "xyz");
  EXPECT_EQ(w.Chunk.size(), 1024u);
}

TEST(StringWrite, CollectsLongStreamsExactly) {
  tStringWrite w;
  std::string data = RandomBytes(5000, 2);
  w.PutString(data);
  EXPECT_EQ(w.GetText(), data);
}

TEST(FileWrite, FlushesBeforeStoringIntoAFullBufferNeverRightAfterItFills) {
  ScratchDir dir;
  std::string path = dir.File("out");
  std::string data = RandomBytes(32769, 5);
  {
    tFileWrite w(path);
    EXPECT_EQ(w.Status, 0);
    for (std::size_t i = 0; i < 32768; ++i) w.Put(static_cast<std::uint8_t>(data[i]));
    EXPECT_EQ(SizeOf(path), 0u) << "32768 bytes still fit in the buffer";
    w.Put(static_cast<std::uint8_t>(data[32768]));
    EXPECT_EQ(SizeOf(path), 32768u);
    EXPECT_EQ(w.Count, 1);
  }
  EXPECT_EQ(Slurp(path), data);
}

TEST(FileWrite, WritesWhatItHoldsAtDestruction) {
  ScratchDir dir;
  std::string path = dir.File("out");
  std::string data = RandomBytes(32768, 6);
  {
    tFileWrite w(path);
    w.PutString(data);
    EXPECT_EQ(SizeOf(path), 0u);
  }
  EXPECT_EQ(Slurp(path), data);
  { tFileWrite w(path); }  // nothing put: the file stays as it is
  EXPECT_EQ(Slurp(path), data);
}

TEST(FileWrite, PutStringWritesTheSameBlocksAsPut) {
  ScratchDir dir;
  std::string data = RandomBytes(100000, 8);
  {
    tFileWrite w(dir.File("a"));
    w.PutString(data.substr(0, 40000));
    EXPECT_EQ(SizeOf(dir.File("a")), 32768u);
    w.PutString(data.substr(40000));
  }
  EXPECT_EQ(Slurp(dir.File("a")), data);
}

TEST(FileWrite, AppendsToAnExistingFile) {
  ScratchDir dir;
  std::string path = dir.File("out");
  Spit(path, "existing\n");
  {
    tFileWrite w(path);
    w.PutString(std::string("more\0", 5));
  }
  EXPECT_EQ(Slurp(path), std::string("existing\nmore\0", 14));
}

TEST(FileWrite, AFileThatCannotBeOpenedSwallowsBytesSilently) {
  ScratchDir dir;
  std::string path = dir.File("no-such-folder/out");
  {
    tFileWrite w(path);
    EXPECT_EQ(w.Status, -1);
    w.PutString(RandomBytes(70000, 9));
    EXPECT_EQ(w.Commit(), tFileWrite::NotWritten);
  }
  EXPECT_FALSE(testfiles::Exists(path));
}

TEST(FileWrite, AnOpenWriterKeepsOthersOut) {
  ScratchDir dir;
  std::string path = dir.File("out");
  tFileWrite first(path);
  tFileWrite second(path);
  EXPECT_EQ(first.Status, 0);
  EXPECT_EQ(second.Status, -1);
}

TEST(FileWrite, ReplacingPutsTheNewContentInPlaceOnlyAtCommit) {
  ScratchDir dir;
  std::string path = dir.File("out");
  Spit(path, std::string(50000, 'o'));
  tFileWrite w(path, tFileWrite::Replacing);
  ASSERT_EQ(w.Status, 0);
  w.PutString("short");
  EXPECT_EQ(SizeOf(path), 50000u) << "the old file is untouched until Commit";
#ifdef __linux__
  EXPECT_EQ(dir.Count(), 1u) << "the new content goes into an unnamed file beside it";
#else
  EXPECT_EQ(dir.Count(), 2u) << "the new content goes into a file beside it";
#endif
  EXPECT_EQ(w.Commit(), tFileWrite::Committed);
  EXPECT_EQ(Slurp(path), "short");
  EXPECT_EQ(dir.Count(), 1u);
}

TEST(FileWrite, ReplacingWithoutCommitLeavesTheTargetAndNoLeftovers) {
  ScratchDir dir;
  std::string path = dir.File("out");
  Spit(path, "good");
  {
    tFileWrite w(path, tFileWrite::Replacing);
    w.PutString(RandomBytes(100000, 10));
  }
  EXPECT_EQ(Slurp(path), "good");
  EXPECT_EQ(dir.Count(), 1u);
  { tFileWrite w(dir.File("new"), tFileWrite::Replacing); }
  EXPECT_FALSE(testfiles::Exists(dir.File("new")));
}

TEST(FileWrite, ReplacingAFolderFailsAndCleansUp) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.Path() / "sub");
  tFileWrite w(dir.File("sub"), tFileWrite::Replacing);
  w.PutString("x");
  EXPECT_EQ(w.Commit(), tFileWrite::NotPlaced);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "sub"));
  EXPECT_EQ(dir.Count(), 1u);
}
