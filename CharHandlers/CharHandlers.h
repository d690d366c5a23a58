// Character handlers: objects that take bytes one at a time (the reader of
// an entry's start tag, which every listing, extraction and rewrite reads
// ids through, and the byte-at-a-time reference walk in reference/), and
// the writer of an extracted entry, which takes them in runs decoded
// straight into its buffer. The concrete kinds are final, so a caller that
// knows the kind gets its Put inlined.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
  void PutString(std::string_view s) {
    for (char c : s) Put(static_cast<std::uint8_t>(c));
  }
};

// What one extraction after another reuses: two buffers and the thread that
// writes them. The archive handle keeps one for all its entries, so a book
// of many entries neither maps fresh memory nor starts a thread for each.
struct tWriteBuffers {
  static constexpr std::uint32_t kSize = 524288;
  std::unique_ptr<std::uint8_t[]> Buffers[2];
  platform::WriteBehind Behind;
};

// Writes an extracted entry into a new file beside the named one, which
// takes that file's place only at Commit, so a failure never leaves a
// half-written file where a good one stood. Bytes gather in one of two
// buffers; a full one is written on a thread of its own while the other
// fills, so an entry longer than a buffer is decoded and written at once.
class tFileWrite final {
 public:
  static constexpr std::uint32_t kBufferSize = tWriteBuffers::kSize;

  std::int32_t Status = 0;  // -1: the new file could not be made

  platform::FileHandle Handle = platform::InvalidHandle;
  bool WriteFailed = false;  // a write failed or stopped short

  // With reused, the buffers and thread are those; else its own.
  explicit tFileWrite(const std::string& name, tWriteBuffers* reused = nullptr);
  ~tFileWrite();
  tFileWrite(const tFileWrite&) = delete;
  tFileWrite& operator=(const tFileWrite&) = delete;
  // Room for n more bytes (at most a buffer's size) in the buffer, to be put
  // there directly, then counted by Took.
  char* Room(std::size_t n) {
    if (kBufferSize - Count < n) Flush();
    return reinterpret_cast<char*>(Buffer + Count);
  }
  void Took(std::size_t n) { Count += static_cast<std::uint32_t>(n); }
  enum tCommit { Committed, NotWritten, NotPlaced };
  // Writes what is left, closes and puts the new file in place. On failure
  // the target keeps its old content and the new file is removed.
  tCommit Commit();

 private:
  // Hands the filled buffer on to be written and takes the other.
  void Flush();
  // Waits for the write under way and notes how it went.
  void Settle();

  std::unique_ptr<tReplacement> Replacement;  // the replacing form's new file
  std::unique_ptr<tWriteBuffers> Own;
  tWriteBuffers& Space;
  std::uint8_t* Buffer = nullptr;  // the one being filled
  std::uint32_t Count = 0;
  std::size_t Handed = 0;  // bytes of the write under way
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
