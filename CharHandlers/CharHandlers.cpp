#include "CharHandlers/CharHandlers.h"

#include <cstring>

#include "textutil/Ascii.h"
#include "textutil/Replacement.h"
#include "textutil/StrUtil.h"

tFileWrite::tFileWrite(const std::string& name, tWriteBuffers* reused)
    : Replacement(std::make_unique<tReplacement>(name, tReplacement::Extraction)),
      Own(reused ? nullptr : std::make_unique<tWriteBuffers>()),
      Space(reused ? *reused : *Own) {
  Handle = Replacement->Create() ? Replacement->Handle() : platform::InvalidHandle;
  Status = Handle == platform::InvalidHandle ? -1 : 0;
  if (!Space.Buffers[0]) Space.Buffers[0] = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
  Buffer = Space.Buffers[0].get();
}

// The write under way ends before the file it writes is closed.
tFileWrite::~tFileWrite() { Settle(); }

void tFileWrite::Settle() {
  if (Handed > 0 && Space.Behind.Wait() != Handed) WriteFailed = true;
  Handed = 0;
}

void tFileWrite::Flush() {
  Settle();
  if (Handle == platform::InvalidHandle || WriteFailed) {
    // Nothing more is written once a write has failed: the file is not kept.
    WriteFailed = true;
  } else if (Space.Behind.Start(Handle, Buffer, Count)) {
    Handed = Count;
    const int other = Buffer == Space.Buffers[0].get() ? 1 : 0;
    if (!Space.Buffers[other]) Space.Buffers[other] = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    Buffer = Space.Buffers[other].get();
  } else if (platform::Write(Handle, Buffer, Count) != Count) {
    WriteFailed = true;
  }
  Count = 0;
}

tFileWrite::tCommit tFileWrite::Commit() {
  // The last, partial buffer is written here, without the thread: an entry
  // that fits one buffer never starts it.
  Settle();
  if (Count > 0 &&
      (Handle == platform::InvalidHandle || WriteFailed || platform::Write(Handle, Buffer, Count) != Count))
    WriteFailed = true;
  Count = 0;
  const bool written = Handle != platform::InvalidHandle && !WriteFailed;
  Handle = platform::InvalidHandle;  // the replacement closes its own file
  if (!written) return NotWritten;
  switch (Replacement->Commit()) {
    case tReplacement::Committed: return Committed;
    case tReplacement::NotWritten: return NotWritten;
    case tReplacement::NotPlaced: return NotPlaced;
  }
  return NotPlaced;
}

namespace {

char Lowered(std::uint8_t c) {
  char ch = static_cast<char>(c);
  platform::LowerCase(&ch, 1);
  return ch;
}

}  // namespace

void tGetTag::Put(std::uint8_t c) {
  if (Status == kBefore) {
    if (c == '<') Status = kOpened;
    return;
  }
  if (Status != kSingleQuoted && Status != kDoubleQuoted && c == '>') {
    Status = kDone;
    return;
  }
  if (Status == kOpened) {
    if (c == '!') {
      Status = kDeclaration;
    } else if (c == '/') {
      Closing = true;
    } else {
      Status = kName;
    }
  }
  switch (Status) {
    case kName:
      if (IsBlank(c)) {
        Status = kBetween;
      } else {
        TagName += AsciiLower(static_cast<char>(c));
      }
      break;
    case kBetween:
      if (!IsBlank(c)) {
        Status = kItem;
        Attributes += "\r\n";
        Attributes += Lowered(c);
      }
      break;
    case kItem:
      if (IsBlank(c)) {
        Status = kBetween;
      } else {
        Attributes += Lowered(c);
        if ((c == '\'' || c == '"') && Attributes[Attributes.size() - 2] == '=') {
          Status = c == '\'' ? kSingleQuoted : kDoubleQuoted;
        }
      }
      break;
    case kSingleQuoted:
      Attributes += static_cast<char>(c);
      if (c == '\'') Status = kBetween;
      break;
    case kDoubleQuoted:
      Attributes += static_cast<char>(c);
      if (c == '"') Status = kBetween;
      break;
    default: break;
  }
}

std::string tGetTag::GetAttribute(const std::string& name) const { return ValueOf(Attributes, name); }
