#include "textutil/Charset.h"

#include <algorithm>
#include <cstring>

#include "textutil/Ascii.h"
#include "textutil/Utf8.h"

namespace {

#include "textutil/CharsetTables.inc"

bool SameName(const std::string& value, const char* name) {
  if (value.size() != std::strlen(name)) return false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (AsciiLower(value[i]) != name[i]) return false;
  }
  return true;
}

const char16_t* UpperHalf(tCharset charset) {
  switch (charset) {
    case tCharset::Windows1250: return kWindows1250;
    case tCharset::Windows1251: return kWindows1251;
    case tCharset::Windows1252: return kWindows1252;
    case tCharset::Koi8R: return kKoi8R;
    case tCharset::Iso8859_5: return kIso8859_5;
    default: return nullptr;
  }
}

bool DecodeUtf8(const std::string& s, std::u32string& out) {
  std::u32string points;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8Length(s, i);
    if (n == 0) return false;
    auto b = static_cast<unsigned char>(s[i]);
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    points += c;
    i += n;
  }
  out += points;
  return true;
}

}  // namespace

tCharset DeclaredCharset(const char* text, std::size_t length) {
  std::string head(text, length < 256 ? length : 256);
  if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) head.erase(0, 3);
  if (head.compare(0, 5, "<?xml") != 0) return tCharset::Utf8;
  // The declaration ends at its first ">" and holds no "<": an unclosed one
  // ends before the markup after it, so that no element's bytes can decide
  // how the book is read (an edit would read it otherwise).
  head = head.substr(0, std::min(head.find("?>"), head.find_first_of("<>", 1)));
  std::size_t at = head.find("encoding");
  if (at == std::string::npos) return tCharset::Utf8;
  auto skipBlanks = [&](std::size_t from) {
    while (from < head.size() && IsBlank(static_cast<unsigned char>(head[from]))) ++from;
    return from < head.size() ? from : std::string::npos;
  };
  at = skipBlanks(at + 8);
  if (at == std::string::npos || head[at] != '=') return tCharset::Other;
  at = skipBlanks(at + 1);
  if (at == std::string::npos || (head[at] != '"' && head[at] != '\'')) return tCharset::Other;
  std::size_t end = head.find(head[at], at + 1);
  if (end == std::string::npos) return tCharset::Other;
  const std::string name = head.substr(at + 1, end - at - 1);
  static const struct {
    const char* name;
    tCharset charset;
  } kNames[] = {{"utf-8", tCharset::Utf8},
                {"utf8", tCharset::Utf8},
                {"windows-1250", tCharset::Windows1250},
                {"cp1250", tCharset::Windows1250},
                {"windows-1251", tCharset::Windows1251},
                {"cp1251", tCharset::Windows1251},
                {"windows-1252", tCharset::Windows1252},
                {"cp1252", tCharset::Windows1252},
                {"koi8-r", tCharset::Koi8R},
                {"iso-8859-1", tCharset::Iso8859_1},
                {"latin1", tCharset::Iso8859_1},
                {"iso-8859-5", tCharset::Iso8859_5}};
  for (const auto& known : kNames) {
    if (SameName(name, known.name)) return known.charset;
  }
  return tCharset::Other;
}

bool DecodeCharset(const std::string& bytes, tCharset charset, std::u32string& out) {
  if (charset == tCharset::Utf8) return DecodeUtf8(bytes, out);
  if (charset == tCharset::Other) return false;
  const char16_t* upper = UpperHalf(charset);
  std::u32string points;
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    char32_t c = b < 0x80 || upper == nullptr ? b : upper[b - 0x80];
    if (c == 0 && b != 0) return false;
    points += c;
  }
  out += points;
  return true;
}

bool EncodeUtf8(const std::u32string& points, std::string& out) {
  std::string s;
  for (char32_t c : points) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (c >> 18));
      s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out += s;
  return true;
}
