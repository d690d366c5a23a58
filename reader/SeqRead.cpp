#include "reader/SeqRead.h"

#include <algorithm>
#include <cstring>

tDiskRead::tDiskRead(const std::string& name) : FileName(name), Handle(platform::OpenRead(name)) { Measure(); }

tDiskRead::tDiskRead(platform::FileHandle borrowed, const std::string& name) : Owned(false) {
  FileName = name;
  Handle = borrowed;
  Measure();
}

tDiskRead::~tDiskRead() {
  if (Owned) platform::Close(Handle);
}

void tDiskRead::Measure() {
  WindowStart = 0;
  WindowLength = 0;
  std::uint64_t size = 0;
  if (Handle != platform::InvalidHandle && platform::FileSize(Handle, size)) {
    if (size < UINT32_MAX) {
      Size = static_cast<std::uint32_t>(size);
    } else if (Owned) {
      // Positions are 32-bit and the one past the last byte must be one too:
      // a longer book is refused whole rather than read wrapped around.
      platform::Close(Handle);
      Handle = platform::InvalidHandle;
    }
  }
  Refill(0);
}

void tDiskRead::Refill(std::uint32_t pos) {
  Pos = pos;
  WindowStart = pos;
  if (pos < Size) {
    std::uint32_t want = std::min<std::uint32_t>(Size - pos, kWindowSize);
    std::size_t got = platform::SeekTo(Handle, pos) ? platform::Read(Handle, Window, want) : 0;
    ShortRead = ShortRead || got < want;
    if (got > 0) {
      // Only what the read delivered counts: a file cut short under us must
      // not be read as stale window bytes.
      WindowLength = static_cast<std::uint16_t>(got);
      Eof = false;
      Ch = Window[0];
      return;
    }
  }
  WindowLength = 0;
  Eof = true;
  std::memset(Window, 0, sizeof Window);
  Ch = 0;
}

std::uint32_t tDiskRead::SpanTo(std::uint8_t c, bool& found) const {
  const std::uint32_t ahead = Ahead();
  const void* at = ahead == 0 ? nullptr : std::memchr(Here(), c, ahead);
  found = at != nullptr;
  return found ? static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(at) - Here()) : ahead;
}

bool tDiskRead::SkipTo(std::uint8_t c) {
  bool found = false;
  while (!Eof) {
    Skip(SpanTo(c, found));
    if (found) return true;
  }
  return false;
}
