#include "reader/DiskRead.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
    std::size_t got = platform::ReadAt(Handle, pos, Window.get(), want);
    ShortRead = ShortRead || got < want;
    if (got > 0) {
      // Only what the read delivered counts: a file cut short under us must
      // not be read as stale window bytes.
      WindowLength = static_cast<std::uint32_t>(got);
      Eof = false;
      Ch = Window[0];
      if (Watcher) ShowUpTo(pos + WindowLength);
      return;
    }
  }
  WindowLength = 0;
  Eof = true;
  Ch = 0;
}

void tDiskRead::Watch(tWatcher& watcher) {
  Watcher = &watcher;
  WatchedTo = 0;
  if (WindowLength > 0) ShowUpTo(WindowStart + WindowLength);
}

void tDiskRead::WatchToEnd() {
  if (Watcher) ShowUpTo(Size);
}

void tDiskRead::ShowUpTo(std::uint32_t to) {
  std::vector<std::uint8_t> apart;
  while (WatchedTo < to) {
    const std::uint32_t windowEnd = WindowStart + WindowLength;
    if (WatchedTo >= WindowStart && WatchedTo < windowEnd) {
      const std::uint32_t end = std::min(to, windowEnd);
      Watcher->Saw(Window.get() + (WatchedTo - WindowStart), end - WatchedTo);
      WatchedTo = end;
      continue;
    }
    // Bytes outside the window (stepped over by the walk, or the rest of the
    // file at the end) are read apart from it.
    const std::uint32_t stop = WatchedTo < WindowStart ? std::min(to, WindowStart) : to;
    apart.resize(std::min<std::uint32_t>(stop - WatchedTo, kWindowSize));
    const std::size_t got = platform::ReadAt(Handle, WatchedTo, apart.data(), apart.size());
    ShortRead = ShortRead || got < apart.size();
    if (got == 0) return;
    Watcher->Saw(apart.data(), static_cast<std::uint32_t>(got));
    WatchedTo += static_cast<std::uint32_t>(got);
  }
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

std::string tDiskRead::BytesAt(std::uint64_t from, std::uint64_t to) {
  to = std::min<std::uint64_t>(to, Size);
  if (from >= to) return {};
  if (from >= WindowStart && to <= WindowStart + WindowLength) {
    return std::string(reinterpret_cast<const char*>(Window.get() + (from - WindowStart)), to - from);
  }
  std::string bytes(to - from, '\0');
  const std::size_t got = platform::ReadAt(Handle, from, bytes.data(), bytes.size());
  ShortRead = ShortRead || got < bytes.size();
  bytes.resize(got);
  return bytes;
}
