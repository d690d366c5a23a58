#include "textutil/FileText.h"

#include <algorithm>

#include "platform/Platform.h"
#include "textutil/PathRules.h"
#include "textutil/StrUtil.h"

namespace {

constexpr std::string_view kFolderSeparators = SystemPathRules().Separators;

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

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, NameStart(path, kFolderSeparators)); }

// New files of a rewrite are named for their book, so that the next rewrite
// of that book can tell a killed one's leftovers from other files.
std::string RewritePrefix(const std::string& target) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = NameStart(target, kFolderSeparators); i < target.size(); ++i) {
    h = (h ^ static_cast<unsigned char>(target[i])) * 16777619u;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string prefix = "~fb2pack-";
  for (int i = 7; i >= 0; --i) prefix += kHex[(h >> (4 * i)) & 15];
  return prefix + "-";
}

}  // namespace

tReplacement::tReplacement(const std::string& target, tKind kind) : Kind(kind) {
  if (kind == Extraction) {
    Target = target;
    return;
  }
  // A linked book is rewritten where the link points; the link stays.
  Target = platform::FinalPath(target);
  platform::RewriteOpen why{};
  Held = platform::OpenForRewrite(Target, kRewriteWaitMs, why);
  switch (why) {
    case platform::RewriteOpen::Opened: Opened = tFileStatus::Ok; break;
    case platform::RewriteOpen::Busy: Opened = tFileStatus::Busy; break;
    case platform::RewriteOpen::ReadOnly: Opened = tFileStatus::ReadOnly; break;
    default: Opened = tFileStatus::OpenFailed; break;
  }
}

tReplacement::~tReplacement() {
  platform::Discard(New);
  platform::Close(Held);
}

bool tReplacement::Create() {
  if (Opened != tFileStatus::Ok && Opened != tFileStatus::ReadOnly) return false;
  if (Kind == Rewrite) {
    platform::RemoveLeftovers(FolderOf(Target), RewritePrefix(Target));
    // While it holds the book's text, the new file is open to nobody the
    // book is closed to; it gets the book's own bits once complete.
    int mode = platform::ModeOf(Target);
    return platform::CreateBeside(FolderOf(Target), RewritePrefix(Target), mode < 0 ? 0600 : (mode & 0600), New);
  }
  int mode = platform::ModeOf(Target);
  return platform::CreateBeside(FolderOf(Target), "~fb2pack-", mode < 0 ? 0666 : static_cast<unsigned>(mode), New);
}

bool tReplacement::Write(const char* bytes, std::size_t n) {
  // Written in slices, each sent on to the disk as soon as it is written:
  // the flush before the new file takes the target's place then has little
  // left to wait for.
  constexpr std::size_t kSlice = 8 << 20;
  for (std::size_t at = 0; !Failed && at < n; at += kSlice) {
    std::size_t count = n - at < kSlice ? n - at : kSlice;
    Failed = platform::Write(New.Handle, bytes + at, count) != count;
    if (Kind == Rewrite) platform::StartFlush(New.Handle, Written, count);
    Written += count;
  }
  return !Failed;
}

tReplacement::tCommit tReplacement::Commit() {
  tCommit result = Committed;
  // Books are flushed before they take the old one's place, so that even a
  // power loss leaves the old book or the new one.
  if (New.Handle == platform::InvalidHandle || Failed || (Kind == Rewrite && !platform::Sync(New.Handle))) {
    result = NotWritten;
  } else if (Opened == tFileStatus::ReadOnly ||
             (platform::ModeOf(Target) >= 0 && !platform::CopyIdentity(Target, New.Handle, Kind == Rewrite)) ||
             !platform::PlaceOver(New, Target, Held)) {
    result = NotPlaced;
  }
  platform::Discard(New);  // nothing left once placed
  return result;
}

tFileStatus SaveFileReplacing(const std::string& name, const std::string& text) {
  return SaveFileReplacing(name, {std::string_view(text)});
}

tFileStatus SaveFileReplacing(const std::string& name, const std::vector<std::string_view>& parts) {
  tReplacement file(name, tReplacement::Rewrite);
  if (file.Opened != tFileStatus::Ok) return file.Opened;
  if (!file.Create()) return tFileStatus::CreateFailed;
  for (std::string_view part : parts) file.Write(part.data(), part.size());
  return file.Commit() == tReplacement::Committed ? tFileStatus::Ok : tFileStatus::WriteFailed;
}
