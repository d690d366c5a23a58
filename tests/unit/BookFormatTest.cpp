#include <gtest/gtest.h>

#include <string>

#include "format/BookFormat.h"

// Detection wants the root start tag itself; a rewrite only its name. Both
// look no further than the head.
TEST(BookFormat, DetectionWantsTheRootTagWhileRewritesWantItsName) {
  const std::string far = std::string(kHeadSize - kRootStart.size(), ' ');
  struct {
    std::string text;
    bool detected, rewritable;
  } cases[] = {
      {"<FictionBook>", true, true},        {"<FictionBook\txmlns=\"x\">", true, true},
      {"<FictionBookX>", false, true},      {"<FictionBook", false, true},
      {far + "<FictionBook>", false, true}, {far + " <FictionBook>", false, false},
      {"<fictionbook>", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HeadIsBook(c.text), c.detected) << c.text.size();
    EXPECT_EQ(HeadAllowsRewrite(c.text), c.rewritable) << c.text.size();
  }
}
