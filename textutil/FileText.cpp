#include "textutil/FileText.h"

#include <algorithm>

#include "platform/Platform.h"

std::string ReadFileText(const std::string& name, std::int32_t offset, std::int32_t limit) {
  std::string text;
  platform::FileHandle h = platform::OpenRead(name);
  if (h == platform::InvalidHandle) return text;
  if (offset < 0) offset = 0;
  std::uint64_t size = 0;
  if (platform::SeekTo(h, static_cast<std::uint64_t>(offset)) && platform::FileSize(h, size)) {
    std::int64_t end = std::min<std::int64_t>(static_cast<std::int64_t>(std::min(size, kMaxText)), limit);
    std::int64_t count = end - offset;
    if (count > 0) {
      text.resize(static_cast<std::size_t>(count));
      text.resize(platform::Read(h, text.data(), text.size()));
    }
  }
  platform::Close(h);
  return text;
}

void WriteFileText(const std::string& name, const std::string& text) {
  platform::FileHandle h = platform::CreateAlways(name);
  if (h == platform::InvalidHandle) return;
  platform::Write(h, text.data(), text.size());
  platform::Close(h);
}

tFileStatus LoadFile(const std::string& name, std::string& text) {
  text.clear();
  platform::FileHandle h = platform::OpenRead(name);
  if (h == platform::InvalidHandle) return tFileStatus::OpenFailed;
  tFileStatus status = LoadFile(h, text);
  platform::Close(h);
  return status;
}

tFileStatus LoadFile(platform::FileHandle h, std::string& text) {
  text.clear();
  std::uint64_t size = 0;
  if (!platform::FileSize(h, size) || !platform::SeekTo(h, 0)) return tFileStatus::ReadFailed;
  if (size > kMaxText) return tFileStatus::TooLarge;
  text.resize(static_cast<std::size_t>(size));
  if (platform::Read(h, text.data(), text.size()) != text.size()) {
    text.clear();
    return tFileStatus::ReadFailed;
  }
  return tFileStatus::Ok;
}
