// The book as this plug-in reads and writes it: no XML parser, only exact
// byte comparisons at byte positions. Every rule about where things stand in
// a book lives here; the listing, extraction and rewrites apply them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kBinaryStart = "<binary";  // starts an entry, whatever follows
inline constexpr std::string_view kBinaryEnd = "</binary>";
inline constexpr std::string_view kRootStart = "<FictionBook";
inline constexpr std::string_view kRootEnd = "</FictionBook";
inline constexpr char kTagEnd = '>';            // ends a start tag, even inside a quoted value
inline constexpr char kContentEnd = '<';        // an entry's content runs up to the next one
inline constexpr std::size_t kHeadSize = 1024;  // where the root tag must stand

// XML's white space, which separates a tag's name and attributes.
constexpr bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The two root-tag tests differ on purpose.
//
// Detection answers a file manager that asks about every file it meets, so it
// wants the root start tag itself: "<FictionBook" followed by ">" or a blank,
// all of it within the first kHeadSize bytes.
bool HeadIsBook(std::string_view head);
// A rewrite only refuses to rewrite what is plainly no book: "<FictionBook"
// wholly within the first kHeadSize bytes, whatever follows it.
bool HeadAllowsRewrite(std::string_view text);

// True when pos lies inside a start tag that is still open (a "<" with no ">"
// after it): what is inserted there would become part of that tag.
bool InsideOpenTag(std::string_view text, std::size_t pos);

// Where added elements go: just before the root's end tag. npos when the
// book has none, or when it stands inside an open tag.
std::size_t InsertionPoint(std::string_view text);

// The end (one past the last byte) of the element whose start tag runs from
// start to the ">" at close: the tag itself when it closes itself, else its
// "</binary>". npos when that end cannot be told: no end tag, or another
// entry starting before it.
std::size_t ElementEnd(std::string_view text, std::size_t start, std::size_t close);

// The most bytes AppendElement adds for an id of idLength bytes and a base64
// text of base64Length bytes, whatever the content type.
std::uint64_t ElementLength(std::uint64_t idLength, std::uint64_t base64Length);

// Appends an added element to out: its start tag with the written id and
// content type, the base64 text, and its end tag with a line end after it.
// Gives the position in out of the start tag's ">".
std::size_t AppendElement(std::string& out, const std::string& writtenId, const std::string& contentType,
                          const std::string& base64);
