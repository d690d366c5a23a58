// Block decoders: the bulk of base64 decoding, runs of whole groups of four
// plain symbols (alphabet only: no "=", no foreign byte). The decoder picks
// one when it is made and calls it at each run; everything else goes a
// symbol at a time.
#pragma once

#include <cstddef>

// Decodes whole groups of plain symbols from the start of in (n bytes) and
// stops at the first group that is not plain. Returns the input bytes used,
// a multiple of four; out receives three bytes for each four. out has room
// for three bytes for each four of the n and sixteen more, and anything in
// that room past the bytes given may be overwritten.
using tBlockDecoder = std::size_t (*)(const unsigned char* in, std::size_t n, unsigned char* out);

// A group at a time through tables: every processor.
std::size_t DecodeGroups(const unsigned char* in, std::size_t n, unsigned char* out);

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
