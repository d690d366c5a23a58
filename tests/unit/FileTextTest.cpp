#include <gtest/gtest.h>

#include "TestFiles.h"
#include "textutil/FileText.h"

using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Slurp;
using testfiles::Spit;

TEST(ReadFileText, LimitIsAnEndPositionNotACount) {
  ScratchDir dir;
  std::string hundred = RandomBytes(100, 1);
  Spit(dir.File("100"), hundred);
  Spit(dir.File("15"), hundred.substr(0, 15));
  Spit(dir.File("empty"), "");
  EXPECT_EQ(ReadFileText(dir.File("missing"), 0, 0x7FFFFFFF), "");
  EXPECT_EQ(ReadFileText(dir.File("empty"), 0, 0x7FFFFFFF), "");
  EXPECT_EQ(ReadFileText(dir.File("100"), 0, 0x7FFFFFFF), hundred);
  EXPECT_EQ(ReadFileText(dir.File("100"), 10, 20), hundred.substr(10, 10));
  EXPECT_EQ(ReadFileText(dir.File("15"), 10, 20), hundred.substr(10, 5));
  EXPECT_EQ(ReadFileText(dir.File("100"), 20, 10), "");
  EXPECT_EQ(ReadFileText(dir.File("100"), 100, 200), "");
}

TEST(WriteFileText, CreatesOrTruncates) {
  ScratchDir dir;
  WriteFileText(dir.File("f"), std::string("a\0b", 3));
  EXPECT_EQ(Slurp(dir.File("f")), std::string("a\0b", 3));
  WriteFileText(dir.File("f"), "");
  EXPECT_TRUE(testfiles::Exists(dir.File("f")));
  EXPECT_EQ(Slurp(dir.File("f")), "");
  WriteFileText(dir.File("missing/f"), "x");  // silently nothing
  EXPECT_FALSE(testfiles::Exists(dir.File("missing/f")));
}

TEST(LoadFile, TellsAMissingFileFromAnEmptyOne) {
  ScratchDir dir;
  std::string text = "stale";
  EXPECT_EQ(LoadFile(dir.File("missing"), text), tFileStatus::OpenFailed);
  EXPECT_EQ(text, "");
  Spit(dir.File("empty"), "");
  EXPECT_EQ(LoadFile(dir.File("empty"), text), tFileStatus::Ok);
  EXPECT_EQ(text, "");
  std::string data = RandomBytes(70000, 2);
  Spit(dir.File("data"), data);
  EXPECT_EQ(LoadFile(dir.File("data"), text), tFileStatus::Ok);
  EXPECT_EQ(text, data);
  EXPECT_EQ(LoadFile(dir.Prefix(), text), tFileStatus::OpenFailed) << "a folder is no file";
}
