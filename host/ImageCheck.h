// Whether an image is whole by its own structure, read from its bytes in
// order, in pieces of any size, without holding them: PNG chunks and their
// CRCs through IEND, JPEG segments through the end-of-image marker, GIF
// blocks through the trailer, the length a WebP's RIFF header or a BMP's
// file header gives. What a reader forgives (bytes after the end, stray bytes
// between JPEG segments) is no damage here either. Kinds without such a
// structure (SVG, and anything unknown) are never damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class tImageCheck {
 public:
  // The next bytes of the image.
  void Feed(const std::uint8_t* bytes, std::size_t n);
  // Once every byte is fed: what is wrong, in words ("PNG cut short (in its
  // IDAT chunk)"); empty when the image is whole or its kind is not checked.
  std::string Damage() const;
  // A JPEG's size in pixels, from its frame header; 0 when none was read.
  unsigned JpegWidth() const { return width_; }
  unsigned JpegHeight() const { return height_; }

 private:
  enum class tKind { Unknown, Png, Jpeg, Gif, WebP, Bmp, Other };
  enum class tStep {
    Signature,
    PngChunkHead,
    PngChunkData,
    PngCrc,
    JpegMarker,
    JpegLength,
    JpegSegment,
    JpegFrame,
    JpegScan,
    GifScreen,
    GifBlockStart,
    GifBlock,
    GifImage,
    GifSubStart,
    GifSubBlock,
    Length,
    Done,
    Failed
  };
  void Eat(const std::uint8_t* bytes, std::size_t n);
  void Kind();  // tells the kind from the first bytes held
  void Next();  // the bytes wanted are held, or passed over: the next step
  void Want(std::size_t n, tStep step);
  void Skip(std::uint64_t n, tStep step);
  void Fail(const std::string& why);
  void Marker(std::uint8_t code);  // a JPEG marker was read
  void Scan(std::uint8_t c);       // a byte of JPEG entropy-coded data

  tKind kind_ = tKind::Unknown;
  tStep step_ = tStep::Signature;
  std::string held_;          // the bytes of the field being read
  std::size_t want_ = 12;     // bytes the field needs
  std::uint64_t skip_ = 0;    // bytes to pass over before the step
  std::uint64_t total_ = 0;   // bytes fed
  std::uint64_t length_ = 0;  // the length the header gives (WebP, BMP)
  std::uint32_t crc_ = 0;     // of the PNG chunk being read
  std::string chunk_;         // its type
  bool marker_ = false;       // JPEG: the last byte was 0xFF, so a marker's code follows
  std::uint8_t segment_ = 0;  // JPEG: the marker of the segment being read
  bool ended_ = false;        // the structure's end was read
  unsigned width_ = 0, height_ = 0;
  std::uint32_t frameRest_ = 0;  // JPEG: the frame header's bytes after the size
  std::string damage_;
};

// An image's size in pixels, from its first bytes (PNG, GIF, BMP, WebP) or,
// for a JPEG, from its frame header as the check read it; false when unknown.
bool PixelSize(const std::string& head, const tImageCheck& check, unsigned& width, unsigned& height);
