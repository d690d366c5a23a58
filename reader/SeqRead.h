// The reader every walk over a book goes through: a window of up to 32 KB of
// the file, held inside the reader object, that callers scan in bulk (Here,
// Ahead, Skip) and step through a byte at a time where a match is checked
// (Ch, Next). The file is read once, a window at a time; the book is never
// held whole.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

class tDiskRead {
 public:
  static constexpr std::uint32_t kWindowSize = 32768;

  std::uint8_t Ch = 0;    // the byte at Pos; 0 at the end
  bool Eof = true;        // Pos is at or past the end of the data
  std::uint32_t Pos = 0;  // position of Ch, from 0
  std::uint32_t Size = 0;
  std::string FileName;

  platform::FileHandle Handle = platform::InvalidHandle;
  std::uint32_t WindowStart = 0;
  std::uint16_t WindowLength = 0;
  std::uint8_t Window[kWindowSize];

  explicit tDiskRead(const std::string& name);
  // Reads through a handle that stays its owner's (a rewrite's hold on the
  // book): it is neither opened nor closed here.
  tDiskRead(platform::FileHandle borrowed, const std::string& name);
  ~tDiskRead();
  tDiskRead(const tDiskRead&) = delete;
  tDiskRead& operator=(const tDiskRead&) = delete;

  // Some read delivered fewer bytes than the file holds there. The walk goes
  // on from where that read ended; a rewrite takes it as a failed read.
  bool ShortRead = false;

  void Next() { SeekTo(Pos + 1); }
  void SeekTo(std::uint32_t pos) {
    Pos = pos;
    // Unsigned difference: also out of range when pos lies before the window.
    std::uint32_t offset = pos - WindowStart;
    if (offset < WindowLength) {
      Ch = Window[offset];
      return;
    }
    Refill(pos);
  }

  // The bytes from Pos to the end of the window, for callers that look for a
  // byte in bulk; none at the end. Skip(n) then moves on as n steps of Next would.
  std::uint32_t Ahead() const { return Eof ? 0 : WindowStart + WindowLength - Pos; }
  const std::uint8_t* Here() const { return Window + (Pos - WindowStart); }
  void Skip(std::uint32_t n) { SeekTo(Pos + n); }
  // How many bytes from Pos come before the next byte c in the window, found
  // there or not (then the rest of the window); 0 at the end.
  std::uint32_t SpanTo(std::uint8_t c, bool& found) const;
  // Moves to the next byte c; false, at the end, when none follows.
  bool SkipTo(std::uint8_t c);

 private:
  void Measure();
  void Refill(std::uint32_t pos);
  bool Owned = true;
};
