#include <gtest/gtest.h>

#include <string>

#include "format/ContentType.h"

TEST(ContentType, FromTheFirstBytesThenTheExtension) {
  EXPECT_EQ(ContentTypeOf("\xFF\xD8\xFF\xE0....", "x.png"), "image/jpeg") << "the bytes win over the name";
  EXPECT_EQ(ContentTypeOf("\x89PNG\r\n\x1A\n....", "image1"), "image/png");
  EXPECT_EQ(ContentTypeOf("GIF89a..", "a"), "image/gif");
  EXPECT_EQ(ContentTypeOf(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), "a"), "image/webp");
  EXPECT_EQ(ContentTypeOf("BM" + std::string(40, '\0'), "a"), "image/bmp");
  EXPECT_EQ(ContentTypeOf("\xEF\xBB\xBF <?xml version=\"1.0\"?>\n<svg xmlns=\"x\"/>", "a"), "image/svg+xml");
  EXPECT_EQ(ContentTypeOf("<!-- <html> -->\n<!DOCTYPE svg [<!ENTITY a \"b\">]>\n<svg>", "a"), "image/svg+xml");
  EXPECT_EQ(ContentTypeOf("<html><body><svg width=\"4\"></svg>", "page"), "application/octet-stream")
      << "an <svg> inside another document is no SVG file";
  EXPECT_EQ(ContentTypeOf("<svgx/>", "a"), "application/octet-stream");
  EXPECT_EQ(ContentTypeOf("plain", "Cover.JPEG"), "image/jpeg");
  EXPECT_EQ(ContentTypeOf("plain", "pic.svg"), "image/svg+xml");
  EXPECT_EQ(ContentTypeOf("plain", "image1"), "application/octet-stream");
  EXPECT_EQ(ContentTypeOf("", "notes.txt"), "application/octet-stream");
}

TEST(ContentType, NoneIsLongerThanWhatAnElementIsSizedFor) {
  for (const char* sample : {"\xFF\xD8\xFF", "<svg/>", "x"}) {
    for (const char* name : {"a.jpeg", "a.webp", "a.svg", "a"})
      EXPECT_LE(ContentTypeOf(sample, name).size(), kMaxContentTypeLength);
  }
}
