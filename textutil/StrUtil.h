// Small byte-string routines: quotes, attribute lists and delimiters.
// Every comparison is an exact byte comparison; NUL is an ordinary byte.
#pragma once

#include <string>
#include <string_view>

// The bytes between an opening quote (' or ") and the last occurrence of that
// same quote byte; s unchanged when it does not start with a quote.
std::string Unquote(const std::string& s);

// The value of the first line "key=value" with a non-empty value in a list of
// CR LF separated lines; empty when there is none.
std::string ValueOf(const std::string& list, const std::string& key);

// Offset of the name part of a path: the byte after the last of the given
// separator bytes, skipping trail bytes of double-byte characters.
std::size_t NameStart(const std::string& path, std::string_view separators);
