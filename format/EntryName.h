// How an entry is named: the one reading of a start tag that the listing
// reports, and that deletion and replacement compare against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "textutil/Charset.h"

inline constexpr std::size_t kMaxReportedName = 259;

// The name a host is shown for an element whose start tag has the given id
// (as ReadStartTag gives it): the id in the file-name encoding of the system
// (UTF-8, or the ANSI code page on Windows), its bytes read in the book's
// encoding and its XML references, numeric ones too, decoded; a character the
// system cannot write becomes "_", and so do control characters (DEL and C1
// included) and every byte that could lead a host's write out of its
// destination folder; a device's name (Windows) gets a "_" before it; cut to
// at most 259 bytes, never inside a character. Bytes that mean no character in the book's encoding
// stay as they are. Empty when the id is.
// With unicode, the same in UTF-8 whatever the system: the name a system
// whose file names can hold every character would show (the command-line
// host's, which writes names in UTF-16 on Windows).
std::string ReportedName(const std::string& id, tCharset charset, bool unicode = false);

// The same for the bytes of a start tag from "<binary" up to (not including)
// its closing ">".
std::string ReportedNameOf(std::string_view tagText, tCharset charset);

// An id (or any attribute value) as XML software reads it, in UTF-8: its
// bytes read in the book's encoding and its references decoded; bytes that
// mean no character stay as they stand. Two values name the same thing when
// these are equal.
std::string IdInUtf8(const std::string& id, tCharset charset);

// The names a book's entries are shown under, given in book order: each
// element gets a name no earlier one has, so that every name shown stands for
// exactly one element. A name already given (compared as the file system
// compares names: platform::FileNameKey) becomes "stem (2).ext",
// "stem (3).ext", ... (the first one free), still within 259 bytes. Listing,
// extraction, deletion and replacement all name elements through this.
class tEntryNames {
 public:
  // unicode: the names are UTF-8 (ReportedName's unicode form), compared as
  // the file system compares such names.
  explicit tEntryNames(bool unicode = false) : unicode_(unicode) {}
  std::string Take(const std::string& reported);

 private:
  std::string Key(const std::string& name) const;
  std::size_t Fit(const std::string& name, std::size_t max) const;
  bool unicode_;
  std::unordered_set<std::string> taken_;                    // keys of the names given
  std::unordered_map<std::string, std::uint32_t> next_;      // the next number to try, by the "(2)" name's key
  std::unordered_map<std::string, std::uint32_t*> countOf_;  // that number, by the name numbered
};

// How many bytes of name fit in max without cutting a character of the
// system's file-name encoding (UTF-8, or the ANSI code page's double-byte
// characters).
std::size_t FitName(const std::string& name, std::size_t max, bool unicode = false);

// The id an added file's name is written as, a valid XML ID: ASCII letters,
// digits, ".", "-" and "_" as they are, the letters (and combining marks) of
// other scripts that every edition of XML takes in a name as numeric
// references (so that they read right in whatever encoding the book
// declares), every other character as "_", and a "_" before a first
// character that cannot start a name ("1.png" is written "_1.png"). False
// when the name is not valid in the system's file-name encoding: it cannot
// be written faithfully.
bool WrittenId(const std::string& fileName, std::string& id);
// The same for a name given as code points.
bool WrittenIdOf(const std::u32string& points, std::string& id);

// An id as the book wrote it (references and all), made to stand between
// double quotes in a start tag: a '"' (which only a value the book quoted
// with ' can hold) becomes "&quot;", and '<' and '>' "&lt;" and "&gt;", which
// read the same; a '>' would end the tag (a tag that ends inside a quoted
// value keeps its last '>' in that value).
std::string DoubleQuotedId(const std::string& id);
