// Failures the machine rarely produces on demand, injected into a test build
// of the plug-in (short and failed reads and writes, a failed flush or
// replacement), and real conditions: a book removed or replaced while it is
// open, a destination folder that disappears during a walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "CharHandlers/CharHandlers.h"
#include "Scenario.h"
#include "platform/Faults.h"
#include "reader/DiskRead.h"

namespace {

using tSetFaultPlan = void(WCX_API*)(const tFaultPlan*);

// Sets the plan for the next calls; cleared again when the scope ends.
class Faults {
 public:
  explicit Faults(const tFaultPlan& plan) {
    void* symbol = api::Plugin().Symbol("SetFaultPlan");
    EXPECT_NE(symbol, nullptr);
    std::memcpy(&set_, &symbol, sizeof set_);
    set_(&plan);
  }
  ~Faults() { set_(nullptr); }

 private:
  tSetFaultPlan set_ = nullptr;
};

// A book whose entries span several reader windows and write buffers.
std::string BigBook(std::string& first, std::string& second) {
  constexpr std::size_t unit = std::max<std::size_t>(tFileWrite::kBufferSize, tDiskRead::kWindowSize);
  first = RandomBytes(unit * 3, 1);
  second = RandomBytes(unit * 3 / 2, 2);
  return kHead + "<binary id=\"first\">" + testfiles::ReferenceBase64(first) + "</binary>\r\n<binary id=\"second\">" +
         testfiles::ReferenceBase64(second) + "</binary>\r\n" + kTail;
}

bool Leftovers(const ScratchDir& dir) {
  for (auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
    if (e.path().filename().string().rfind("~fb2pack-", 0) == 0) return true;
  }
  return false;
}

}  // namespace

TEST(Faults, ShortReadsInTheReaderLoseNothing) {
  ScratchDir dir;
  std::string first, second;
  Spit(dir.File("b.fb2"), BigBook(first, second));
  for (int at = 1; at <= 6; ++at) {
    Faults f({.ShortReadAt = at});
    Archive a(dir.File("b.fb2"));
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "1"), 0);
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "2"), 0);
    EXPECT_EQ(Slurp(dir.File("1")), first) << at;
    EXPECT_EQ(Slurp(dir.File("2")), second) << at;
  }
}

TEST(Faults, AFailedReadEndsTheWalkWithoutInventingBytes) {
  ScratchDir dir;
  std::string first, second;
  Spit(dir.File("b.fb2"), BigBook(first, second));
  Faults f({.FailReadAt = 3});
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "1"), E_BAD_ARCHIVE) << "an entry cut short is told";
  std::string got = Slurp(dir.File("1"));
  EXPECT_EQ(got, first.substr(0, got.size())) << "what was read is right, the rest is missing";
  EXPECT_LT(got.size(), first.size());
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
}

TEST(Faults, AShortReadOfTheBookLeavesItAlone) {
  ScratchDir dir;
  std::string first, second, text = BigBook(first, second);
  Spit(dir.File("b.fb2"), text);
  {
    Faults f({.ShortReadAt = 1});
    EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"first"}), E_EREAD);
  }
  {
    Spit(dir.File("a.png"), "Man");
    Faults f({.ShortReadAt = 2});  // the source, read after the book
    EXPECT_EQ(api::Pack(dir.File("b.fb2"), dir.Prefix(), {"a.png"}), E_EREAD);
  }
  EXPECT_EQ(Slurp(dir.File("b.fb2")), text);
  EXPECT_FALSE(Leftovers(dir));
}

TEST(Faults, AFullDiskDuringARewriteLeavesTheBookWhole) {
  ScratchDir dir;
  std::string first, second, text = BigBook(first, second);
  Spit(dir.File("b.fb2"), text);
  Spit(dir.File("a.png"), RandomBytes(5000, 3));
  for (tFaultPlan plan : {tFaultPlan{.ShortWriteAt = 1}, tFaultPlan{.FailWriteAt = 1}, tFaultPlan{.FailSyncAt = 1},
                          tFaultPlan{.FailMoveAt = 1}}) {
    {
      Faults f(plan);
      EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"first"}), E_EWRITE);
    }
    {
      Faults f(plan);
      EXPECT_EQ(api::Pack(dir.File("b.fb2"), dir.Prefix(), {"a.png"}), E_EWRITE);
    }
    EXPECT_EQ(Slurp(dir.File("b.fb2")), text);
    EXPECT_FALSE(Leftovers(dir));
  }
  EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"first"}), 0) << "and it works once the disk has room";
}

TEST(Faults, RewritesCopyTheKeptBytesInTheKernelOrThroughABufferAlike) {
  ScratchDir dir;
  std::string first, second, text = BigBook(first, second);
  Spit(dir.File("a.png"), RandomBytes(5000, 3));
  std::vector<std::string> results;
#ifdef _WIN32
  const int ways[] = {0, 2};  // no copy in the kernel here
#else
  const int ways[] = {0, 1, 2};
#endif
  for (int way : ways) {
    Spit(dir.File("b.fb2"), text);
    Faults f({.CopyWay = way});
    ASSERT_EQ(api::Delete(dir.File("b.fb2"), {"first"}), 0) << way;
    ASSERT_EQ(api::Pack(dir.File("b.fb2"), dir.Prefix(), {"a.png"}), 0) << way;
    results.push_back(Slurp(dir.File("b.fb2")));
  }
  for (const std::string& r : results) EXPECT_TRUE(r == results[0]);
  EXPECT_EQ(api::Names(dir.File("b.fb2")), (std::vector<std::string>{"second", "a.png"}));
}

TEST(Faults, ANewBookThatCannotBeCreatedLeavesTheOldOne) {
  ScratchDir dir;
  std::string text = kHead + "<binary id=\"x\">QUJD</binary>" + kTail;
  Spit(dir.File("b.fb2"), text);
  Faults f({.FailCreateAt = 1});
  EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"x"}), E_ECREATE);
  EXPECT_EQ(Slurp(dir.File("b.fb2")), text);
  EXPECT_EQ(api::Delete(dir.File("b.fb2"), {"x"}), 0);
  EXPECT_EQ(Slurp(dir.File("b.fb2")), kHead + kTail);
}

TEST(Faults, AFailedWriteDuringExtractionKeepsTheOldFile) {
  ScratchDir dir;
  std::string first, second;
  Spit(dir.File("b.fb2"), BigBook(first, second));
  Spit(dir.File("1"), "old content");
  for (tFaultPlan plan : {tFaultPlan{.ShortWriteAt = 2}, tFaultPlan{.FailWriteAt = 1}}) {
    Faults f(plan);
    Archive a(dir.File("b.fb2"));
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "1"), E_EWRITE);
    EXPECT_EQ(Slurp(dir.File("1")), "old content");
    ASSERT_EQ(a.Next(h), 0) << "the walk goes on";
    EXPECT_STREQ(h.FileName, "second");
  }
  {
    Faults f({.FailMoveAt = 1});
    Archive a(dir.File("b.fb2"));
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "1"), E_ECREATE);
    EXPECT_EQ(Slurp(dir.File("1")), "old content");
  }
  EXPECT_FALSE(Leftovers(dir));
}

TEST(Faults, ADestinationFolderThatDisappearsFailsOnlyItsEntries) {
  ScratchDir dir;
  std::string first, second;
  Spit(dir.File("b.fb2"), BigBook(first, second));
  std::filesystem::create_directory(dir.Path() / "out");
  std::string out = dir.File("out") + kSep;
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, out.c_str(), "1"), 0);
  std::filesystem::remove_all(dir.Path() / "out");
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, out.c_str(), "2"), E_ECREATE);
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out"));
}

TEST(Faults, ABookOpenInAWalkIsEitherKeptFromChangeOrReadToItsEnd) {
  ScratchDir dir;
  std::string first, second, text = BigBook(first, second);
  Spit(dir.File("b.fb2"), text);
  Spit(dir.File("other.fb2"), kHead + "<binary id=\"intruder\">QUJD</binary>" + kTail);
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  std::error_code removed, replaced;
  std::filesystem::rename(dir.Path() / "other.fb2", dir.Path() / "b.fb2", replaced);
  if (replaced) std::filesystem::remove(dir.Path() / "b.fb2", removed);
#ifdef _WIN32
  // Windows keeps an open book from being replaced or removed.
  EXPECT_TRUE(replaced);
  EXPECT_TRUE(removed);
  EXPECT_EQ(Slurp(dir.File("b.fb2")), text);
#else
  EXPECT_FALSE(replaced) << "elsewhere the open book is the old file, whatever the name now holds";
#endif
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "1"), 0);
  EXPECT_EQ(Slurp(dir.File("1")), first);
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_STREQ(h.FileName, "second");
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "2"), 0);
  EXPECT_EQ(Slurp(dir.File("2")), second);
  EXPECT_EQ(a.Next(h), E_NOT_SUPPORTED);
}
