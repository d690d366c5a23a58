// The book as this plug-in reads and writes it: no XML parser, only exact
// byte comparisons at byte positions. Every rule about where things stand in
// a book lives here; the listing, extraction and rewrites apply them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "textutil/Ascii.h"

inline constexpr std::string_view kBinaryStart = "<binary";  // starts an entry, whatever follows
inline constexpr std::string_view kBinaryEnd = "</binary>";
inline constexpr std::string_view kBinaryEndStart = "</binary";  // where an entry's content ends
inline constexpr std::string_view kRootStart = "<FictionBook";
inline constexpr std::string_view kRootEnd = "</FictionBook";
inline constexpr char kTagEnd = '>';            // ends a start tag, even inside a quoted value
inline constexpr char kContentEnd = '<';        // an entry's content runs up to the next one
inline constexpr std::size_t kHeadSize = 1024;  // where the root tag must stand
// The largest book that is rewritten, and that a rewrite may make: offsets
// into a book are 32-bit, and what a rewrite writes must open again.
inline constexpr std::uint64_t kMaxBookSize = 0x7FFFFFFF;
// A zip archive's first bytes (a local file header): a zipped book that
// stores its member uncompressed shows "<FictionBook" in its head, but it is
// no book, and rewriting it would break the archive.
inline constexpr std::string_view kZipStart = "PK\x03\x04";

// The two root-tag tests differ on purpose.
//
// Detection answers a file manager that asks about every file it meets, so it
// wants the root start tag itself: "<FictionBook" followed by ">" or a blank,
// all of it within the first kHeadSize bytes, and no zip archive.
bool HeadIsBook(std::string_view head);
// A rewrite only refuses to rewrite what is plainly no book: "<FictionBook"
// wholly within the first kHeadSize bytes, whatever follows it, and no zip
// archive.
bool HeadAllowsRewrite(std::string_view text);

// The end (one past the last byte) of an element whose start tag's ">"
// stands at close. Deletion and replacement remove exactly this much.
// - A tag that closes itself is the whole element. (Extraction, which reads
//   an element's content up to the next "<", reads the text after such a tag
//   as its content: a reading of the bytes kept as it always was, while a
//   removal must never take bytes that are not the element's.)
// - Else the element runs through its end tag, the first "</binary>" after
//   the tag (at endTag), unless another "<binary" starts before it (at
//   nextStart): then, or with no end tag at all, its end cannot be told and
//   npos is given, so that no neighbour is cut into.
std::uint64_t ElementEnd(bool closesItself, std::uint64_t close, std::uint64_t endTag, std::uint64_t nextStart);

// The most bytes AppendElement adds for an id of idLength bytes and a base64
// text of base64Length bytes, whatever the content type.
std::uint64_t ElementLength(std::uint64_t idLength, std::uint64_t base64Length);

// Appends an added element to out: its start tag with the written id and
// content type, the base64 text, and its end tag, with a line end (CR LF)
// after it when lineEnd. Gives the position in out of the start tag's ">".
std::size_t AppendElement(std::string& out, const std::string& writtenId, const std::string& contentType,
                          const std::string& base64, bool lineEnd = true);

// Appends an element that takes another's place: that element's start tag
// (its bytes up to, not including, its ">"), with its other attributes as
// the book wrote them and only its content type set, then the base64 text
// and the end tag. A tag that ends inside a quoted value is written anew,
// with only its id (as ReadStartTag read it) and the content type.
void AppendInPlaceOf(std::string& out, std::string_view tagText, const std::string& id, const std::string& contentType,
                     const std::string& base64);

// How far the removal of an element reaches past its own bytes, so that an
// add followed by a delete gives the book back byte for byte and a removal
// leaves no empty line: an element alone on its line (only spaces and tabs
// between the line break before it and it, and between it and the line
// break after it) goes with its line, line break included. before and after
// are the bytes just before and just after the element (a few hundred are
// plenty; fewer where the book begins or ends).
struct tLineReach {
  std::size_t Back = 0, Forward = 0;
};
// Enough bytes on either side of an element to tell whether it stands alone
// on its line.
inline constexpr std::uint64_t kLineLook = 256;
tLineReach RemovalReach(std::string_view before, std::string_view after);

// Where added elements go, seen from the root's end tag: when only spaces
// and tabs stand between it and the line break before it, the elements go at
// the start of that line (Back bytes earlier), each on a line of its own;
// after other markup on its line, directly before the end tag, without line
// ends. Either way a removal of what was added (RemovalReach) takes exactly
// the bytes added. before: the bytes just before the end tag.
struct tAddedPlace {
  std::size_t Back = 0;
  bool LineEnds = false;
};
tAddedPlace AddedPlace(std::string_view before);
