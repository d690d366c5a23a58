#include <gtest/gtest.h>

#include <filesystem>

#include "TestFiles.h"
#include "reader/SeqRead.h"
#include "textutil/Replacement.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Slurp;
using testfiles::Spit;

TEST(SaveFileReplacing, ReplacesTheWholeFileAndLeavesNothingBeside) {
  ScratchDir dir;
  Spit(dir.File("book"), std::string(100000, 'x'));
  EXPECT_EQ(SaveFileReplacing(dir.File("book"), "short"), tFileStatus::Ok);
  EXPECT_EQ(Slurp(dir.File("book")), "short");
  EXPECT_EQ(dir.Count(), 1u);
}

TEST(SaveFileReplacing, PartsLargerThanAWriteSliceArriveWholeAndInOrder) {
  ScratchDir dir;
  Spit(dir.File("book"), "old");
  const std::string a = RandomBytes(5 << 20, 1), b = RandomBytes((9 << 20) + 3, 2), c = RandomBytes(17 << 20, 3);
  EXPECT_EQ(SaveFileReplacing(dir.File("book"), {a, std::string_view(), b, c}), tFileStatus::Ok);
  EXPECT_TRUE(Slurp(dir.File("book")) == a + b + c);
  EXPECT_EQ(dir.Count(), 1u);
}

TEST(SaveFileReplacing, FailsWithoutTouchingABookHeldByAReader) {
  ScratchDir dir;
  Spit(dir.File("book"), "old");
  {
    tDiskRead reader(dir.File("book"));
    EXPECT_EQ(SaveFileReplacing(dir.File("book"), "new"), tFileStatus::WriteFailed);
    EXPECT_EQ(reader.Ch, 'o');
  }
  EXPECT_EQ(Slurp(dir.File("book")), "old");
  EXPECT_EQ(dir.Count(), 1u);
  EXPECT_EQ(SaveFileReplacing(dir.File("book"), "new"), tFileStatus::Ok);
}

TEST(SaveFileReplacing, CannotRewriteAFileInAMissingFolder) {
  ScratchDir dir;
  EXPECT_EQ(SaveFileReplacing(dir.File("missing/book"), "x"), tFileStatus::OpenFailed);
}

#ifndef _WIN32
TEST(SaveFileReplacing, KeepsThePermissionBits) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  Spit(dir.File("book"), "old");
  fs::permissions(dir.File("book"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(SaveFileReplacing(dir.File("book"), "new"), tFileStatus::Ok);
  EXPECT_EQ(fs::status(dir.File("book")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

TEST(RemoveLeftovers, RemovesOnlyOurNamesThatNoLiveProcessHolds) {
  ScratchDir dir;
  Spit(dir.File("pre-0123abcd.tmp"), "killed");
  Spit(dir.File("pre-89abcdef.tmp"), "live");
  Spit(dir.File("pre-notours.tmp"), "x");
  Spit(dir.File("other-0123abcd.tmp"), "x");
  platform::FileHandle live = platform::OpenAlways(dir.File("pre-89abcdef.tmp"));
  ASSERT_NE(live, platform::InvalidHandle);
  platform::RemoveLeftovers(dir.Prefix(), "pre-");
  platform::Close(live);
  EXPECT_FALSE(testfiles::Exists(dir.File("pre-0123abcd.tmp")));
  EXPECT_TRUE(testfiles::Exists(dir.File("pre-89abcdef.tmp")));
  EXPECT_EQ(dir.Count(), 3u);
}

#ifndef _WIN32
TEST(Replacement, TheNewBookIsNeverMoreOpenThanTheOld) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  for (auto mode : {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
                    fs::perms::owner_read}) {
    Spit(dir.File("book"), "old");
    fs::permissions(dir.File("book"), mode);
    tReplacement r(dir.File("book"), tReplacement::Rewrite);
    ASSERT_TRUE(r.Create());
    struct stat st {};
    ASSERT_EQ(::fstat(static_cast<int>(r.Handle()), &st), 0);
    EXPECT_EQ(st.st_mode & 0777 & ~(static_cast<unsigned>(mode) & 0600), 0u) << "while it is written";
    r.Write("new", 3);
    EXPECT_EQ(r.Commit(), tReplacement::Committed);
    EXPECT_EQ(fs::status(dir.File("book")).permissions(), mode) << "once it is the book";
    fs::permissions(dir.File("book"), fs::perms::owner_all);
  }
}
#endif
