// The tables that decode base64 a symbol or a group at a time, shared by the
// decoder and the portable block decoder.
#pragma once

#include <array>
#include <cstdint>

#include "textutil/Ascii.h"
#include "textutil/Base64.h"

namespace base64 {

// Bytes that are no symbol are skipped: white space as layout, anything
// else (kForeign) as damage that the caller may report.
constexpr std::int8_t kForeign = -3;
constexpr std::int8_t kSkip = -2;
constexpr std::int8_t kPad = -1;

constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = kForeign;
  for (int c = 0; c < 256; ++c) {
    if (IsBlank(static_cast<unsigned char>(c))) t[static_cast<std::size_t>(c)] = kSkip;
  }
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

}  // namespace base64
