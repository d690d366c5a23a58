// The reader every walk over a book goes through: a window of up to 256 KB of
// the file, held by the reader object, that callers scan in bulk (Here,
// Ahead, Skip) and step through a byte at a time where a match is checked
// (Ch, Next). The file is read once, a window at a time, by reads at an
// offset (no seeks); the book is never held whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

class tDiskRead {
 public:
  // Large enough that a read costs little beyond its copy, small enough to
  // stay in the processor's cache beside what it decodes to. The fuzz build
  // takes small windows, so that its short books cross their ends.
#ifdef FB2PACK_READ_WINDOW
  static constexpr std::uint32_t kWindowSize = FB2PACK_READ_WINDOW;
#else
  static constexpr std::uint32_t kWindowSize = 262144;
#endif

  std::uint8_t Ch = 0;    // the byte at Pos; 0 at the end
  bool Eof = true;        // Pos is at or past the end of the data
  std::uint32_t Pos = 0;  // position of Ch, from 0
  std::uint32_t Size = 0;
  std::string FileName;

  platform::FileHandle Handle = platform::InvalidHandle;
  std::uint32_t WindowStart = 0;
  std::uint32_t WindowLength = 0;
  std::unique_ptr<std::uint8_t[]> Window = std::make_unique_for_overwrite<std::uint8_t[]>(kWindowSize);

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
  const std::uint8_t* Here() const { return Window.get() + (Pos - WindowStart); }
  void Skip(std::uint32_t n) { SeekTo(Pos + n); }
  // How many bytes from Pos come before the next byte c in the window, found
  // there or not (then the rest of the window); 0 at the end.
  std::uint32_t SpanTo(std::uint8_t c, bool& found) const;
  // Moves to the next byte c; false, at the end, when none follows.
  bool SkipTo(std::uint8_t c);
  // Bytes [from, to) of the file (fewer where it ends), for a look back or
  // ahead of a few hundred bytes: from the window when they stand in it,
  // else read apart; the reader's position and window stay.
  std::string BytesAt(std::uint64_t from, std::uint64_t to);

  // Sees every byte of the file once, in order, as the reader first reaches
  // it: a second reading of the book (its references) rides on a walk.
  class tWatcher {
   public:
    virtual void Saw(const std::uint8_t* bytes, std::uint32_t n) = 0;

   protected:
    ~tWatcher() = default;
  };
  // From the file's first byte on; the window read already is seen now.
  void Watch(tWatcher& watcher);
  // Shows the watcher what it has not seen, to the end of the file; the
  // reader's position stays.
  void WatchToEnd();
  // No watcher from now on.
  void Unwatch() { Watcher = nullptr; }

 private:
  void Measure();
  void Refill(std::uint32_t pos);
  bool Owned = true;
  tWatcher* Watcher = nullptr;
  std::uint32_t WatchedTo = 0;  // the watcher has seen the bytes before this
  // Shows the watcher the bytes it has not seen before to, the window's first.
  void ShowUpTo(std::uint32_t to);
};
