#include "textutil/Base64Groups.h"

#include "textutil/Base64Tables.h"

using namespace base64;

std::size_t DecodeGroups(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made) {
  unsigned char* const first = out;
  std::size_t used = 0;
  while (n - used >= 4) {
    const unsigned char* g = in + used;
    std::uint32_t v = kPlace0[g[0]] | kPlace1[g[1]] | kPlace2[g[2]] | kPlace3[g[3]];
    if (v & kNotPlain) {
      // White space, or a foreign byte or "=" (one at a time).
      if (!PassBlanks(in, n, 0, used, out)) break;
      continue;
    }
    out[0] = static_cast<unsigned char>(v >> 16);
    out[1] = static_cast<unsigned char>(v >> 8);
    out[2] = static_cast<unsigned char>(v);
    used += 4;
    out += 3;
  }
  made = static_cast<std::size_t>(out - first);
  return used;
}
