// Sequential readers: a book is walked one byte at a time through a window
// held inside the reader object, so stepping is an index into memory and the
// file is read once, in 32 KB blocks.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

class tSeqRead {
 public:
  std::uint8_t Ch = 0;    // the byte at Pos; 0 at the end
  bool Eof = true;        // Pos is at or past the end of the data
  std::uint32_t Pos = 0;  // position of Ch, from 0

  tSeqRead() = default;
  tSeqRead(const tSeqRead&) = delete;
  tSeqRead& operator=(const tSeqRead&) = delete;
  virtual ~tSeqRead() = default;

  virtual void Next() = 0;
};

class tFileRead : public tSeqRead {
 public:
  std::uint32_t Size = 0;
  std::string FileName;

  void Next() override { SeekTo(Pos + 1); }
  virtual void SeekTo(std::uint32_t pos) = 0;
  virtual void Reopen(const std::string& name);
};

class tDiskRead : public tFileRead {
 public:
  static constexpr std::uint32_t kWindowSize = 32768;

  platform::FileHandle Handle = platform::InvalidHandle;
  std::uint32_t WindowStart = 0;
  std::uint16_t WindowLength = 0;
  std::uint8_t Window[kWindowSize];

  explicit tDiskRead(const std::string& name);
  // Reads through a handle that stays its owner's (a rewrite's hold on the
  // book): it is neither opened nor closed here.
  tDiskRead(platform::FileHandle borrowed, const std::string& name);
  ~tDiskRead() override;

  // Some read delivered fewer bytes than the file holds there. The walk goes
  // on from where that read ended; a rewrite takes it as a failed read.
  bool ShortRead = false;

  void SeekTo(std::uint32_t pos) override {
    Pos = pos;
    // Unsigned difference: also out of range when pos lies before the window.
    std::uint32_t offset = pos - WindowStart;
    if (offset < WindowLength) {
      Ch = Window[offset];
      return;
    }
    Refill(pos);
  }
  void Reopen(const std::string& name) override;

  // The bytes from Pos to the end of the window, for callers that look for a
  // byte in bulk; none at the end. Skip(n) then moves on as n steps of Next would.
  std::uint32_t Ahead() const { return Eof ? 0 : WindowStart + WindowLength - Pos; }
  const std::uint8_t* Here() const { return Window + (Pos - WindowStart); }
  void Skip(std::uint32_t n) { SeekTo(Pos + n); }

 private:
  void Open(const std::string& name);
  void Measure();
  void Refill(std::uint32_t pos);
  bool Owned = true;
};
