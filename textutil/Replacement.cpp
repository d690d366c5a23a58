#include "textutil/Replacement.h"

#include "platform/Platform.h"
#include "platform/TempNames.h"
#include "textutil/PathRules.h"
#include "textutil/StrUtil.h"

namespace {

constexpr std::string_view kFolderSeparators = SystemPathRules().Separators;

std::string FolderOf(const std::string& path) { return path.substr(0, NameStart(path, kFolderSeparators)); }

// New files of a rewrite are named for their book, so that the next rewrite
// of that book can tell a killed one's leftovers from other files.
std::string RewritePrefix(const std::string& target) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = NameStart(target, kFolderSeparators); i < target.size(); ++i) {
    h = (h ^ static_cast<unsigned char>(target[i])) * 16777619u;
  }
  return "~fb2pack-" + platform::Hex8(h) + "-";
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
    case platform::RewriteOpen::Opened: Opened = tOpened::Ok; break;
    case platform::RewriteOpen::Busy: Opened = tOpened::Busy; break;
    case platform::RewriteOpen::ReadOnly: Opened = tOpened::ReadOnly; break;
    default: Opened = tOpened::NotAFile; break;
  }
}

tReplacement::~tReplacement() {
  platform::Discard(New);
  platform::Close(Held);
}

bool tReplacement::Create() {
  if (Opened != tOpened::Ok && Opened != tOpened::ReadOnly) return false;
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

bool tReplacement::Copy(platform::FileHandle from, std::uint64_t offset, std::uint64_t n) {
  constexpr std::uint64_t kSlice = 8 << 20;  // as Write: sent on to the disk slice by slice
  for (std::uint64_t at = 0; !Failed && at < n; at += kSlice) {
    const std::uint64_t count = n - at < kSlice ? n - at : kSlice;
    Failed = platform::CopyRange(from, offset + at, count, New.Handle) != count;
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
  } else if (Opened == tOpened::ReadOnly ||
             (platform::ModeOf(Target) >= 0 && !platform::CopyIdentity(Target, New.Handle, Kind == Rewrite)) ||
             !platform::PlaceOver(New, Target, Held)) {
    result = NotPlaced;
  }
  platform::Discard(New);  // nothing left once placed
  return result;
}
