// Base64: any text decodes as the written rules say; any bytes round-trip.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "textutil/Base64.h"

namespace {

// The decoding rules, written plainly: collect the symbols, decode whole
// groups of four until one holds "=" in third or fourth place, then a last
// group of two or three symbols as one or two bytes. Damaged: a byte that is
// neither symbol, "=" nor XML white space before the end; anything but white
// space after the group that ended (a symbol after its "=" included); a
// single symbol left over.
struct tReference {
  std::string bytes;
  bool damaged = false;
};

tReference ReferenceDecode(const std::string& text) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string blanks = " \t\r\n";
  std::vector<int> symbols;
  std::vector<std::size_t> where;  // of each symbol in text
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (c == '=') {
      symbols.push_back(-1);
      where.push_back(k);
    } else if (std::size_t at = alphabet.find(c); at != std::string::npos && c != '\0') {
      symbols.push_back(static_cast<int>(at));
      where.push_back(k);
    }
  }
  tReference r;
  std::size_t i = 0;
  std::size_t endsAt = text.size();  // the text ends after this byte
  for (; i + 4 <= symbols.size(); i += 4) {
    auto s = [&](int k) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(symbols[i + k])); };
    r.bytes += static_cast<char>(((s(0) << 2) | (s(1) >> 4)) & 0xFF);
    if (symbols[i + 2] == -1) {
      r.damaged = symbols[i + 3] != -1;
      endsAt = where[i + 3];
      break;
    }
    r.bytes += static_cast<char>(((s(1) << 4) | (s(2) >> 2)) & 0xFF);
    if (symbols[i + 3] == -1) {
      endsAt = where[i + 3];
      break;
    }
    r.bytes += static_cast<char>(((s(2) << 6) | s(3)) & 0xFF);
  }
  for (std::size_t k = 0; k < text.size(); ++k) {
    const bool symbol = text[k] == '=' || (text[k] != '\0' && alphabet.find(text[k]) != std::string::npos);
    const bool blank = text[k] != '\0' && blanks.find(text[k]) != std::string::npos;
    if (k <= endsAt ? !symbol && !blank : !blank) r.damaged = true;
  }
  if (endsAt == text.size()) {
    const std::size_t left = symbols.size() - i;
    r.damaged |= left == 1;
    auto s = [&](int k) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(symbols[i + k])); };
    if (left >= 2) r.bytes += static_cast<char>(((s(0) << 2) | (s(1) >> 4)) & 0xFF);
    if (left == 3 && symbols[i + 2] != -1) r.bytes += static_cast<char>(((s(1) << 4) | (s(2) >> 2)) & 0xFF);
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string text = EncodeBase64(input);
  FUZZ_CHECK(DecodeBase64(text) == input);
  FUZZ_CHECK(text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t br = text.find("\r\n", start);
    std::size_t line = (br == std::string::npos ? text.size() : br) - start;
    FUZZ_CHECK(line <= 80 && (br == std::string::npos || line == 76 || line == 80));
    start = br == std::string::npos ? text.size() : br + 2;
  }
  const tReference expected = ReferenceDecode(input);
  FUZZ_CHECK(DecodeBase64(input) == expected.bytes);
  // The input also as pieces, cut where its own bytes say, through each
  // path, read from a copy that ends where readable memory ends.
  const fuzz::tFencedCopy fenced(data, size);
  for (auto path : {tBase64Decoder::Narrow, tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
    tBase64Decoder decoder(path);
    std::string got;
    // Pieces up to 1 KiB: runs long enough for every block decoder, and for
    // lines of one shape to follow each other.
    for (std::size_t at = 0, k = 0; at < size; ++k) {
      const std::size_t cut = data[k % size] | data[(k + 1) % size] << 8;
      std::size_t length = std::min<std::size_t>(size - at, 1 + cut % 1024);
      std::vector<char> room(tBase64Decoder::MaxOutput(length));
      std::size_t n = decoder.Feed(fenced.Data() + at, length, room.data());
      FUZZ_CHECK(n + 16 <= room.size());
      got.append(room.data(), n);
      at += length;
    }
    char tail[2];
    got.append(tail, decoder.Finish(tail));
    FUZZ_CHECK(got == expected.bytes);
    FUZZ_CHECK(decoder.Damaged() == expected.damaged);
  }
  return 0;
}
