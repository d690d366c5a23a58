#include "textutil/FileText.h"

#include <algorithm>

#include "platform/Platform.h"
#include "textutil/StrUtil.h"

namespace {

constexpr std::uint64_t kMaxText = 0x7FFFFFFF;

#ifdef _WIN32
constexpr const char* kFolderSeparators = "\\/:";
#else
constexpr const char* kFolderSeparators = "/";
#endif

}  // namespace

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
  std::uint64_t size = 0;
  tFileStatus status = tFileStatus::Ok;
  if (!platform::FileSize(h, size)) {
    status = tFileStatus::ReadFailed;
  } else if (size > kMaxText) {
    status = tFileStatus::TooLarge;
  } else {
    text.resize(static_cast<std::size_t>(size));
    std::size_t got = platform::Read(h, text.data(), text.size());
    if (got != text.size()) {
      text.clear();
      status = tFileStatus::ReadFailed;
    }
  }
  platform::Close(h);
  return status;
}

std::intptr_t CreateSibling(const std::string& target, std::string& created) {
  std::string folder = target.substr(0, NameStart(target, kFolderSeparators));
  static const char kHex[] = "0123456789abcdef";
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::uint32_t n = platform::UniqueNumber() + static_cast<std::uint32_t>(attempt) * 0x9E3779B9u;
    std::string name = folder + "~fb2pack-";
    for (int i = 7; i >= 0; --i) name += kHex[(n >> (4 * i)) & 15];
    name += ".tmp";
    platform::FileHandle h = platform::CreateNew(name);
    if (h != platform::InvalidHandle) {
      created = name;
      return h;
    }
  }
  created.clear();
  return platform::InvalidHandle;
}

tFileStatus SaveFileReplacing(const std::string& name, const std::string& text) {
  return SaveFileReplacing(name, {std::string_view(text)});
}

tFileStatus SaveFileReplacing(const std::string& name, const std::vector<std::string_view>& parts) {
  std::string temp;
  platform::FileHandle h = CreateSibling(name, temp);
  if (h == platform::InvalidHandle) return tFileStatus::CreateFailed;
  // Written in slices, each sent on to the disk as soon as it is written:
  // the flush before the new file takes the book's place then has little
  // left to wait for.
  constexpr std::size_t kSlice = 8 << 20;
  bool ok = true;
  std::uint64_t written = 0;
  for (std::string_view part : parts) {
    for (std::size_t at = 0; ok && at < part.size(); at += kSlice) {
      std::size_t n = part.size() - at < kSlice ? part.size() - at : kSlice;
      ok = platform::Write(h, part.data() + at, n) == n;
      platform::StartFlush(h, written, n);
      written += n;
    }
  }
  ok = ok && platform::Sync(h);
  platform::Close(h);
  // Permission bits travel from the old book; without them the new one may
  // end up more open (or more closed) than the user left it.
  ok = ok && platform::CopyPermissions(name, temp) && platform::MoveOver(temp, name);
  if (!ok) {
    platform::RemoveFile(temp);
    return tFileStatus::WriteFailed;
  }
  return tFileStatus::Ok;
}
