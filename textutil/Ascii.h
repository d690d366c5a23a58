// The ASCII rules that text comparisons here share: case folding of names
// (tags, attributes, encodings, extensions) and XML's white space.
#pragma once

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// XML's white space (space, tab, CR, LF), which separates a tag's name and
// attributes and lays out base64 text.
constexpr bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
