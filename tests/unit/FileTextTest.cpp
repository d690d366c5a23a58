#include <gtest/gtest.h>

#include "TestFiles.h"
#include "textutil/FileText.h"

using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Spit;

TEST(LoadFile, TellsAMissingFileFromAnEmptyOneAndAFilePastItsLimit) {
  ScratchDir dir;
  std::string text = "stale";
  EXPECT_EQ(LoadFile(dir.File("missing"), 100, text), tLoad::OpenFailed);
  EXPECT_EQ(text, "");
  Spit(dir.File("empty"), "");
  EXPECT_EQ(LoadFile(dir.File("empty"), 100, text), tLoad::Ok);
  EXPECT_EQ(text, "");
  std::string data = RandomBytes(70000, 2);
  Spit(dir.File("data"), data);
  EXPECT_EQ(LoadFile(dir.File("data"), 70000, text), tLoad::Ok);
  EXPECT_EQ(text, data);
  EXPECT_EQ(LoadFile(dir.File("data"), 69999, text), tLoad::TooLarge);
  EXPECT_EQ(text, "");
  EXPECT_EQ(LoadFile(dir.Prefix(), 100, text), tLoad::OpenFailed) << "a folder is no file";
}
