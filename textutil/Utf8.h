// UTF-8 as file names and books use it. Header-only, so that the
// command-line host checks names by the same rule without linking the core.
#pragma once

#include <cstddef>
#include <string_view>

// The length of the UTF-8 character that starts at s[i]; 0 when none does:
// a byte that starts none, a sequence cut short, an overlong form, a
// surrogate or a value past U+10FFFF.
inline std::size_t Utf8Length(std::string_view s, std::size_t i) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  auto cont = [&](std::size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
  const unsigned c = b(i);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(i + 1) || !cont(i + 2)) return 0;
    const unsigned d = b(i + 1);
    return (c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) ? 0 : 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    const unsigned d = b(i + 1);
    return (c == 0xF0 && d < 0x90) || (c == 0xF4 && d > 0x8F) ? 0 : 4;
  }
  return 0;
}

inline bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8Length(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}
