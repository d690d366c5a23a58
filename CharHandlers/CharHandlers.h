// Character handlers: objects that take bytes one at a time or in runs. The
// product has two: the reader of an entry's start tag, which every listing,
// extraction and rewrite reads ids through, and the writer of an extracted
// entry. (The byte-at-a-time reference walk in reference/ builds on the same
// base.) The concrete kinds are final, so a caller that knows the kind gets
// its Put inlined.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

class tReplacement;

class tCharHandler {
 public:
  std::int32_t Status = 0;

  tCharHandler() = default;
  tCharHandler(const tCharHandler&) = delete;
  tCharHandler& operator=(const tCharHandler&) = delete;
  virtual ~tCharHandler() = default;

  virtual void Put(std::uint8_t c) = 0;
  // Feeds every byte of s to Put, in order.
  void PutString(const std::string& s) {
    for (char c : s) Put(static_cast<std::uint8_t>(c));
  }
};

// Writes an extracted entry: through a 32768-byte buffer inside the object
// into a new file beside the named one, which takes that file's place only
// at Commit, so a failure never leaves a half-written file where a good one
// stood.
class tFileWrite final : public tCharHandler {
 public:
  static constexpr std::uint32_t kBufferSize = 32768;

  platform::FileHandle Handle = platform::InvalidHandle;
  std::uint8_t Buffer[kBufferSize];
  std::uint16_t Count = 0;
  bool WriteFailed = false;  // a write failed or stopped short

  explicit tFileWrite(const std::string& name);
  ~tFileWrite() override;

  void Put(std::uint8_t c) override {
    if (Count >= kBufferSize) Flush();
    Buffer[Count++] = c;
  }
  // The same bytes and the same writes as Put byte by byte, without the
  // per-byte call.
  void PutString(const std::string& s) { PutBytes(s.data(), s.size()); }
  void PutBytes(const char* bytes, std::size_t length);
  void Flush();
  enum tCommit { Committed, NotWritten, NotPlaced };
  // Flushes, closes and puts the new file in place. On failure the target
  // keeps its old content and the new file is removed.
  tCommit Commit();

 private:
  std::unique_ptr<tReplacement> Replacement;  // the replacing form's new file
};

// Reads one markup tag and collects its name and attributes. Attributes holds
// each attribute item on a line of its own, preceded by CR LF.
class tGetTag final : public tCharHandler {
 public:
  enum : std::int32_t {
    kBefore = 0,
    kOpened = 1,
    kName = 2,
    kBetween = 3,
    kItem = 4,
    kSingleQuoted = 5,
    kDoubleQuoted = 6,
    kDeclaration = 10,
    kDone = -1,
  };

  std::string TagName;
  std::string Attributes;
  bool Closing = false;

  void Put(std::uint8_t c) override;
  // The raw value (quotes included) of an attribute; the name in lower case.
  std::string GetAttribute(const std::string& name) const;
};
