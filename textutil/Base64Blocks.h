// Block decoders: the bulk of base64 decoding, runs of whole groups of four
// plain symbols (alphabet only: no "=", no foreign byte), and the line
// breaks and indentation between groups. The decoder picks one when it is
// made and calls it at each run; everything else goes a symbol at a time.
#pragma once

#include <cstddef>

#include "textutil/Ascii.h"

// Decodes whole groups of plain symbols from the start of in (n bytes),
// passing over white space that stands between groups, and stops at the
// first group that is not plain. Returns the input bytes used; out receives
// three bytes for each four symbols, made says how many. out has room for
// three bytes for each four of the n and sixteen more, and anything in that
// room past the bytes given may be overwritten.
using tBlockDecoder = std::size_t (*)(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made);

// A group at a time through tables: every processor.
std::size_t DecodeGroups(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made);

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

// Where a block decoder goes on after a block whose first byte that is no
// plain symbol stands at offset at (from in + used): past the whole groups
// before it, whose bytes out holds, and past the white space there when it
// starts at a group's boundary (a line break, the bulk of every book). False
// when decoding stops there instead.
inline bool PassBlanks(const unsigned char* in, std::size_t n, std::size_t at, std::size_t& used, unsigned char*& out) {
  used += at / 4 * 4;
  out += at / 4 * 3;
  if (at % 4 != 0 || used >= n || !IsBlank(in[used])) return false;
  do ++used;
  while (used < n && IsBlank(in[used]));
  return true;
}

#ifdef FB2PACK_X86_BASE64
// For the block decoders' functions: 32-bit builds keep the stack only 4-
// (Windows) or 16-byte aligned, and the vectors the compiler spills there
// must be aligned to their width, so such a function realigns it.
#if defined(__i386__)
#define FB2PACK_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define FB2PACK_ALIGN_STACK
#endif

// Each null when the processor lacks what it needs.
// Sixteen symbols at a time with SSSE3 (x86/Base64Ssse3.cpp).
tBlockDecoder Ssse3BlockDecoder();
// Thirty-two at a time with AVX2 (x86/Base64Avx2.cpp).
tBlockDecoder Avx2BlockDecoder();
// Sixty-four at a time with AVX-512 VBMI (x86/Base64Avx512.cpp).
tBlockDecoder Avx512VbmiBlockDecoder();
#endif
