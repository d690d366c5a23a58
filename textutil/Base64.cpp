#include "textutil/Base64.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/Platform.h"
#include "textutil/Ascii.h"
#include "textutil/Base64Blocks.h"
#include "textutil/Base64Tables.h"

std::string EncodeBase64(const std::string& data) {
  const std::size_t n = data.size();
  if (n == 0) return {};
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  std::string out(static_cast<std::size_t>(Base64Length(n)), '\0');
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

using namespace base64;

// The block decoder of one wide path; null where the processor lacks it.
tBlockDecoder Only(tBase64Decoder::tPath path) {
#ifdef FB2PACK_X86_BASE64
  switch (path) {
    case tBase64Decoder::Ssse3: return Ssse3BlockDecoder();
    case tBase64Decoder::Avx2: return Avx2BlockDecoder();
    case tBase64Decoder::Avx512Vbmi: return Avx512VbmiBlockDecoder();
    default: break;
  }
#else
  (void)path;
#endif
  return nullptr;
}

// The widest block decoder the processor has, unless a test build asks for
// one path (or for the portable one).
tBlockDecoder ChooseWide() {
  if (const std::string asked = platform::Base64PathAsked(); !asked.empty()) {
    for (tBase64Decoder::tPath one : {tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
      if (asked == tBase64Decoder::NameOf(one)) return Only(one) ? Only(one) : DecodeGroups;
    }
    return DecodeGroups;
  }
  // AVX-512 VBMI decodes faster alone but extracts no faster than AVX2 (the
  // README's benchmarks), and costs some processors their clock speed: it is
  // there for the tests and the benchmarks.
  for (tBase64Decoder::tPath wide : {tBase64Decoder::Avx2, tBase64Decoder::Ssse3}) {
    if (const tBlockDecoder fast = Only(wide)) return fast;
  }
  return DecodeGroups;
}

tBlockDecoder ChooseBlockDecoder(tBase64Decoder::tPath path) {
  if (path == tBase64Decoder::Narrow) return DecodeGroups;
  if (path != tBase64Decoder::Wide) {
    const tBlockDecoder only = Only(path);
    return only ? only : DecodeGroups;
  }
  // Chosen once per process, as the processor and the test switch stay what
  // they are while it runs; every decoder made after takes the same.
  static const tBlockDecoder wide = ChooseWide();
  return wide;
}

}  // namespace

tBase64Decoder::tBase64Decoder(tPath path) : blocks_(ChooseBlockDecoder(path)) {}

bool tBase64Decoder::UsesWidePath() const { return blocks_ != DecodeGroups; }

bool tBase64Decoder::Available(tPath path) { return path == Wide || path == Narrow || Only(path) != nullptr; }

const char* tBase64Decoder::NameOf(tPath path) {
  switch (path) {
    case Ssse3: return "ssse3";
    case Avx2: return "avx2";
    case Avx512Vbmi: return "avx512vbmi";
    default: return "portable";
  }
}

const char* tBase64Decoder::PathName() const {
  for (tPath path : {Avx512Vbmi, Avx2, Ssse3}) {
    if (blocks_ == Only(path)) return NameOf(path);
  }
  return NameOf(Narrow);
}

void tBase64Decoder::Feed(const char* piece, std::size_t length, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + MaxOutput(length));
  out.resize(start + Feed(piece, length, out.data() + start));
}

void tBase64Decoder::SkipAfterEnd(const unsigned char* p, std::size_t n) {
  for (std::size_t k = 0; k < n && !afterEnd_; ++k) afterEnd_ = kDecode[p[k]] != kSkip;
}

namespace {

// Where the first byte stop stands in p, or n.
std::size_t StopAt(unsigned char stop, const unsigned char* p, std::size_t n) {
  const void* at = n == 0 ? nullptr : std::memchr(p, stop, n);
  return at ? static_cast<std::size_t>(static_cast<const unsigned char*>(at) - p) : n;
}

}  // namespace

std::size_t tBase64Decoder::Feed(const char* piece, std::size_t length, char* out) {
  std::size_t used = 0;
  return Decode<false>(0, reinterpret_cast<const unsigned char*>(piece), length, reinterpret_cast<unsigned char*>(out),
                       used);
}

std::size_t tBase64Decoder::FeedUpTo(char stop, const char* piece, std::size_t length, char* out, std::size_t& used) {
  return Decode<true>(static_cast<unsigned char>(stop), reinterpret_cast<const unsigned char*>(piece), length,
                      reinterpret_cast<unsigned char*>(out), used);
}

template <bool kUpTo>
std::size_t tBase64Decoder::Decode(unsigned char stop, const unsigned char* p, std::size_t length, unsigned char* out,
                                   std::size_t& used) {
  if (over_) {
    used = kUpTo ? StopAt(stop, p, length) : length;
    SkipAfterEnd(p, used);
    return 0;
  }
  unsigned char* const first = out;
  unsigned char* o = first;
  // Local copies: the compiler may keep them in registers, since the output
  // bytes cannot overwrite them.
  unsigned count = count_;
  std::uint32_t slot[4] = {slot_[0], slot_[1], slot_[2], slot_[3]};
  std::size_t i = 0;
  while (i < length) {
    // Whole groups of four plain symbols and the line breaks between them:
    // the bulk of every content. They stop at any other byte, stop included.
    if (count == 0) {
      std::size_t made = 0;
      i += blocks_(p + i, length - i, o, made);
      o += made;
      if (i >= length) break;
    }
    std::int8_t v = kDecode[p[i]];
    if (v < kPad) {
      if (kUpTo && p[i] == stop) break;
      // A line end or indentation: pass the whole run at once.
      foreign_ |= v == kForeign;
      ++i;
      while (i < length && kDecode[p[i]] < kPad && !(kUpTo && p[i] == stop)) foreign_ |= kDecode[p[i++]] == kForeign;
      continue;
    }
    ++i;
    // Slot values widened with their sign: "=" (-1) in the first two places
    // sets bits of the output instead of ending the text.
    slot[count++] = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    if (count < 4) continue;
    count = 0;
    *o++ = static_cast<unsigned char>((slot[0] << 2) | (slot[1] >> 4));
    if (slot[2] == 0xFFFFFFFFu) {
      over_ = true;
      afterEnd_ = slot[3] != 0xFFFFFFFFu;  // "QQ=a": a symbol after the padding
      break;
    }
    *o++ = static_cast<unsigned char>((slot[1] << 4) | (slot[2] >> 2));
    if (slot[3] == 0xFFFFFFFFu) {
      over_ = true;
      break;
    }
    *o++ = static_cast<unsigned char>((slot[2] << 6) | slot[3]);
  }
  if (over_) {
    const std::size_t end = kUpTo ? i + StopAt(stop, p + i, length - i) : length;
    SkipAfterEnd(p + i, end - i);
    i = end;
  }
  used = i;
  count_ = count;
  for (int k = 0; k < 4; ++k) slot_[k] = slot[k];
  return static_cast<std::size_t>(o - first);
}

std::size_t tBase64Decoder::Finish(char* out) {
  if (over_ || count_ < 2) return 0;
  over_ = true;
  auto* o = reinterpret_cast<unsigned char*>(out);
  o[0] = static_cast<unsigned char>((slot_[0] << 2) | (slot_[1] >> 4));
  // "QQ=" is padded as far as it goes: one byte, as "QQ" gives.
  if (count_ == 2 || slot_[2] == 0xFFFFFFFFu) return 1;
  o[1] = static_cast<unsigned char>((slot_[1] << 4) | (slot_[2] >> 2));
  return 2;
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  tBase64Decoder decoder;
  decoder.Feed(text.data(), text.size(), out);
  char tail[2];
  out.append(tail, decoder.Finish(tail));
  return out;
}
