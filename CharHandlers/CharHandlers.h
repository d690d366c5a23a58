// Character handlers: objects that consume a byte stream one byte at a time,
// so that a book is searched, scanned, collected and written in one pass.
// The concrete kinds are final, so a caller that knows the kind gets its
// Put inlined.
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

// Collects bytes in memory, a 1024-byte chunk at a time.
class tStringWrite final : public tCharHandler {
 public:
  static constexpr std::uint16_t kChunkSize = 1024;

  std::string Text;   // completed chunks
  std::string Chunk;  // always kChunkSize bytes; the first Count are valid
  std::uint16_t Count = 0;

  tStringWrite() : Chunk(kChunkSize, '\0') {}

  void Put(std::uint8_t c) override {
    if (Count >= kChunkSize) FlushChunk();
    Chunk[Count++] = static_cast<char>(c);
  }
  void FlushChunk() {
    Text.append(Chunk, 0, Count);
    Count = 0;
  }
  // Everything put so far; changes nothing.
  std::string GetText() const { return Text + Chunk.substr(0, Count); }
};

// Writes bytes to a file through a 32768-byte buffer inside the object.
// The plain form appends to the named file. The replacing form writes a new
// file beside it and puts that in the file's place only at Commit, so a
// failure never leaves a half-written file where a good one stood.
class tFileWrite final : public tCharHandler {
 public:
  static constexpr std::uint32_t kBufferSize = 32768;
  enum tReplacing { Replacing };

  platform::FileHandle Handle = platform::InvalidHandle;
  std::uint8_t Buffer[kBufferSize];
  std::uint16_t Count = 0;
  bool WriteFailed = false;  // a write failed or stopped short

  explicit tFileWrite(const std::string& name);
  tFileWrite(const std::string& name, tReplacing);
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
  // Flushes and closes; the replacing form then puts the new file in place.
  // On failure the target keeps its old content and the new file is removed.
  tCommit Commit();

 private:
  std::unique_ptr<tReplacement> Replacement;  // the replacing form's new file
};

// Counts the occurrences of a pattern in the bytes put, overlapping ones
// included, with a failure table so no byte is looked at twice. The table
// holds a byte a position, so a pattern has at most kMaxPattern bytes; a
// longer one, like an empty one, disables the finder.
class tFinder final : public tCharHandler {
 public:
  std::int32_t& Found = Status;  // matches so far; -1: disabled (empty or too long a pattern)
  std::string Pattern;
  std::string Table;       // Table[q-1]: longest proper border of Pattern[1..q]
  std::int32_t Index = 1;  // 1-based position in Pattern of the next byte to compare
  static constexpr std::size_t kMaxPattern = 256;

  explicit tFinder(const std::string& pattern) { SetPattern(pattern); }

  void SetPattern(const std::string& pattern);

  void Put(std::uint8_t c) override {
    if (Status == -1) return;
    const auto m = static_cast<std::int32_t>(Pattern.size());
    for (;;) {
      if (c == static_cast<std::uint8_t>(Pattern[Index - 1])) {
        if (Index == m) {
          ++Status;
          Index = static_cast<std::uint8_t>(Table[m - 1]) + 1;
        } else {
          ++Index;
        }
        return;
      }
      if (Index == 1) return;
      Index = static_cast<std::uint8_t>(Table[Index - 2]) + 1;
    }
  }
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
