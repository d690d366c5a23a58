#include "ImageCheck.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kPng = "\x89PNG\r\n\x1a\n";
constexpr std::size_t kSignature = 12;  // enough bytes to tell every kind checked

std::uint32_t Big32(const std::string& s, std::size_t at) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}
std::uint32_t Little32(const std::string& s, std::size_t at) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])); };
  return b(3) << 24 | b(2) << 16 | b(1) << 8 | b(0);
}
std::uint32_t Crc(std::uint32_t crc, const void* bytes, std::size_t n) {
  const auto* p = static_cast<const Bytef*>(bytes);
  while (n > 0) {
    const auto piece = static_cast<uInt>(std::min<std::size_t>(n, UINT_MAX));
    crc = static_cast<std::uint32_t>(crc32(crc, p, piece));
    p += piece;
    n -= piece;
  }
  return crc;
}
// The size of a GIF colour table whose flags are given, when it has one.
std::uint32_t ColourTable(unsigned char flags) { return flags & 0x80 ? 3u << ((flags & 7) + 1) : 0; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

void tImageCheck::Feed(const std::uint8_t* bytes, std::size_t n) {
  total_ += n;
  Eat(bytes, n);
}

void tImageCheck::Eat(const std::uint8_t* bytes, std::size_t n) {
  std::size_t i = 0;
  while (i < n && step_ != tStep::Done && step_ != tStep::Failed && step_ != tStep::Length) {
    if (skip_ > 0) {
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, n - i));
      if (step_ == tStep::PngChunkData) crc_ = Crc(crc_, bytes + i, take);
      skip_ -= take;
      i += take;
      if (skip_ == 0) Next();
    } else if (step_ == tStep::JpegScan) {
      if (!marker_) {
        // Coded data runs to the next 0xFF, looked for in bulk.
        const void* ff = std::memchr(bytes + i, 0xFF, n - i);
        if (ff == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(ff) - bytes);
      }
      Scan(bytes[i++]);
    } else {
      const std::size_t take = std::min(want_ - held_.size(), n - i);
      held_.append(reinterpret_cast<const char*>(bytes + i), take);
      i += take;
      if (held_.size() == want_) Next();
    }
  }
}

void tImageCheck::Want(std::size_t n, tStep step) {
  held_.clear();
  want_ = n;
  step_ = step;
}

void tImageCheck::Skip(std::uint64_t n, tStep step) {
  held_.clear();
  step_ = step;
  skip_ = n;
  if (n == 0) Next();
}

void tImageCheck::Fail(const std::string& why) {
  damage_ = why;
  step_ = tStep::Failed;
}

void tImageCheck::Kind() {
  const std::string first = held_;
  auto rest = [&](std::size_t from) {
    Eat(reinterpret_cast<const std::uint8_t*>(first.data()) + from, first.size() - from);
  };
  if (first.starts_with(kPng)) {
    kind_ = tKind::Png;
    Want(8, tStep::PngChunkHead);
    rest(kPng.size());
  } else if (first.starts_with("\xFF\xD8\xFF")) {
    kind_ = tKind::Jpeg;
    Want(1, tStep::JpegMarker);
    rest(2);
  } else if (first.starts_with("GIF87a") || first.starts_with("GIF89a")) {
    kind_ = tKind::Gif;
    want_ = 13;
    step_ = tStep::GifScreen;
  } else if (first.size() >= kSignature && first.starts_with("RIFF") && first.compare(8, 4, "WEBP") == 0) {
    kind_ = tKind::WebP;
    length_ = std::uint64_t{Little32(first, 4)} + 8;
    step_ = tStep::Length;
  } else if (first.size() >= kSignature && first.starts_with("BM") && Little32(first, 6) == 0 &&
             Little32(first, 2) >= 26) {
    // The reserved fields are 0 in every bitmap; text that starts "BM" is no image.
    kind_ = tKind::Bmp;
    length_ = Little32(first, 2);
    step_ = tStep::Length;
  } else {
    kind_ = tKind::Other;
    step_ = tStep::Done;
  }
}

void tImageCheck::Next() {
  switch (step_) {
    case tStep::Signature: Kind(); break;
    case tStep::PngChunkHead: {
      const std::uint32_t length = Big32(held_, 0);
      chunk_ = held_.substr(4);
      if (!std::all_of(chunk_.begin(), chunk_.end(), IsLetter)) return Fail("PNG holds a chunk of no valid type");
      if (length > 0x7FFFFFFF) return Fail("PNG chunk " + chunk_ + " has a length out of range");
      crc_ = Crc(0, chunk_.data(), chunk_.size());
      Skip(length, tStep::PngChunkData);
      break;
    }
    case tStep::PngChunkData: Want(4, tStep::PngCrc); break;
    case tStep::PngCrc:
      if (Big32(held_, 0) != crc_) return Fail("PNG chunk " + chunk_ + " fails its CRC");
      if (chunk_ == "IEND") {
        ended_ = true;
        step_ = tStep::Done;
      } else {
        Want(8, tStep::PngChunkHead);
      }
      break;
    case tStep::JpegMarker: {
      const auto c = static_cast<std::uint8_t>(held_[0]);
      Want(1, tStep::JpegMarker);
      if (c == 0xFF) {
        marker_ = true;  // or a fill byte before the code
      } else if (marker_) {
        marker_ = false;
        Marker(c);
      }  // else a stray byte between segments, which decoders pass over
      break;
    }
    case tStep::JpegLength: {
      const std::uint32_t length = Big32(std::string(2, '\0') + held_, 0);
      if (length < 2) return Fail("JPEG segment with a length below 2");
      // A frame header (SOF0 to SOF15 but DHT, JPG and DAC) gives the size.
      const bool frame = segment_ >= 0xC0 && segment_ <= 0xCF && segment_ != 0xC4 && segment_ != 0xC8 &&
                         segment_ != 0xCC && width_ == 0 && length >= 7;
      if (frame) {
        frameRest_ = length - 7;  // after its precision, height and width
        Want(5, tStep::JpegFrame);
      } else {
        Skip(length - 2, tStep::JpegSegment);
      }
      break;
    }
    case tStep::JpegFrame: {
      auto b = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(held_[i])); };
      height_ = b(1) << 8 | b(2);
      width_ = b(3) << 8 | b(4);
      Skip(frameRest_, tStep::JpegSegment);
      break;
    }
    case tStep::JpegSegment:
      if (segment_ == 0xDA) {  // a scan's header: its coded data follows
        held_.clear();
        step_ = tStep::JpegScan;
        marker_ = false;
      } else {
        Want(1, tStep::JpegMarker);
      }
      break;
    case tStep::GifScreen: Skip(ColourTable(static_cast<unsigned char>(held_[10])), tStep::GifBlockStart); break;
    case tStep::GifBlockStart: Want(1, tStep::GifBlock); break;
    case tStep::GifBlock:
      switch (static_cast<unsigned char>(held_[0])) {
        case 0x3B:
          ended_ = true;
          step_ = tStep::Done;
          break;
        case 0x21: Skip(1, tStep::GifSubStart); break;  // an extension's label, then its data
        case 0x2C: Want(9, tStep::GifImage); break;
        default: Fail("GIF holds a block of no known kind"); break;
      }
      break;
    case tStep::GifImage:  // its colour table, then the code size, then its data
      Skip(ColourTable(static_cast<unsigned char>(held_[8])) + 1, tStep::GifSubStart);
      break;
    case tStep::GifSubStart: Want(1, tStep::GifSubBlock); break;
    case tStep::GifSubBlock:
      if (held_[0] == 0) {
        Want(1, tStep::GifBlock);
      } else {
        Skip(static_cast<unsigned char>(held_[0]), tStep::GifSubStart);
      }
      break;
    default: break;
  }
}

void tImageCheck::Marker(std::uint8_t code) {
  if (code == 0xD9) {
    ended_ = true;
    step_ = tStep::Done;
  } else if (code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
    Want(1, tStep::JpegMarker);  // markers without a segment
  } else {
    segment_ = code;
    Want(2, tStep::JpegLength);
  }
}

void tImageCheck::Scan(std::uint8_t c) {
  if (!marker_) {
    marker_ = c == 0xFF;
    return;
  }
  // 0xFF 0x00 is a coded 0xFF, and restart markers stand inside the data.
  if (c == 0xFF) return;
  marker_ = false;
  if (c == 0x00 || (c >= 0xD0 && c <= 0xD7)) return;
  Marker(c);
}

std::string tImageCheck::Damage() const {
  if (!damage_.empty()) return damage_;
  if (ended_) return {};
  const std::string sizes =
      " (" + std::to_string(total_) + " of the " + std::to_string(length_) + " bytes its header gives)";
  switch (kind_) {
    case tKind::Png:
      return step_ == tStep::PngChunkData || step_ == tStep::PngCrc ? "PNG cut short (in its " + chunk_ + " chunk)"
                                                                    : "PNG cut short (no IEND chunk)";
    case tKind::Jpeg: return "JPEG cut short (no end-of-image marker)";
    case tKind::Gif: return "GIF cut short (no trailer)";
    case tKind::WebP: return total_ < length_ ? "WebP cut short" + sizes : "";
    case tKind::Bmp: return total_ < length_ ? "BMP cut short" + sizes : "";
    case tKind::Unknown: {
      // Fewer bytes than the signature holds: cut short if they start one.
      if (held_.size() >= 4 && kPng.starts_with(held_)) return "PNG cut short (no IEND chunk)";
      tImageCheck rest = *this;
      rest.Kind();
      return rest.kind_ == tKind::Unknown || rest.kind_ == tKind::Other ? std::string() : rest.Damage();
    }
    case tKind::Other: return {};
  }
  return {};
}

bool PixelSize(const std::string& head, const tImageCheck& check, unsigned& width, unsigned& height) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(head[i])); };
  width = height = 0;
  if (head.starts_with(kPng) && head.size() >= 24 && head.compare(12, 4, "IHDR") == 0) {
    width = Big32(head, 16);
    height = Big32(head, 20);
  } else if ((head.starts_with("GIF87a") || head.starts_with("GIF89a")) && head.size() >= 10) {
    width = b(6) | b(7) << 8;
    height = b(8) | b(9) << 8;
  } else if (head.starts_with("BM") && head.size() >= 26) {
    width = Little32(head, 18);
    const auto rows = static_cast<std::int32_t>(Little32(head, 22));
    height = static_cast<unsigned>(rows < 0 ? -static_cast<std::int64_t>(rows) : rows);
  } else if (head.starts_with("RIFF") && head.size() >= 30 && head.compare(8, 4, "WEBP") == 0) {
    if (head.compare(12, 4, "VP8 ") == 0) {
      width = (b(26) | b(27) << 8) & 0x3FFF;
      height = (b(28) | b(29) << 8) & 0x3FFF;
    } else if (head.compare(12, 4, "VP8L") == 0 && head.size() >= 25) {
      const std::uint32_t bits = Little32(head, 21);
      width = (bits & 0x3FFF) + 1;
      height = (bits >> 14 & 0x3FFF) + 1;
    } else if (head.compare(12, 4, "VP8X") == 0) {
      width = (b(24) | b(25) << 8 | b(26) << 16) + 1;
      height = (b(27) | b(28) << 8 | b(29) << 16) + 1;
    }
  } else if (head.starts_with("\xFF\xD8\xFF")) {
    width = check.JpegWidth();
    height = check.JpegHeight();
  }
  return width != 0 && height != 0;
}
