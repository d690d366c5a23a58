// Decoding sixty-four base64 symbols at a time with AVX-512 VBMI.
//
// The technique is the one W. Muła and D. Lemire give for AVX-512 VBMI in
// "Base64 encoding and decoding at almost the speed of a memory copy",
// Software: Practice and Experience 50(2), 2020 (arXiv:1910.05109). VBMI's
// byte permutes look up across the whole register, so no nibble tricks are
// needed:
//
// 1. Translate: VPERMI2B looks up each byte's low seven bits in a table of
//    128 entries (two registers): the symbol's value, or 0x80 for a byte that
//    is no plain symbol ("=" included). A byte is a plain symbol exactly
//    when neither it nor its value has bit 7 set.
// 2. Pack: VPMADDUBSW with 0x40,0x01 joins each pair of 6-bit values into 12
//    bits, VPMADDWD with 0x1000,0x0001 each pair of those into a 24-bit group,
//    and VPERMB takes each group's three bytes in order: 48 bytes, stored
//    under a mask, so nothing past them is written.
#include <immintrin.h>

#include <cstdint>

#include "textutil/Base64Blocks.h"

namespace {

// The value of each of the 128 ASCII bytes, or 0x80 for one that is no
// plain symbol.
struct tValues {
  alignas(64) std::int8_t Of[128];
};

constexpr tValues MakeValues() {
  tValues t{};
  for (int c = 0; c < 128; ++c) {
    t.Of[c] = c >= 'A' && c <= 'Z'   ? static_cast<std::int8_t>(c - 'A')
              : c >= 'a' && c <= 'z' ? static_cast<std::int8_t>(c - 'a' + 26)
              : c >= '0' && c <= '9' ? static_cast<std::int8_t>(c - '0' + 52)
              : c == '+'             ? std::int8_t{62}
              : c == '/'             ? std::int8_t{63}
                                     : static_cast<std::int8_t>(0x80);
  }
  return t;
}

constexpr tValues kValues = MakeValues();

__attribute__((target("avx512f,avx512bw,avx512vbmi"), flatten)) FB2PACK_ALIGN_STACK std::size_t DecodeAvx512(
    const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made) {
  FB2PACK_CHECK_STACK(64);
  const __m512i lookupLow = _mm512_load_si512(kValues.Of);
  const __m512i lookupHigh = _mm512_load_si512(kValues.Of + 64);
  const __m512i pairs = _mm512_set1_epi32(0x01400140);
  const __m512i quads = _mm512_set1_epi32(0x00011000);
  // Byte 3k, 3k+1, 3k+2 of the output: bytes 2, 1, 0 of group k.
  alignas(64) static constexpr std::uint8_t kGather[64] = {
      2,  1,  0,  6,  5,  4,  10, 9,  8,  14, 13, 12, 18, 17, 16, 22, 21, 20, 26, 25, 24, 30,
      29, 28, 34, 33, 32, 38, 37, 36, 42, 41, 40, 46, 45, 44, 50, 49, 48, 54, 53, 52, 58, 57,
      56, 62, 61, 60, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0};
  const __m512i gather = _mm512_load_si512(kGather);
  return DecodeBlocks<64>(
      in, n, out,
      made, [&](const unsigned char* from, unsigned char* to) __attribute__((target("avx512f,avx512bw,avx512vbmi"))) {
        const __m512i s = _mm512_loadu_si512(from);
        const __m512i values = _mm512_permutex2var_epi8(lookupLow, s, lookupHigh);
        const __m512i groups = _mm512_madd_epi16(_mm512_maddubs_epi16(values, pairs), quads);
        // The zeroing form: the plain one trips a false "uninitialized" warning in GCC 12.
        const __m512i bytes = _mm512_maskz_permutexvar_epi8(~std::uint64_t{0}, gather, groups);
        _mm512_mask_storeu_epi8(to, (std::uint64_t{1} << 48) - 1, bytes);
        return static_cast<std::uint64_t>(_mm512_movepi8_mask(_mm512_or_si512(values, s)));
      });
}

}  // namespace

tBlockDecoder Avx512VbmiBlockDecoder() {
  return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw") ? DecodeAvx512 : nullptr;
}
