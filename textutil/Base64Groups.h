// The portable block decoder, which every processor has and every wide one
// ends with, and how a block decoder passes the line breaks between groups.
#pragma once

#include <cstddef>

#include "textutil/Ascii.h"

// A group at a time through tables: every processor.
std::size_t DecodeGroups(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t& made);

// Where a block decoder goes on after a block whose first byte that is no
// plain symbol stands at offset at (from in + used): past the whole groups
// before it, whose bytes out holds, and past the white space there when it
// starts at a group's boundary (a line break, the bulk of every book). False
// when decoding stops there instead.
inline bool PassBlanks(const unsigned char* in, std::size_t n, std::size_t at, std::size_t& used, unsigned char*& out) {
  used += at / 4 * 4;
  out += at / 4 * 3;
  if (at % 4 != 0 || used >= n || !IsBlank(in[used])) return false;
  do ++used;
  while (used < n && IsBlank(in[used]));
  return true;
}
