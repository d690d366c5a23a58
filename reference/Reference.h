// The reference: the byte-at-a-time units that the product's bulk walk is
// checked against. The differential tests, the fuzz targets and the
// micro-benchmarks build a plain walk of a book from them (a byte is put, a
// match is counted, content is collected) and compare its names, bytes and
// results with the plug-in's. The plug-in does not link them.
#pragma once

#include <cstdint>
#include <string>

#include "CharHandlers/CharHandlers.h"

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

// Counts the occurrences of a pattern in the bytes put, overlapping ones
// included, with a failure table so no byte is looked at twice. The table
// holds a byte a position, so a pattern has at most kMaxPattern bytes; a
// longer one, like an empty one, disables the finder.
class tFinder final : public tCharHandler {
 public:
  std::int32_t& Found = Status;  // matches so far; -1: disabled (empty or too long a pattern)
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

 private:
  std::string Pattern;
  std::string Table;       // Table[q-1]: longest proper border of Pattern[1..q]
  std::int32_t Index = 1;  // 1-based position in Pattern of the next byte to compare
};
