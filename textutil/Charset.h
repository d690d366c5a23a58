// The encodings a book may declare, and the code points of its bytes.
#pragma once

#include <cstddef>
#include <string>

enum class tCharset { Utf8, Windows1250, Windows1251, Windows1252, Koi8R, Iso8859_1, Iso8859_5, Other };

// The encoding the XML declaration at the start of text names: UTF-8 when
// there is no declaration or it names none; Other for one not known here.
tCharset DeclaredCharset(const char* text, std::size_t length);

// Appends the code points of bytes, read in charset, to out; false (out
// unchanged) when some byte or sequence means no character there.
bool DecodeCharset(const std::string& bytes, tCharset charset, std::u32string& out);

// Code points as UTF-8; false (out unchanged) for a surrogate or a value
// past U+10FFFF.
bool EncodeUtf8(const std::u32string& points, std::string& out);
