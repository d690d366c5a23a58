#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>
#include <vector>

#include "TestFiles.h"
#include "reader/DiskRead.h"
#include "textutil/Replacement.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Slurp;
using testfiles::Spit;

namespace {

// A rewrite of the whole file, as the plug-in makes one: parts written one
// after another, then put in the file's place.
bool Rewrite(const std::string& name, const std::vector<std::string_view>& parts) {
  tReplacement file(name, tReplacement::Rewrite);
  if (!file.Create()) return false;
  for (std::string_view part : parts) file.Write(part.data(), part.size());
  return file.Commit() == tReplacement::Committed;
}

}  // namespace

TEST(Replacement, PartsLargerThanAWriteSliceArriveWholeInOrderAndNothingIsLeftBeside) {
  ScratchDir dir;
  Spit(dir.File("book"), std::string(100000, 'x'));
  const std::string a = RandomBytes(5 << 20, 1), b = RandomBytes((9 << 20) + 3, 2), c = RandomBytes(17 << 20, 3);
  EXPECT_TRUE(Rewrite(dir.File("book"), {a, std::string_view(), b, c}));
  EXPECT_TRUE(Slurp(dir.File("book")) == a + b + c);
  EXPECT_EQ(dir.Count(), 1u);
}

TEST(Replacement, FailsWithoutTouchingABookHeldByAReader) {
  ScratchDir dir;
  Spit(dir.File("book"), "old");
  {
    tDiskRead reader(dir.File("book"));
    EXPECT_FALSE(Rewrite(dir.File("book"), {"new"}));
    EXPECT_EQ(reader.Ch, 'o');
    tDiskRead second(dir.File("book"));
    EXPECT_EQ(second.Size, 3u) << "other readers are welcome";
  }
  EXPECT_EQ(Slurp(dir.File("book")), "old");
  EXPECT_EQ(dir.Count(), 1u);
  EXPECT_TRUE(Rewrite(dir.File("book"), {"new"}));
}

TEST(Replacement, CannotRewriteAFileInAMissingFolder) {
  ScratchDir dir;
  tReplacement file(dir.File("missing/book"), tReplacement::Rewrite);
  EXPECT_EQ(file.Opened, tReplacement::tOpened::NotAFile);
  EXPECT_FALSE(file.Create());
}

#ifndef _WIN32
TEST(Replacement, KeepsThePermissionBits) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  Spit(dir.File("book"), "old");
  fs::permissions(dir.File("book"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(Rewrite(dir.File("book"), {"new"}));
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
  platform::FileHandle live = platform::OpenRead(dir.File("pre-89abcdef.tmp"));
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
