#include "textutil/Base64.h"

#include <array>
#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define FB2PACK_WIDE_BASE64 1
#endif

std::string EncodeBase64(const std::string& data) {
  const std::size_t n = data.size();
  if (n == 0) return {};
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t chars = (n + 2) / 3 * 4;
  // Every line but the last holds at least 76 characters.
  std::string out(chars + 2 * (chars / 76 + 1), '\0');
  char* o = out.data();
  std::size_t written = 0;
  std::size_t i = 0;
  // Every group but the last, which always holds the final input byte and is
  // never followed by a line break.
  for (; i + 3 < n; i += 3) {
    unsigned b1 = in[i], b2 = in[i + 1], b3 = in[i + 2];
    o[written++] = Base64Char(b1 >> 2);
    o[written++] = Base64Char((b1 << 4) | (b2 >> 4));
    o[written++] = Base64Char((b2 << 2) | (b3 >> 6));
    o[written++] = Base64Char(b3);
    if ((written + 1) % 80 < 4) {  // written + 1 is the next output position
      o[written++] = '\r';
      o[written++] = '\n';
    }
  }
  unsigned b1 = in[i];
  o[written++] = Base64Char(b1 >> 2);
  if (n - i == 1) {
    o[written++] = Base64Char(b1 << 4);
    o[written++] = '=';
    o[written++] = '=';
  } else {
    unsigned b2 = in[i + 1];
    o[written++] = Base64Char((b1 << 4) | (b2 >> 4));
    if (n - i == 2) {
      o[written++] = Base64Char(b2 << 2);
      o[written++] = '=';
    } else {
      unsigned b3 = in[i + 2];
      o[written++] = Base64Char((b2 << 2) | (b3 >> 6));
      o[written++] = Base64Char(b3);
    }
  }
  out.resize(written);
  return out;
}

namespace {

constexpr std::int8_t kSkip = -2;
constexpr std::int8_t kPad = -1;

constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = kSkip;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(Base64Alphabet[i])] = static_cast<std::int8_t>(i);
  t['='] = kPad;
  return t;
}

constexpr std::array<std::int8_t, 256> kDecode = MakeDecodeTable();

// The symbol values already shifted into place for each of the four places
// of a group, with the top bit set for every byte that is not a plain symbol,
// so one OR of four lookups both decodes a group and tells whether it can.
constexpr std::uint32_t kNotPlain = 0x80000000u;

constexpr std::array<std::uint32_t, 256> MakeShifted(int shift) {
  std::array<std::uint32_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    std::int8_t v = kDecode[static_cast<std::size_t>(c)];
    t[static_cast<std::size_t>(c)] = v < 0 ? kNotPlain : static_cast<std::uint32_t>(v) << shift;
  }
  return t;
}

constexpr std::array<std::uint32_t, 256> kPlace0 = MakeShifted(18), kPlace1 = MakeShifted(12), kPlace2 = MakeShifted(6),
                                         kPlace3 = MakeShifted(0);

#ifdef FB2PACK_WIDE_BASE64

bool WideAvailable() {
  static const bool available = __builtin_cpu_supports("ssse3");
  return available;
}

// 32-bit Windows keeps the stack only 4-byte aligned, and vector values the
// compiler spills there must be 16-byte aligned.
#if defined(__i386__)
#define FB2PACK_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define FB2PACK_ALIGN_STACK
#endif

// Decodes blocks of sixteen plain symbols (no foreign byte, no "=") from the
// start of in, and of the first block that is not plain, its leading whole
// groups. Returns the input bytes used, a multiple of four; out receives
// three bytes for each four of them, and up to sixteen bytes are stored.
__attribute__((target("ssse3"))) FB2PACK_ALIGN_STACK std::size_t DecodeWide(const unsigned char* in, std::size_t n,
                                                                            unsigned char* out) {
  // Classification by nibbles: a byte is a plain symbol exactly when the
  // entries for its low and its high nibble share no bit.
  const __m128i lowClass =
      _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i highClass =
      _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  // What to add to a symbol to get its value, by high nibble ("/" moved to 1).
  const __m128i shift = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i slash = _mm_set1_epi8(0x2F);
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairs = _mm_set1_epi32(0x01400140);
  const __m128i quads = _mm_set1_epi32(0x00011000);
  const __m128i gather = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  std::size_t used = 0;
  while (n - used >= 16) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + used));
    // Masking with 0x2F keeps bit 7 clear, so the shuffles look up by the low four bits.
    __m128i high = _mm_and_si128(_mm_srli_epi32(s, 4), slash);
    __m128i low = _mm_and_si128(s, slash);
    __m128i cls = _mm_and_si128(_mm_shuffle_epi8(lowClass, low), _mm_shuffle_epi8(highClass, high));
    unsigned foreign = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(cls, zero)));
    __m128i values = _mm_add_epi8(s, _mm_shuffle_epi8(shift, _mm_add_epi8(_mm_cmpeq_epi8(s, slash), high)));
    // Six-bit values to 24-bit groups, then the groups' bytes in order.
    __m128i groups = _mm_madd_epi16(_mm_maddubs_epi16(values, pairs), quads);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(groups, gather));
    if (foreign != 0) return used + static_cast<std::size_t>(__builtin_ctz(foreign) / 4 * 4);
    used += 16;
    out += 12;
  }
  return used;
}

#else

bool WideAvailable() { return false; }

std::size_t DecodeWide(const unsigned char*, std::size_t, unsigned char*) { return 0; }

#endif

}  // namespace

tBase64Decoder::tBase64Decoder(tPath path) : wide_(path == Wide && WideAvailable()) {}

void tBase64Decoder::Feed(const char* piece, std::size_t length, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + MaxOutput(length));
  out.resize(start + Feed(piece, length, out.data() + start));
}

std::size_t tBase64Decoder::Feed(const char* piece, std::size_t length, char* out) {
  if (over_ || length == 0) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(piece);
  auto* const first = reinterpret_cast<unsigned char*>(out);
  auto* o = first;
  // Local copies: the compiler may keep them in registers, since the output
  // bytes cannot overwrite them.
  unsigned count = count_;
  std::uint32_t slot[4] = {slot_[0], slot_[1], slot_[2], slot_[3]};
  std::size_t i = 0;
  while (i < length) {
    // Whole groups of four plain symbols, the bulk of every line.
    if (count == 0) {
      // The wide path has taken every whole group it could unless fewer
      // than sixteen bytes remain.
      if (wide_) {
        std::size_t used = DecodeWide(p + i, length - i, o);
        i += used;
        o += used / 4 * 3;
      }
      while ((!wide_ || length - i < 16) && length - i >= 4) {
        std::uint32_t v = kPlace0[p[i]] | kPlace1[p[i + 1]] | kPlace2[p[i + 2]] | kPlace3[p[i + 3]];
        if (v & kNotPlain) break;  // a foreign byte or "=": one at a time below
        o[0] = static_cast<unsigned char>(v >> 16);
        o[1] = static_cast<unsigned char>(v >> 8);
        o[2] = static_cast<unsigned char>(v);
        o += 3;
        i += 4;
      }
      if (i >= length) break;
    }
    std::int8_t v = kDecode[p[i++]];
    if (v == kSkip) {
      // A line end or indentation: pass the whole run at once.
      while (i < length && kDecode[p[i]] == kSkip) ++i;
      continue;
    }
    // Slot values widened with their sign: "=" (-1) in the first two places
    // sets bits of the output instead of ending the text.
    slot[count++] = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    if (count < 4) continue;
    count = 0;
    *o++ = static_cast<unsigned char>((slot[0] << 2) | (slot[1] >> 4));
    if (slot[2] == 0xFFFFFFFFu) {
      over_ = true;
      break;
    }
    *o++ = static_cast<unsigned char>((slot[1] << 4) | (slot[2] >> 2));
    if (slot[3] == 0xFFFFFFFFu) {
      over_ = true;
      break;
    }
    *o++ = static_cast<unsigned char>((slot[2] << 6) | slot[3]);
  }
  count_ = count;
  for (int k = 0; k < 4; ++k) slot_[k] = slot[k];
  return static_cast<std::size_t>(o - first);
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  tBase64Decoder decoder;
  decoder.Feed(text.data(), text.size(), out);
  return out;
}
