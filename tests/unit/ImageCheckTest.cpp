#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "ImageCheck.h"

namespace {

std::string Big32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string Little32(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  return Big32(static_cast<std::uint32_t>(data.size())) + body + Big32(static_cast<std::uint32_t>(crc));
}

std::string Png() {
  return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", std::string("\0\0\0\1\0\0\0\1\x08\x06\0\0\0", 13)) +
         PngChunk("IDAT", std::string(300, 'x')) + PngChunk("IEND", "");
}

std::string Segment(char marker, const std::string& data) {
  const auto n = static_cast<std::uint32_t>(data.size() + 2);
  return std::string("\xFF") + marker + static_cast<char>(n >> 8) + static_cast<char>(n) + data;
}

// A baseline JPEG's framing: an Exif segment holding a thumbnail's end
// marker, fill bytes, a stray byte between segments, and coded data with
// stuffed 0xFF bytes and restart markers in it.
std::string Jpeg() {
  return std::string("\xFF\xD8") + Segment('\xE0', std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)) +
         Segment('\xE1', std::string("Exif\0\0\xFF\xD8\xFF\xD9", 10)) + "\xFF\xFF" +
         Segment('\xDB', std::string(65, '\1')) + "\x00" + Segment('\xC0', std::string(15, '\2')) +
         Segment('\xDA', std::string(10, '\3')) +
         std::string(
             "ab\xFF\x00"
             "cd\xFF\xD0"
             "ef\xFF\xFF\x00",
             11) +
         "\xFF\xD9";
}

const std::string kGif("GIF89a\1\0\1\0\x80\0\0\0\0\0\xFF\xFF\xFF!\xF9\4\1\0\0\0\0,\0\0\0\0\1\0\1\0\0\2\2D\1\0;", 43);

std::string WebP() { return "RIFF" + Little32(24) + "WEBP" + "VP8L" + Little32(12) + std::string(12, 'w'); }

std::string Bmp() { return "BM" + Little32(70) + Little32(0) + Little32(54) + std::string(56, 'b'); }

std::string DamageOf(const std::string& bytes, std::size_t piece) {
  tImageCheck check;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    check.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, std::min(piece, bytes.size() - at));
  }
  return check.Damage();
}

}  // namespace

TEST(ImageCheck, WholeImagesPassInPiecesOfAnySizeAndEveryCutOneIsToldCutShort) {
  const std::vector<std::pair<std::string, std::string>> images = {
      {"PNG", Png()}, {"JPEG", Jpeg()}, {"GIF", kGif}, {"WebP", WebP()}, {"BMP", Bmp()}};
  for (const auto& [kind, bytes] : images) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, bytes.size()}) {
      EXPECT_EQ(DamageOf(bytes, piece), "") << kind << " in pieces of " << piece;
      EXPECT_EQ(DamageOf(bytes + "trailing bytes", piece), "") << kind << ": readers pass over what follows";
    }
    // From where its signature tells the kind, every shorter copy is cut short.
    for (std::size_t n = 12; n < bytes.size(); ++n) {
      const std::string damage = DamageOf(bytes.substr(0, n), 3);
      EXPECT_EQ(damage.substr(0, kind.size() + 10), kind + " cut short") << kind << " cut at " << n;
    }
  }
  EXPECT_EQ(DamageOf(Png().substr(0, 50), 7), "PNG cut short (in its IDAT chunk)");
  EXPECT_EQ(DamageOf(WebP().substr(0, 20), 7), "WebP cut short (20 of the 32 bytes its header gives)");
}

TEST(ImageCheck, DamageInsideWholeBytesIsNamed) {
  std::string png = Png();
  png[png.size() - 20] ^= 1;  // a byte of IDAT's data
  EXPECT_EQ(DamageOf(png, 64), "PNG chunk IDAT fails its CRC");
  std::string chunk = Png();
  chunk[12] = '1';  // IHDR's type
  EXPECT_EQ(DamageOf(chunk, 64), "PNG holds a chunk of no valid type");
  std::string gif = kGif;
  gif[gif.size() - 1] = '\x07';
  EXPECT_EQ(DamageOf(gif, 64), "GIF holds a block of no known kind");
  EXPECT_EQ(DamageOf(std::string("\xFF\xD8\xFF\xC0\x00\x01", 6), 64), "JPEG segment with a length below 2");
}

TEST(ImageCheck, KindsWithoutAStructureAreNeverDamaged) {
  for (const std::string bytes :
       {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>", "BM is the start of this text", "", "\x89PN", "plain text"}) {
    EXPECT_EQ(DamageOf(bytes, 3), "") << bytes;
  }
}
