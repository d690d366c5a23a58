#include "CharHandlers/CharHandlers.h"

#include <cstring>

#include "textutil/Ascii.h"
#include "textutil/Replacement.h"
#include "textutil/StrUtil.h"

tFileWrite::tFileWrite(const std::string& name)
    : Replacement(std::make_unique<tReplacement>(name, tReplacement::Extraction)) {
  Handle = Replacement->Create() ? Replacement->Handle() : platform::InvalidHandle;
  Status = Handle == platform::InvalidHandle ? -1 : 0;
}

tFileWrite::~tFileWrite() { Flush(); }

void tFileWrite::PutBytes(const char* bytes, std::size_t length) {
  const char* p = bytes;
  std::size_t left = length;
  while (left > 0) {
    if (Count >= kBufferSize) Flush();
    std::size_t n = kBufferSize - Count;
    if (n > left) n = left;
    std::memcpy(Buffer + Count, p, n);
    Count = static_cast<std::uint16_t>(Count + n);
    p += n;
    left -= n;
  }
}

void tFileWrite::Flush() {
  if (Handle != platform::InvalidHandle) {
    if (platform::Write(Handle, Buffer, Count) != Count) WriteFailed = true;
  } else if (Count > 0) {
    WriteFailed = true;
  }
  Count = 0;
}

tFileWrite::tCommit tFileWrite::Commit() {
  Flush();
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
