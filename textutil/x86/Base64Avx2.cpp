// Decoding thirty-two base64 symbols at a time with AVX2.
//
// The technique is that of W. Muła and D. Lemire, "Faster Base64 Encoding
// and Decoding Using AVX2 Instructions", ACM Transactions on the Web 12(3),
// 2018 (arXiv:1704.00605), at the full width it was made for. The steps are
// those of the SSSE3 decoder (Base64Ssse3.cpp), which explains the tables;
// VPSHUFB looks up within each 128-bit lane, so every table is the SSSE3
// one twice, and each lane packs its sixteen symbols into twelve bytes:
//
// 1. Classify by nibbles: a byte is a plain symbol exactly when
//    lowClass[lo] & highClass[hi] == 0.
// 2. Translate by the high nibble (shift[hi]), "/" looking up row 1.
// 3. Pack: VPMADDUBSW and VPMADDWD make a 24-bit group of each four values,
//    VPSHUFB takes each lane's twelve bytes to its front, and VPERMD joins
//    the two lanes' twelve into twenty-four.
#include <immintrin.h>

#include "textutil/Base64Blocks.h"

namespace {

__attribute__((target("avx2"), flatten)) FB2PACK_ALIGN_STACK std::size_t DecodeAvx2(const unsigned char* in,
                                                                                    std::size_t n, unsigned char* out,
                                                                                    std::size_t& made) {
  FB2PACK_CHECK_STACK(32);
  const __m256i lowClass =
      _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A,
                       0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i highClass =
      _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
                       0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m256i shift = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4, -65,
                                         -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i slash = _mm256_set1_epi8(0x2F);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i pairs = _mm256_set1_epi32(0x01400140);
  const __m256i quads = _mm256_set1_epi32(0x00011000);
  const __m256i gather = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4, 10,
                                          9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  return DecodeBlocks<32>(
      in, n, out, made, [&](const unsigned char* from, unsigned char* to) __attribute__((target("avx2"))) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
        // Masking with 0x2F keeps bit 7 clear, so the shuffles look up by the low four bits.
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(s, 4), slash);
        const __m256i low = _mm256_and_si256(s, slash);
        const __m256i cls = _mm256_and_si256(_mm256_shuffle_epi8(lowClass, low), _mm256_shuffle_epi8(highClass, high));
        const __m256i values =
            _mm256_add_epi8(s, _mm256_shuffle_epi8(shift, _mm256_add_epi8(_mm256_cmpeq_epi8(s, slash), high)));
        const __m256i groups = _mm256_madd_epi16(_mm256_maddubs_epi16(values, pairs), quads);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(groups, gather), join));
        return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(cls, zero)));
      });
}

}  // namespace

tBlockDecoder Avx2BlockDecoder() { return __builtin_cpu_supports("avx2") ? DecodeAvx2 : nullptr; }
