#include "format/EntryName.h"

#include <cstring>

#include "format/BookFormat.h"
#include "format/StartTag.h"
#include "platform/Platform.h"

namespace {

// Control characters (C0, DEL and C1) and what XML 1.0 holds no character
// for: no name shows them and no id is written with them.
bool IsUnnameable(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF ||
         c > 0x10FFFF;
}

// One character in UTF-8; "_" for one that names nothing.
std::string InUtf8Name(char32_t c) {
  std::string out;
  if (IsUnnameable(c) || !EncodeUtf8(std::u32string(1, c), out)) out = "_";
  return out;
}

// One character in the system's file-name encoding; "_" when it has none.
std::string InFileNameEncoding(char32_t c) {
  std::string out;
  if (IsUnnameable(c)) {
    out = "_";
  } else if (platform::FileNamesAreUtf8()) {
    if (!EncodeUtf8(std::u32string(1, c), out)) out = "_";
  } else {
    out = platform::UnicodeToAnsi(c);
    if (out.empty()) out = "_";
  }
  return out;
}

// Appends the byte of a predefined reference (&amp; &lt; &gt; &quot; &apos;)
// at s[i] and gives its length; 0 when none stands there.
std::size_t PredefinedReference(const std::string& s, std::size_t i, std::string& out) {
  static const struct {
    const char* ref;
    std::size_t length;
    char byte;
  } kRefs[] = {{"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};
  for (const auto& r : kRefs) {
    if (s.compare(i, r.length, r.ref) == 0) {
      out += r.byte;
      return r.length;
    }
  }
  return 0;
}

// The value of a numeric reference "&#N;" or "&#xH;" at s[i], and its length;
// 0 when none stands there.
std::size_t NumericReference(const std::string& s, std::size_t i, char32_t& c) {
  if (s.compare(i, 2, "&#") != 0) return 0;
  std::size_t at = i + 2;
  const bool hex = at < s.size() && (s[at] == 'x' || s[at] == 'X');
  if (hex) ++at;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (; at < s.size() && digits < 8; ++at, ++digits) {
    char d = s[at];
    int v = d >= '0' && d <= '9'          ? d - '0'
            : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
            : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                          : -1;
    if (v < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
  }
  if (digits == 0 || at >= s.size() || s[at] != ';' || value == 0 || value > 0x10FFFF) return 0;
  c = value;
  return at + 1 - i;
}

// An id's bytes read in the book's encoding, its references decoded: each
// character goes through put; a run of bytes at or above 0x80 that means no
// character, or that needs no decoding (asIs), is kept as it stands.
template <class tPut>
std::string DecodeId(const std::string& id, tCharset charset, bool asIs, tPut put) {
  std::string out;
  for (std::size_t i = 0; i < id.size();) {
    auto b = static_cast<unsigned char>(id[i]);
    char32_t c = 0;
    if (std::size_t n = b == '&' ? NumericReference(id, i, c) : 0; n > 0) {
      out += put(c);
      i += n;
    } else if (std::size_t m = b == '&' ? PredefinedReference(id, i, out) : 0; m > 0) {
      i += m;
    } else if (b < 0x80) {
      out += id[i++];
    } else {
      std::size_t end = i;
      while (end < id.size() && static_cast<unsigned char>(id[end]) >= 0x80) ++end;
      const std::string run = id.substr(i, end - i);
      std::u32string points;
      if (asIs || !DecodeCharset(run, charset, points)) {
        out += run;
      } else {
        for (char32_t p : points) out += put(p);
      }
      i = end;
    }
  }
  return out;
}

// An id's bytes, read in the book's encoding, in the file-name encoding (or
// in UTF-8).
std::string InFileNames(const std::string& id, tCharset charset, bool unicode) {
  if (unicode) return DecodeId(id, charset, charset == tCharset::Utf8, InUtf8Name);
  return DecodeId(id, charset, charset == tCharset::Utf8 && platform::FileNamesAreUtf8(), InFileNameEncoding);
}

}  // namespace

std::string IdInUtf8(const std::string& id, tCharset charset) {
  return DecodeId(id, charset, charset == tCharset::Utf8, [](char32_t c) {
    std::string out;
    EncodeUtf8(std::u32string(1, c), out);
    return out;
  });
}

std::string DoubleQuotedId(const std::string& id) {
  std::string out;
  out.reserve(id.size());
  for (char c : id) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ReportedName(const std::string& id, tCharset charset, bool unicode) {
  const bool utf8 = unicode || platform::FileNamesAreUtf8();
  std::string name = InFileNames(id, charset, unicode);
  if (utf8) {
    // C1 controls that stood in the book as UTF-8, as "_" (the others were
    // decoded one by one).
    std::size_t to = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
      const bool c1 = name[i] == '\xC2' && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
                      static_cast<unsigned char>(name[i + 1]) <= 0x9F;
      name[to++] = c1 ? '_' : name[i];
      if (c1) ++i;
    }
    name.resize(to);
  }
  // A device's name cannot name a file: it is shown after a "_".
  if (!name.empty() && platform::IsDeviceName(name)) name.insert(0, 1, '_');
  name.resize(FitName(name, kMaxReportedName, unicode));
  bool dotsOnly = true;
  for (char& c : name) {
    auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 0x7F || c == '\\' || c == '/' || c == ':') c = '_';
    if (c != '.') dotsOnly = false;
  }
  // "." and ".." would name the destination folder or its parent.
  if (dotsOnly) {
    for (char& c : name) c = '_';
  }
  return name;
}

std::string ReportedNameOf(std::string_view tagText, tCharset charset) {
  return ReportedName(ReadStartTag(tagText).Id, charset);
}

std::size_t FitName(const std::string& name, std::size_t max, bool unicode) {
  if (name.size() <= max) return name.size();
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(name[i]); };
  if (unicode || platform::FileNamesAreUtf8()) {
    // Back to the first byte of the character that would be cut; bytes that
    // are no UTF-8 are cut where they stand.
    std::size_t cut = max;
    for (int k = 0; k < 3 && cut > 0 && (byte(cut) & 0xC0) == 0x80; ++k) --cut;
    return byte(cut) >= 0xC0 ? cut : max;
  }
  std::size_t cut = 0;
  for (;;) {
    const std::size_t step = platform::IsLeadByte(byte(cut)) && cut + 1 < name.size() ? 2 : 1;
    if (cut + step > max) return cut;
    cut += step;
  }
}

std::string tEntryNames::Key(const std::string& name) const {
  return unicode_ ? platform::Utf8FileNameKey(name) : platform::FileNameKey(name);
}

std::size_t tEntryNames::Fit(const std::string& name, std::size_t max) const { return FitName(name, max, unicode_); }

std::string tEntryNames::Take(const std::string& reported) {
  if (taken_.insert(Key(reported)).second) return reported;
  // The extension is what follows the last dot, unless that dot starts the
  // name; one too long to keep beside a number is left in the stem.
  std::size_t dot = reported.rfind('.');
  if (dot == 0 || dot == std::string::npos || reported.size() - dot > kMaxReportedName / 2) dot = reported.size();
  const std::string stem = reported.substr(0, dot);
  const std::string_view extension = std::string_view(reported).substr(dot);
  auto numbered = [&](std::uint32_t n) {
    const std::string number = std::to_string(n);
    const std::size_t tail = number.size() + 3 + extension.size();
    const std::size_t keep = Fit(stem, kMaxReportedName - tail);
    std::string name;
    name.reserve(keep + tail);
    name.append(stem, 0, keep).append(" (").append(number).append(")").append(extension);
    return name;
  };
  // Numbering goes on where it stopped, so a book that repeats one id
  // thousands of times is named in time proportional to its size. Names
  // numbered alike (the same "(2)" name: stems cut alike to fit) share one
  // count, so no crafted set of long ids can make it start again either.
  std::uint32_t*& count = countOf_[reported];
  if (count == nullptr) count = &next_.try_emplace(Key(numbered(2)), 2).first->second;
  for (std::uint32_t& n = *count;; ++n) {
    std::string name = numbered(n);
    if (taken_.insert(Key(name)).second) {
      ++n;
      return name;
    }
  }
}

bool WrittenId(const std::string& fileName, std::string& out) {
  std::u32string points;
  bool decoded = platform::FileNamesAreUtf8() ? DecodeCharset(fileName, tCharset::Utf8, points)
                                              : platform::AnsiToUnicode(fileName, points);
  out.clear();
  return decoded && WrittenIdOf(points, out);
}

namespace {

struct tPointRange {
  char32_t From, To;
};

// Letters outside ASCII that start an XML name in every edition of XML 1.0
// (the scripts books are written in: Latin, Greek, Cyrillic, Armenian,
// Hebrew, Arabic, Devanagari, Thai, Georgian, kana, Hangul, CJK).
constexpr tPointRange kNameLetters[] = {
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x131},    {0x134, 0x13E},   {0x141, 0x148},   {0x14A, 0x17E},
    {0x180, 0x1C3},   {0x1CD, 0x1F0},   {0x1F4, 0x1F5},   {0x1FA, 0x217},   {0x250, 0x2A8},   {0x386, 0x386},
    {0x388, 0x38A},   {0x38C, 0x38C},   {0x38E, 0x3A1},   {0x3A3, 0x3CE},   {0x3D0, 0x3D6},   {0x401, 0x40C},
    {0x40E, 0x44F},   {0x451, 0x45C},   {0x45E, 0x481},   {0x490, 0x4C4},   {0x4C7, 0x4C8},   {0x4CB, 0x4CC},
    {0x4D0, 0x4EB},   {0x4EE, 0x4F5},   {0x4F8, 0x4F9},   {0x531, 0x556},   {0x561, 0x586},   {0x5D0, 0x5EA},
    {0x621, 0x63A},   {0x641, 0x64A},   {0x905, 0x939},   {0xE01, 0xE2E},   {0x10A0, 0x10C5}, {0x10D0, 0x10F6},
    {0x1E00, 0x1E9B}, {0x1EA0, 0x1EF9}, {0x3007, 0x3007}, {0x3021, 0x3029}, {0x3041, 0x3094}, {0x30A1, 0x30FA},
    {0x3105, 0x312C}, {0x4E00, 0x9FA5}, {0xAC00, 0xD7A3}};
// What may follow the first character besides letters: the middle dot and
// combining marks (a name spelt in decomposed form).
constexpr tPointRange kNameMarks[] = {{0xB7, 0xB7}, {0x300, 0x345}, {0x360, 0x361}, {0x483, 0x486}};

template <std::size_t N>
bool In(const tPointRange (&ranges)[N], char32_t c) {
  for (const tPointRange& r : ranges) {
    if (c >= r.From && c <= r.To) return true;
  }
  return false;
}

// Whether c may start an id (an XML name without a colon), and whether it
// may stand in one.
bool StartsId(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || In(kNameLetters, c);
}
bool StandsInId(char32_t c) {
  return StartsId(c) || (c >= '0' && c <= '9') || c == '.' || c == '-' || In(kNameMarks, c);
}

}  // namespace

bool WrittenIdOf(const std::u32string& points, std::string& out) {
  out.clear();
  // An id is an XML ID, as editors write them: readers and the schema take
  // nothing else. "1.png" becomes "_1.png", "my cover.png" "my_cover.png".
  if (!points.empty() && !StartsId(points[0]) && StandsInId(points[0])) out += '_';
  for (char32_t c : points) {
    if (!StandsInId(c)) {
      out += '_';
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      // A reference reads right in whatever encoding the book declares.
      out += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ";";
    }
  }
  return true;
}
