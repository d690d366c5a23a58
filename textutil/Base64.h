// Base64 as books hold it: the standard alphabet, "=" padding, and lines
// broken by CR LF where the output position (line breaks counted) passes a
// multiple of 80.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr char Base64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The alphabet's character for the low six bits of value.
inline char Base64Char(unsigned value) { return Base64Alphabet[value & 63]; }

std::string EncodeBase64(const std::string& data);

// The exact length of EncodeBase64's text for n bytes, line breaks included.
constexpr std::uint64_t Base64Length(std::uint64_t n) {
  if (n == 0) return 0;
  const std::uint64_t groups = (n + 2) / 3;
  // A break follows a line of 20 groups, another of 20, then lines of 19
  // and 20 by turns; never after the last group.
  const std::uint64_t inner = groups - 1;
  std::uint64_t breaks = inner >= 40   ? 2 + (inner - 40) / 39 * 2 + ((inner - 40) % 39 >= 19 ? 1 : 0)
                         : inner >= 20 ? 1
                                       : 0;
  return groups * 4 + breaks * 2;
}

// Never fails: foreign bytes are skipped, a group with "=" in its third or
// fourth place ends the text, and a last group of two or three symbols
// without its padding gives one or two bytes (unpadded base64); a single
// symbol left at the end gives none.
std::string DecodeBase64(const std::string& text);

// DecodeBase64 for a text that arrives in pieces: feeding the pieces one
// after another, then Finish, gives, in all, exactly the bytes DecodeBase64
// gives for the whole text. Holds at most three symbols between pieces.
class tBase64Decoder {
 public:
  // Wide decodes runs of plain symbols with the widest block decoder the
  // processor has (and a test build is not told otherwise): AVX2, else SSSE3
  // (AVX-512 VBMI is not chosen: see Base64.cpp); Narrow always goes a group
  // at a time. Ssse3, Avx2 and Avx512Vbmi ask for that decoder alone, for
  // tests and benchmarks, and go as Narrow where the processor lacks it. All
  // give the same bytes.
  enum tPath { Wide, Narrow, Ssse3, Avx2, Avx512Vbmi };
  explicit tBase64Decoder(tPath path = Wide);
  // True when this processor has what the path needs (Wide and Narrow: always).
  static bool Available(tPath path);

  // The room out needs for one piece of length bytes: the most bytes the
  // piece can complete, and a margin for whole-block stores.
  static constexpr std::size_t MaxOutput(std::size_t length) { return (length / 4 + 1) * 3 + 16; }
  // Writes the bytes the piece completes to out, which holds at least
  // MaxOutput(length) bytes (those past the result are scratch); returns
  // their number.
  std::size_t Feed(const char* piece, std::size_t length, char* out);
  // Appends the bytes the piece completes to out.
  void Feed(const char* piece, std::size_t length, std::string& out);
  // Feed for a text that ends at its first byte stop (a book's content ends
  // where markup starts), which is neither a symbol, "=" nor white space:
  // decodes the piece only up to that byte and says through used how many
  // bytes came before it (length when it holds none), so that one pass both
  // decodes the text and finds its end.
  std::size_t FeedUpTo(char stop, const char* piece, std::size_t length, char* out, std::size_t& used);
  // At the end of the text: writes the bytes of a last group left without its
  // padding (two or three symbols give one or two bytes) to out, which holds
  // at least two; returns their number.
  std::size_t Finish(char* out);
  // True when this decoder takes the wide path.
  bool UsesWidePath() const;
  // The block decoder taken: "avx512vbmi", "avx2", "ssse3" or "portable".
  const char* PathName() const;
  // The name of a path's own block decoder, as PathName gives it (Wide and
  // Narrow: "portable").
  static const char* NameOf(tPath path);
  // True once a byte other than a symbol, "=" or XML white space was fed
  // before the end of the text: the text is damaged, though what decodes is
  // still given.
  bool SawForeign() const { return foreign_; }
  // True once anything but white space followed the group that ended the
  // text (a symbol after "=" in that group included): what followed was
  // dropped, so the text is damaged.
  bool SawAfterEnd() const { return afterEnd_; }
  // True when the text fed so far ends with a single symbol of a group,
  // which can make no byte: the text was cut or damaged.
  bool LoneSymbolLeft() const { return !over_ && count_ == 1; }
  // Any of the damage above.
  bool Damaged() const { return foreign_ || afterEnd_ || LoneSymbolLeft(); }

 private:
  // Past the end of the text: notes anything but white space.
  void SkipAfterEnd(const unsigned char* p, std::size_t n);
  // Feed, or with kUpTo FeedUpTo; used: the bytes taken.
  template <bool kUpTo>
  std::size_t Decode(unsigned char stop, const unsigned char* p, std::size_t length, unsigned char* out,
                     std::size_t& used);

  std::uint32_t slot_[4] = {};
  unsigned count_ = 0;
  bool over_ = false;
  bool foreign_ = false;
  bool afterEnd_ = false;
  // The block decoder for runs of whole groups, chosen once.
  std::size_t (*blocks_)(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made);
};
