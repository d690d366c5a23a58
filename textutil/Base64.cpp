#include "textutil/Base64.h"

#include <array>
#include <cstdint>

const char Base64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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
  constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  t['='] = kPad;
  return t;
}

constexpr std::array<std::int8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

void tBase64Decoder::Feed(const char* piece, std::size_t length, std::string& out) {
  if (over_ || length == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(piece);
  std::size_t start = out.size();
  out.resize(start + (length / 4 + 1) * 3);
  auto* o = reinterpret_cast<unsigned char*>(out.data()) + start;
  std::size_t i = 0;
  while (i < length) {
    // Whole groups of four plain symbols, the bulk of every line.
    while (count_ == 0 && length - i >= 4) {
      std::int8_t a = kDecode[p[i]], b = kDecode[p[i + 1]], c = kDecode[p[i + 2]], d = kDecode[p[i + 3]];
      if ((a | b | c | d) < 0) break;  // a foreign byte or "=": one at a time below
      std::uint32_t v = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12) |
                        (static_cast<std::uint32_t>(c) << 6) | static_cast<std::uint32_t>(d);
      o[0] = static_cast<unsigned char>(v >> 16);
      o[1] = static_cast<unsigned char>(v >> 8);
      o[2] = static_cast<unsigned char>(v);
      o += 3;
      i += 4;
    }
    if (i >= length) break;
    std::int8_t v = kDecode[p[i++]];
    if (v == kSkip) continue;
    // Slot values widened with their sign: "=" (-1) in the first two places
    // sets bits of the output instead of ending the text.
    slot_[count_++] = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    if (count_ < 4) continue;
    count_ = 0;
    *o++ = static_cast<unsigned char>((slot_[0] << 2) | (slot_[1] >> 4));
    if (slot_[2] == 0xFFFFFFFFu) {
      over_ = true;
      break;
    }
    *o++ = static_cast<unsigned char>((slot_[1] << 4) | (slot_[2] >> 2));
    if (slot_[3] == 0xFFFFFFFFu) {
      over_ = true;
      break;
    }
    *o++ = static_cast<unsigned char>((slot_[2] << 6) | slot_[3]);
  }
  out.resize(static_cast<std::size_t>(o - reinterpret_cast<unsigned char*>(out.data())));
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  tBase64Decoder decoder;
  decoder.Feed(text.data(), text.size(), out);
  return out;
}
