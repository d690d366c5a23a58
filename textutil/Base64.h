// Base64 as books hold it: the standard alphabet, "=" padding, and lines
// broken by CR LF where the output position (line breaks counted) passes a
// multiple of 80.
#pragma once

#include <string>

extern const char Base64Alphabet[65];

// The alphabet's character for the low six bits of value.
inline char Base64Char(unsigned value) { return Base64Alphabet[value & 63]; }

std::string EncodeBase64(const std::string& data);

// Never fails: foreign bytes are skipped, an incomplete last group is
// dropped, and a group with "=" in its third or fourth place ends the text.
std::string DecodeBase64(const std::string& text);
