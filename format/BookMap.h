// One reading of a book, which every operation on it starts from: each
// element the walk meets (where it starts, where its start tag ends, where
// it ends), the listed ones with their names and ids, the references of the
// text and where the cover is said, and where the root's end tag stands.
// Listing and extraction through the archive handle walk the same way; a
// rewrite plans over the map and copies the book once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/BookFormat.h"
#include "format/BookRead.h"
#include "format/References.h"

struct tStartTag;

struct tMapElement {
  static constexpr std::uint64_t npos = ~std::uint64_t{0};
  std::uint32_t Start = 0;   // its "<binary"
  std::uint32_t TagEnd = 0;  // its start tag's ">"; the book's end when the tag does not end
  bool Closed = false;       // the start tag ends
  std::uint64_t End = npos;  // one past its last byte (ElementEnd); npos when that cannot be told
  tLineReach Reach;          // how far its removal reaches (RemovalReach), once End is told
  // Its place in References.Elements; -1 for one the listing passes over
  // (it has no usable name).
  std::int64_t Listed = -1;
};

struct tBookMap {
  std::vector<tMapElement> Elements;          // every element the walk meets, in book order
  tBookReferences References;                 // Elements there: the listed ones, with their marks
  std::uint64_t RootEnd = tMapElement::npos;  // where added elements go (tRootEndFinder); npos: none
  std::uint32_t Size = 0;
};

// Shown each listed element, in book order, with the reader in its start tag
// (it may read the content, as extraction does), its tag and its name.
using tEachElement = std::function<void(tBookRead&, const tStartTag&, const std::string&)>;

// Maps the book through its reader, from its first byte, in one pass; false
// when it cannot be read whole.
bool MapBook(tBookRead& book, tBookMap& out, const tEachElement& each = nullptr);

// Opens and maps the book at path and gives its references; false when it
// cannot be read.
bool ReadBookReferences(const std::string& path, tBookReferences& out, const tEachElement& each = nullptr);
