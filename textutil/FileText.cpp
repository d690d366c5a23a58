#include "textutil/FileText.h"

#include "platform/Platform.h"

tLoad LoadFile(const std::string& name, std::uint64_t maxSize, std::string& text) {
  text.clear();
  platform::FileHandle h = platform::OpenRead(name);
  if (h == platform::InvalidHandle) return tLoad::OpenFailed;
  std::uint64_t size = 0;
  tLoad status = tLoad::Ok;
  if (!platform::FileSize(h, size)) {
    status = tLoad::ReadFailed;
  } else if (size > maxSize) {
    status = tLoad::TooLarge;
  } else {
    text.resize(static_cast<std::size_t>(size));
    if (platform::ReadAt(h, 0, text.data(), text.size()) != text.size()) {
      text.clear();
      status = tLoad::ReadFailed;
    }
  }
  platform::Close(h);
  return status;
}
