// Block decoders: the bulk of base64 decoding, runs of whole groups of four
// plain symbols (alphabet only: no "=", no foreign byte), and the line
// breaks and indentation between groups; the wide ones pass a book's
// regular lines whole. The decoder picks one when it is made and calls it at
// each run; everything else goes a symbol at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/Platform.h"
#include "textutil/Ascii.h"
#include "textutil/Base64Groups.h"

// Decodes whole groups of plain symbols from the start of in (n bytes),
// passing over white space that stands between groups, and stops at the
// first group that is not plain. Returns the input bytes used; out receives
// three bytes for each four symbols, made says how many. out has room for
// three bytes for each four of the n and sixteen more, and anything in that
// room past the bytes given may be overwritten.
using tBlockDecoder = std::size_t (*)(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made);

// How a block decoder ends once its blocks stop at used: the whole groups
// after them one at a time, as far as they go; made counts every byte out
// has received since first. Returns the input bytes used in all.
inline std::size_t GroupsToEnd(const unsigned char* in, std::size_t n, std::size_t used, const unsigned char* first,
                               unsigned char* out, std::size_t& made) {
  std::size_t tail = 0;
  used += DecodeGroups(in + used, n - used, out, tail);
  made = static_cast<std::size_t>(out - first) + tail;
  return used;
}

// The shape of a line: its symbols, then the blanks after it (one to eight
// of them, kept as bytes). Zero symbols: no shape to follow.
struct tLineShape {
  std::size_t Symbols = 0, Blanks = 0;
  std::uint64_t Ending = 0, Mask = 0;
  bool operator==(const tLineShape&) const = default;
};

inline std::uint64_t EightBytes(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The shape of the line from start to end, whose blanks run to next; none
// for a line a kWidth block cannot end.
template <std::size_t kWidth>
tLineShape ShapeOf(const unsigned char* in, std::size_t n, std::size_t start, std::size_t end, std::size_t next) {
  tLineShape shape;
  const std::size_t symbols = end - start, blanks = next - end;
  if (symbols % 4 != 0 || symbols < kWidth || blanks > 8 || n - end < 8) return shape;
  shape.Symbols = symbols;
  shape.Blanks = blanks;
  shape.Mask = ~std::uint64_t{0} >> (64 - 8 * blanks);
  shape.Ending = EightBytes(in + end) & shape.Mask;
  return shape;
}

// Lines that keep to the shapes of the last ones, first, second, first and
// so on (a book's lines are of one length, or of two that alternate), are
// decoded whole: their blocks laid end to end, the last one overlapping the
// one before it, with no search for where each line ends, which would make
// every line wait for the one before. The first line that is not plain or
// keeps to no shape is left where it starts. True when any line went.
template <std::size_t kWidth, class tBlock>
bool PassLines(const unsigned char* in, std::size_t n, std::size_t& used, unsigned char*& out, const tBlock& block,
               const tLineShape& first, const tLineShape& second) {
  const std::size_t start = used;
  for (const tLineShape* shape = &first;; shape = shape == &first ? &second : &first) {
    const std::size_t symbols = shape->Symbols;
    if (n - used < symbols + 8) break;
    const unsigned char* line = in + used;
    decltype(block(line, out)) foreign = 0;
    for (std::size_t at = 0; at + kWidth < symbols; at += kWidth) foreign |= block(line + at, out + at / 4 * 3);
    // Last: a block may write past its bytes, over what the next one gives.
    foreign |= block(line + symbols - kWidth, out + (symbols - kWidth) / 4 * 3);
    if (foreign != 0 || (EightBytes(line + symbols) & shape->Mask) != shape->Ending) break;
    used += symbols + shape->Blanks;
    out += symbols / 4 * 3;
  }
  return used != start;
}

// The loop of every wide block decoder. block(from, to) decodes the kWidth
// symbols at from into kWidth / 4 * 3 bytes at to (it may write up to kWidth
// bytes there) and gives the mask of those that are no plain symbol. The
// decoder's function inlines this and block whole (flatten), for block uses
// instructions that only that function may.
template <std::size_t kWidth, class tBlock>
std::size_t DecodeBlocks(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made,
                         const tBlock& block) {
  unsigned char* const first = out;
  std::size_t used = 0;
  std::size_t lineStart = SIZE_MAX;  // unknown until a line break is passed
  tLineShape last, beforeLast;
  while (n - used >= kWidth) {
    const auto foreign = block(in + used, out);
    if (foreign == 0) {
      used += kWidth;
      out += kWidth / 4 * 3;
      continue;
    }
    // A block that is not plain still gives its leading whole groups; a
    // line break after them is passed over.
    const auto at = static_cast<std::size_t>(std::countr_zero(foreign));
    const std::size_t end = used + at / 4 * 4;
    if (!PassBlanks(in, n, at, used, out)) break;
    const tLineShape now = lineStart == SIZE_MAX ? tLineShape{} : ShapeOf<kWidth>(in, n, lineStart, end, used);
    bool passed = false;
    if (now.Symbols != 0 && now == last) {
      passed = PassLines<kWidth>(in, n, used, out, block, now, now);
    } else if (now.Symbols != 0 && last.Symbols != 0 && now == beforeLast) {
      passed = PassLines<kWidth>(in, n, used, out, block, last, now);
    }
    beforeLast = passed ? tLineShape{} : last;
    last = passed ? tLineShape{} : now;
    lineStart = used;
  }
  // Fewer than kWidth left, or a group that is not plain: whole groups one
  // at a time, as far as they go.
  return GroupsToEnd(in, n, used, first, out, made);
}

#ifdef FB2PACK_X86_BASE64
// For the block decoders' functions: 32-bit builds keep the stack only 4-
// (Windows) or 16-byte aligned, and the vectors the compiler spills there
// must be aligned to their width, so such a function realigns it.
#if defined(__i386__)
#define FB2PACK_ALIGN_STACK __attribute__((force_align_arg_pointer))
// A decoder's first act in 32-bit builds: in the test build of the plug-in,
// a stack that is not aligned to `width` where the compiler counts on it
// (the realignment missed) stops the program.
#define FB2PACK_CHECK_STACK(width)                                                \
  do {                                                                            \
    alignas(width) volatile unsigned char probe = 0;                              \
    std::uintptr_t at = reinterpret_cast<std::uintptr_t>(&probe);                 \
    asm("" : "+r"(at)); /* the compiler would take the alignment as given */      \
    if ((at & ((width)-1)) != 0 && platform::StackCheckAsked()) __builtin_trap(); \
  } while (0)
#else
#define FB2PACK_ALIGN_STACK
#define FB2PACK_CHECK_STACK(width) ((void)0)
#endif

// Each null when the processor lacks what it needs.
// Sixteen symbols at a time with SSSE3 (x86/Base64Ssse3.cpp).
tBlockDecoder Ssse3BlockDecoder();
// Thirty-two at a time with AVX2 (x86/Base64Avx2.cpp).
tBlockDecoder Avx2BlockDecoder();
// Sixty-four at a time with AVX-512 VBMI (x86/Base64Avx512.cpp).
tBlockDecoder Avx512VbmiBlockDecoder();
#endif
