// How a rewrite treats the book and what lies around it: concurrent writers,
// links, owners and attributes, special files, names from the file system,
// and sizes past what can be handled.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "Scenario.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TEST(Rewrite, EveryWriterThatReportsSuccessHasItsChangeInTheBook) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"keep\">QUJD</binary>" + kTail);
  constexpr int kWriters = 4;
  std::vector<std::vector<std::string>> added(kWriters);
  std::vector<std::thread> writers;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < 40 && std::chrono::steady_clock::now() < until; ++i) {
        std::string name = "w" + std::to_string(w) + "_" + std::to_string(i) + ".bin";
        Spit(dir.File(name), name);
        int rc = api::Pack(book, dir.Prefix(), {name});
        if (rc == 0) added[static_cast<std::size_t>(w)].push_back(name);
        // Only "in use" may fail a writer; nothing may be lost silently.
        EXPECT_TRUE(rc == 0 || rc == E_EOPEN) << rc;
        if (i % 3 == 2) {
          EXPECT_EQ(api::Delete(book, {"nothing"}), 0);
        }
      }
    });
  }
  for (auto& t : writers) t.join();
  std::vector<std::string> names = api::Names(book);
  std::size_t total = 0;
  for (const auto& list : added) {
    total += list.size();
    for (const auto& name : list) EXPECT_TRUE(Has(names, name)) << name << " reported added but is not in the book";
  }
  EXPECT_GT(total, 0u);
  EXPECT_EQ(names.size(), total + 1);
}

TEST(Rewrite, ASizeBeyondWhatCanBeHandledIsRefusedBeforeTheWork) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + kTail;
  Spit(book, text);
  // Sparse files: no disk is spent, and nothing may read them whole.
  Spit(dir.File("huge.bin"), "");
  fs::resize_file(dir.File("huge.bin"), 0x60000000);  // 1.5 GiB: 2 GiB once encoded
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"huge.bin"}), E_NO_MEMORY);
  // Past 4 GiB: measured (and refused as too large) by 32-bit builds too.
  std::error_code ec;
  fs::resize_file(dir.File("huge.bin"), 0x120000000ull, ec);
  if (ec) GTEST_SKIP() << "cannot make a file past 4 GiB here: " << ec.message();
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"huge.bin"}), E_NO_MEMORY);
  EXPECT_EQ(Slurp(book), text);
  EXPECT_EQ(dir.Count(), 2u);

  // A book one byte short of 4 GiB whose end lies inside a start tag: the
  // position after its last byte would wrap, so it is refused whole.
  std::string tail = "<binary id=\"a\"";
  Spit(dir.File("wrap.fb2"), kHead);
  fs::resize_file(dir.File("wrap.fb2"), 0xFFFFFFFFull - tail.size(), ec);
  if (ec) GTEST_SKIP() << "cannot make a 4 GiB file here: " << ec.message();
  {
    std::FILE* f = std::fopen(dir.File("wrap.fb2").c_str(), "ab");
    ASSERT_NE(f, nullptr);
    std::fwrite(tail.data(), 1, tail.size(), f);
    std::fclose(f);
  }
  ASSERT_EQ(fs::file_size(dir.File("wrap.fb2")), 0xFFFFFFFFull);
  Archive a(dir.File("wrap.fb2"));
  EXPECT_EQ(a.Handle(), nullptr);
  EXPECT_EQ(a.OpenResult(), E_BAD_DATA);
}

TEST(Rewrite, NamesAreCutOnlyAtThisSystemsSeparators) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"b.png\">QUJD</binary>" + kTail);
#ifdef _WIN32
  fs::create_directory(dir.Path() / "img");
  Spit(dir.File("img\\a.png"), "a");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"img/a.png", "img\\"}), 0) << "a name ending in a separator is a folder";
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"b.png", "a.png"}));
#else
  Spit(dir.File("photo:b.png"), "p");
  Spit(dir.File("weird\\"), "w");
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"photo:b.png", "weird\\"}), 0);
  EXPECT_EQ(api::Names(book), (std::vector<std::string>{"b.png", "photo_b.png", "weird_"}));
#endif
  std::string before = Slurp(book);
  EXPECT_EQ(api::Pack(book, dir.Prefix(), {"b.fb2", "missing.png"}), E_EREAD) << "no name is skipped silently";
  EXPECT_EQ(Slurp(book), before);
}

#ifdef _WIN32
TEST(Rewrite, DeviceNamesAreRefused) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  std::string text = kHead + "<binary id=\"x\">QUJD</binary>" + kTail;
  Spit(book, text);
  auto nul = CString("NUL");
  EXPECT_EQ(api::Plugin().CanYouHandleThisFile(nul.data()), 0);
  Archive open("NUL");
  EXPECT_EQ(open.OpenResult(), E_BAD_DATA);
  EXPECT_EQ(api::Delete("NUL", {"x"}), E_UNKNOWN_FORMAT);
  EXPECT_EQ(api::Pack(book, "", {"NUL"}), E_EREAD);
  Archive a(book);
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, nullptr, "NUL"), E_ECREATE);
  EXPECT_EQ(Slurp(book), text);
}
#else

namespace {

// Runs f, and ends the whole test program if it does not return in time: a
// call that blocks on a FIFO must fail the run, not hang it.
template <class F>
void WithinSeconds(int seconds, F&& f) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; })) {
      std::fprintf(stderr, "blocked for %d s on a special file\n", seconds);
      std::_Exit(1);
    }
  });
  f();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_one();
  watchdog.join();
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

}  // namespace

TEST(Rewrite, SpecialFilesAreRefusedWithoutBlocking) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"x\">QUJD</binary><binary id=\"y\">QUJD</binary>" + kTail);
  ASSERT_EQ(::mkfifo(dir.File("f.fb2").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo(dir.File("x").c_str(), 0644), 0);
  fs::create_symlink("f.fb2", dir.Path() / "y");
  WithinSeconds(20, [&] {
    auto fifo = CString(dir.File("f.fb2"));
    EXPECT_EQ(api::Plugin().CanYouHandleThisFile(fifo.data()), 0);
    Archive open(dir.File("f.fb2"));
    EXPECT_EQ(open.OpenResult(), E_BAD_DATA);
    EXPECT_EQ(api::Delete(dir.File("f.fb2"), {"x"}), E_UNKNOWN_FORMAT);
    EXPECT_EQ(api::Pack(book, dir.Prefix(), {"f.fb2"}), E_EREAD);
    Archive a(book);
    tHeaderData h;
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "x"), E_ECREATE) << "a FIFO in the way";
    ASSERT_EQ(a.Next(h), 0);
    EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "y"), 0) << "a link is replaced, never followed";
  });
  EXPECT_TRUE(S_ISFIFO(StatOf(dir.File("x")).st_mode));
  EXPECT_FALSE(fs::is_symlink(dir.Path() / "y"));
  EXPECT_EQ(Slurp(dir.File("y")), "ABC");
  EXPECT_TRUE(S_ISFIFO(StatOf(dir.File("f.fb2")).st_mode));
}

TEST(Rewrite, ExtractionOverAFileKeepsItsPermissionBits) {
  ScratchDir dir;
  Spit(dir.File("b.fb2"), kHead + "<binary id=\"x\">QUJD</binary>" + kTail);
  Spit(dir.File("x"), "old");
  ASSERT_EQ(::chmod(dir.File("x").c_str(), 0604), 0);
  Archive a(dir.File("b.fb2"));
  tHeaderData h;
  ASSERT_EQ(a.Next(h), 0);
  EXPECT_EQ(a.Process(PK_EXTRACT, dir.Prefix().c_str(), "x"), 0);
  EXPECT_EQ(Slurp(dir.File("x")), "ABC");
  EXPECT_EQ(StatOf(dir.File("x")).st_mode & 07777, 0604u);
}

TEST(Rewrite, ALinkedBookIsRewrittenWhereItPointsAndStaysALink) {
  ScratchDir dir;
  fs::create_directory(dir.Path() / "library");
  std::string real = dir.File("library/book.fb2");
  Spit(real, kHead + "<binary id=\"x\">QUJD</binary>" + kTail);
  fs::create_symlink("library/book.fb2", dir.Path() / "middle.fb2");
  fs::create_symlink("middle.fb2", dir.Path() / "book.fb2");
  EXPECT_EQ(api::Delete(dir.File("book.fb2"), {"x"}), 0);
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "book.fb2"));
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "middle.fb2"));
  EXPECT_EQ(Slurp(real), kHead + kTail);
  EXPECT_EQ(dir.Count(), 3u);
}

TEST(Rewrite, TheBookKeepsItsOwnerGroupAndExtendedAttributes) {
  ScratchDir dir;
  std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"x\">QUJD</binary>" + kTail);
  ASSERT_EQ(::chmod(book.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(book.c_str(), 65534, 65534), 0);
  }
  const bool xattrs = ::setxattr(book.c_str(), "user.fb2pack.test", "kept", 4, 0) == 0;
  const struct stat before = StatOf(book);
  EXPECT_EQ(api::Delete(book, {"x"}), 0);
  const struct stat after = StatOf(book);
  EXPECT_NE(after.st_ino, before.st_ino) << "a new file took the book's place";
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  if (xattrs) {
    char value[16] = {};
    EXPECT_EQ(::getxattr(book.c_str(), "user.fb2pack.test", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
  }
  if (!root || !xattrs) GTEST_SKIP() << "owner checked as root only, attributes where the file system has them";
}

#endif
