#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

// Hands the bytes to the writer as extraction does: decoded into its room,
// in runs of the given length.
void Write(tFileWrite& w, const std::string& bytes, std::size_t run = tFileWrite::kBufferSize) {
  for (std::size_t at = 0; at < bytes.size(); at += run) {
    const std::size_t n = std::min(run, bytes.size() - at);
    std::memcpy(w.Room(n), bytes.data() + at, n);
    w.Took(n);
  }
}

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

TEST(FileWrite, AFileThatCannotBeCreatedFailsAtCommitAndLeavesNothing) {
  ScratchDir dir;
  std::string path = dir.File("no-such-folder/out");
  {
    tFileWrite w(path);
    EXPECT_EQ(w.Status, -1);
    Write(w, RandomBytes(70000, 9));
    EXPECT_EQ(w.Commit(), tFileWrite::NotWritten);
  }
  EXPECT_FALSE(testfiles::Exists(path));
}

TEST(FileWrite, PutsTheNewContentInPlaceOnlyAtCommit) {
  ScratchDir dir;
  std::string path = dir.File("out");
  Spit(path, std::string(50000, 'o'));
  tFileWrite w(path);
  ASSERT_EQ(w.Status, 0);
  // Runs that do not divide a buffer, across the ends of both buffers.
  constexpr std::size_t size = tFileWrite::kBufferSize;
  const std::string data = RandomBytes(2 * size + 5000, 5);
  Write(w, data.substr(0, size + 1000), 7000);
  Write(w, data.substr(size + 1000), 1);
  EXPECT_EQ(std::filesystem::file_size(path), 50000u) << "the old file is untouched until Commit";
#ifdef __linux__
  EXPECT_EQ(dir.Count(), 1u) << "the new content goes into an unnamed file beside it";
#else
  EXPECT_EQ(dir.Count(), 2u) << "the new content goes into a file beside it";
#endif
  EXPECT_EQ(w.Commit(), tFileWrite::Committed);
  EXPECT_EQ(Slurp(path), data);
  EXPECT_EQ(dir.Count(), 1u);
}

TEST(FileWrite, WithoutCommitLeavesTheTargetAndNoLeftovers) {
  ScratchDir dir;
  std::string path = dir.File("out");
  Spit(path, "good");
  {
    tFileWrite w(path);
    Write(w, RandomBytes(2 * tFileWrite::kBufferSize + 10, 10));  // a write under way at the end
  }
  EXPECT_EQ(Slurp(path), "good");
  EXPECT_EQ(dir.Count(), 1u);
  { tFileWrite w(dir.File("new")); }
  EXPECT_FALSE(testfiles::Exists(dir.File("new")));
}

TEST(FileWrite, AFolderIsNotReplaced) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.Path() / "sub");
  tFileWrite w(dir.File("sub"));
  Write(w, "x");
  EXPECT_EQ(w.Commit(), tFileWrite::NotPlaced);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "sub"));
  EXPECT_EQ(dir.Count(), 1u);
}
