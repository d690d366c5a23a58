// The call sequences that real file managers make, as data: each profile is
// run on a fresh copy of the same book, and its calls must answer as a host
// expects.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "Scenario.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

enum class tCall {
  Walk,           // a listing that skips every entry; expect: the number of entries
  ExtractFresh,   // a new open, walk to the entry, extract with DestPath NULL and a full DestName
  Pack,           // PackFiles with SrcPath ending in the separator
  Delete,         // DeleteFiles with several names
  Detect,         // CanYouHandleThisFile on a file of the folder
  HeaderNonZero,  // ReadHeader into a record full of non-zero bytes
};

struct tStep {
  tCall call;
  std::vector<std::string> names;
  int flags = 0;
  int expect = 0;
};

struct tProfile {
  const char* name;
  std::vector<tStep> steps;
  std::vector<std::string> after;  // the book's entries at the end
};

const std::vector<std::string> kEntries = {"cover.jpg", "a.png", "b.png"};

std::string TheBook() {
  return api::Book(
      "<binary id=\"cover.jpg\" content-type=\"image/jpeg\">QUJD</binary>\r\n"
      "<binary id=\"a.png\" content-type=\"image/png\">REVG</binary>\r\n"
      "<binary id=\"b.png\" content-type=\"image/png\">R0hJ</binary>\r\n");
}

const std::vector<tProfile> kProfiles = {
    {"list, then a fresh open for each extraction",
     {{tCall::Walk, {}, 0, 3}, {tCall::ExtractFresh, {"a.png"}}, {tCall::ExtractFresh, {"b.png"}}},
     kEntries},
    {"copy-in of files: save paths set, plain names",
     {{tCall::Pack, {"new.png"}, PK_PACK_SAVE_PATHS, 0}, {tCall::Walk, {}, 0, 4}},
     {"cover.jpg", "a.png", "b.png", "new.png"}},
    {"copy-in of a folder: save paths set, names with the folder",
     {{tCall::Pack, {"sub" + kSep, "sub" + kSep + "x.png"}, PK_PACK_SAVE_PATHS, E_NOT_SUPPORTED}},
     kEntries},
    {"detection on every file of a folder",
     {{tCall::Detect, {"book.fb2"}, 0, 1},
      {tCall::Detect, {"new.png"}, 0, 0},
      {tCall::Detect, {"empty"}, 0, 0},
      {tCall::Detect, {"sub"}, 0, 0},
#ifndef _WIN32
      {tCall::Detect, {"fifo"}, 0, 0},
#endif
      {tCall::Detect, {"missing"}, 0, 0}},
     kEntries},
    {"delete of several names at once", {{tCall::Delete, {"cover.jpg", "b.png"}, 0, 0}}, {"a.png"}},
    {"a header record full of non-zero bytes", {{tCall::HeaderNonZero, {}, 0, 3}}, kEntries},
};

// Runs one step in dir, where book.fb2 is the book.
void RunStep(const tStep& step, const ScratchDir& dir) {
  const std::string book = dir.File("book.fb2");
  switch (step.call) {
    case tCall::Walk: {
      EXPECT_EQ(static_cast<int>(api::Names(book).size()), step.expect);
      break;
    }
    case tCall::ExtractFresh: {
      Archive a(book);
      ASSERT_NE(a.Handle(), nullptr);
      tHeaderData h;
      while (a.Next(h) == 0) {
        if (step.names[0] != h.FileName) {
          EXPECT_EQ(a.Process(PK_SKIP, nullptr, nullptr), 0);
          continue;
        }
        std::vector<char> full = CString(dir.File("out_" + step.names[0]));
        EXPECT_EQ(a.Process(PK_EXTRACT, nullptr, full.data()), step.expect);
        EXPECT_EQ(Slurp(full.data()).size(), 3u);
        return;
      }
      ADD_FAILURE() << "no entry " << step.names[0];
      break;
    }
    case tCall::Pack: {
      EXPECT_EQ(api::Pack(book, dir.Prefix(), step.names, step.flags), step.expect);
      break;
    }
    case tCall::Delete: {
      EXPECT_EQ(api::Delete(book, step.names), step.expect);
      break;
    }
    case tCall::Detect: {
      std::vector<char> name = CString(dir.File(step.names[0]));
      EXPECT_EQ(api::Plugin().CanYouHandleThisFile(name.data()), step.expect) << step.names[0];
      break;
    }
    case tCall::HeaderNonZero: {
      Archive a(book);
      int count = 0;
      for (;;) {
        tHeaderData h;
        std::memset(&h, 0xA5, sizeof h);
        tHeaderData before = h;
        if (api::Plugin().ReadHeader(a.Handle(), &h) != 0) break;
        ++count;
        // Only the two names change; every other field is the host's.
        std::memcpy(before.ArcName, h.ArcName, sizeof h.ArcName);
        std::memcpy(before.FileName, h.FileName, sizeof h.FileName);
        EXPECT_EQ(std::memcmp(&before, &h, sizeof h), 0);
        EXPECT_EQ(a.Process(PK_SKIP, nullptr, nullptr), 0);
      }
      EXPECT_EQ(count, step.expect);
      break;
    }
  }
}

}  // namespace

TEST(HostProfiles, AnswerAsRealHostsExpect) {
  for (const tProfile& profile : kProfiles) {
    SCOPED_TRACE(profile.name);
    ScratchDir dir;
    Spit(dir.File("book.fb2"), TheBook());
    Spit(dir.File("new.png"), "new");
    Spit(dir.File("empty"), "");
    std::filesystem::create_directory(dir.Path() / "sub");
    Spit(dir.File("sub" + kSep + "x.png"), "x");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
#endif
    const std::string before = Slurp(dir.File("book.fb2"));
    for (const tStep& step : profile.steps) RunStep(step, dir);
    EXPECT_EQ(api::Names(dir.File("book.fb2")), profile.after);
    if (profile.after == kEntries) {
      EXPECT_EQ(Slurp(dir.File("book.fb2")), before) << "the book is unchanged";
    }
  }
}
