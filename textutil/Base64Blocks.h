// Block decoders: the bulk of base64 decoding, runs of whole groups of four
// plain symbols (alphabet only: no "=", no foreign byte). The decoder picks
// one when it is made and calls it at each run; everything else goes a
// symbol at a time.
#pragma once

#include <cstddef>

// Decodes whole groups of plain symbols from the start of in (n bytes) and
// stops at the first group that is not plain. Returns the input bytes used,
// a multiple of four; out receives three bytes for each four, and may be
// written up to sixteen bytes past them.
using tBlockDecoder = std::size_t (*)(const unsigned char* in, std::size_t n, unsigned char* out);

// A group at a time through tables: every processor.
std::size_t DecodeGroups(const unsigned char* in, std::size_t n, unsigned char* out);

#ifdef FB2PACK_X86_BASE64
// Sixteen symbols at a time with SSSE3; null when the processor lacks it.
tBlockDecoder Ssse3BlockDecoder();
#endif
