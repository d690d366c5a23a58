// Decoding sixteen base64 symbols at a time with SSSE3 byte shuffles.
//
// The technique is that of W. Muła and D. Lemire, "Faster Base64 Encoding
// and Decoding Using AVX2 Instructions", ACM Transactions on the Web 12(3),
// 2018 (arXiv:1704.00605), narrowed here to 128-bit registers. It rests on
// PSHUFB acting as a 16-entry table lookup indexed by a byte's low nibble:
//
// 1. Classify by nibbles. Each symbol class owns a bit; lowClass[lo] holds the
//    bits of the high nibbles with which lo does NOT make a symbol, and
//    highClass[hi] the bit of hi's row. A byte is a plain symbol exactly
//    when lowClass[lo] & highClass[hi] == 0:
//      hi 2 (0x01): only "+" (lo B) and "/" (lo F) are symbols
//      hi 3 (0x02): "0".."9" (lo 0..9); "=" (lo D) is not plain
//      hi 4, 6 (0x04): "A".."O", "a".."o" (lo 1..F); "@" and "`" are not
//      hi 5, 7 (0x08): "P".."Z", "p".."z" (lo 0..A)
//      hi 0, 1, 8..F (0x10): nothing, so every lowClass entry has 0x10.
// 2. Translate by the high nibble alone: within one row every symbol is
//    its value plus a constant (shift[hi]): "A" 65 -> 0 is -65, "a" 97 -> 26
//    is -71, "0" 48 -> 52 is +4, "+" 43 -> 62 is +19. "/" 47 -> 63 shares
//    row 2 with "+", so it looks up row 1 instead (+16), by adding the
//    all-ones mask of a compare with "/" to the index.
// 3. Pack: PMADDUBSW with 0x40,0x01 joins each pair of 6-bit values into 12
//    bits, PMADDWD with 0x1000,0x0001 each pair of those into a 24-bit group,
//    and a last shuffle takes each group's three bytes in order.
#include <immintrin.h>

#include "textutil/Base64Blocks.h"

namespace {

__attribute__((target("ssse3"), flatten)) FB2PACK_ALIGN_STACK std::size_t DecodeSsse3(const unsigned char* in,
                                                                                      std::size_t n, unsigned char* out,
                                                                                      std::size_t& made) {
  FB2PACK_CHECK_STACK(16);
  const __m128i lowClass =
      _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i highClass =
      _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m128i shift = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i slash = _mm_set1_epi8(0x2F);
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairs = _mm_set1_epi32(0x01400140);
  const __m128i quads = _mm_set1_epi32(0x00011000);
  const __m128i gather = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  return DecodeBlocks<16>(
      in, n, out, made, [&](const unsigned char* from, unsigned char* to) __attribute__((target("ssse3"))) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        // Masking with 0x2F keeps bit 7 clear, so the shuffles look up by the low four bits.
        const __m128i high = _mm_and_si128(_mm_srli_epi32(s, 4), slash);
        const __m128i low = _mm_and_si128(s, slash);
        const __m128i cls = _mm_and_si128(_mm_shuffle_epi8(lowClass, low), _mm_shuffle_epi8(highClass, high));
        const __m128i values = _mm_add_epi8(s, _mm_shuffle_epi8(shift, _mm_add_epi8(_mm_cmpeq_epi8(s, slash), high)));
        const __m128i groups = _mm_madd_epi16(_mm_maddubs_epi16(values, pairs), quads);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_shuffle_epi8(groups, gather));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(cls, zero)));
      });
}

}  // namespace

tBlockDecoder Ssse3BlockDecoder() { return __builtin_cpu_supports("ssse3") ? DecodeSsse3 : nullptr; }
