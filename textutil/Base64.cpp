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

std::string DecodeBase64(const std::string& text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  // Slot values widened with their sign: "=" (-1) in the first two places
  // sets bits of the output instead of ending the text.
  std::uint32_t slot[4];
  unsigned count = 0;
  for (char ch : text) {
    std::int8_t v = kDecode[static_cast<unsigned char>(ch)];
    if (v == kSkip) continue;
    slot[count++] = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    if (count < 4) continue;
    count = 0;
    out += static_cast<char>((slot[0] << 2) | (slot[1] >> 4));
    if (slot[2] == 0xFFFFFFFFu) break;
    out += static_cast<char>((slot[1] << 4) | (slot[2] >> 2));
    if (slot[3] == 0xFFFFFFFFu) break;
    out += static_cast<char>((slot[2] << 6) | slot[3]);
  }
  return out;
}
