// What every rewrite of a book shares: the book held against every other
// rewrite and mapped (read once) through that hold, the plan over the map of
// the byte ranges that stay, and the writing of the new book from them (copied file to file,
// in the kernel where the system can) and the bytes put in, beside the book,
// then put in its place: the book on disk is always the old one or the new
// one, whole, and it is never held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "format/BookMap.h"
#include "format/BookRead.h"
#include "textutil/Replacement.h"

namespace fb2pack {

using tNameSet = std::unordered_set<std::string>;

// Bytes [From, To) of the book, which stay in the new one.
struct tRange {
  std::uint64_t From, To;
};

// Bytes written into the new book where byte At of the old one stood: at the
// start of an element they replace, or at the root's end tag.
struct tInsert {
  std::uint64_t At;
  std::string Bytes;
};

// What the walk decides: the ranges that stay, and for each element that a
// source replaces, where it stood and its id as the book wrote it.
struct tReplaced {
  bool Found = false;
  std::uint64_t At = 0;
  std::string Id;
  std::string Tag;  // its start tag's bytes, up to its ">"
};

// The book held for a rewrite (against every other rewrite, until the end of
// the call) and mapped through that hold.
struct tHeldBook {
  explicit tHeldBook(const char* path) : File(path, tReplacement::Rewrite) {}
  tReplacement File;
  std::unique_ptr<tBookRead> Reader;
  tBookMap Map;
};

// Holds the book and maps it, the one reading of it before the copy (each as
// MapBook's); E_SUCCESS, or why it cannot be rewritten.
int HoldBook(tHeldBook& book, const tEachElement& each = nullptr);

// The listed element's name, as the listing shows it.
const std::string& NameOf(const tHeldBook& book, const tMapElement& element);
// The element's start tag, read again: its bytes up to its ">".
std::string TagOf(tHeldBook& book, const tMapElement& element);

// Where added elements go once only the kept ranges stay, as tRootEndFinder
// tells it over their bytes; npos when nowhere.
std::uint64_t RootEndAfter(tHeldBook& book, const std::vector<tRange>& kept);

// The ranges of the book that stay when every element whose name, as the
// listing shows it, is in names goes. An element that must go but whose end
// cannot be told (no end tag of its own) makes the whole removal fail with
// E_BAD_ARCHIVE rather than cut into its neighbours. With replacing, each
// source takes the place of the first element listed under its file name
// (by platform::FileNameKey), or, failing that, of the first whose id reads
// as the id the source is written with; where it stood and its id as the
// book wrote it are noted in replaced, by source.
struct tReplacing {
  std::unordered_map<std::string, std::size_t> ByName, ById;
};

int KeptRanges(tHeldBook& book, const tNameSet& names, std::vector<tRange>& kept, const tReplacing* replacing = nullptr,
               std::vector<tReplaced>* replaced = nullptr);

// Writes the new book: the kept ranges, with the inserts (ordered by At) where
// their bytes of the old book stood, and puts it in the book's place.
int SaveBook(tHeldBook& book, const std::vector<tRange>& kept, const std::vector<tInsert>& inserts);

}  // namespace fb2pack
