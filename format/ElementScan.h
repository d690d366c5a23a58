// The one walk over a book's elements, through its reader, that listing,
// extraction and the map of a book all make: an element starts at every
// "<binary", its start tag runs to the first ">" after that, and the next
// search starts at that ">". On the way the walk notes where each element
// ends (ElementEnd). Bytes are looked at in bulk, a window at a time; the
// book is never held whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/EntryName.h"
#include "format/StartTag.h"
#include "reader/DiskRead.h"

class tElementScan {
 public:
  static constexpr std::uint64_t npos = ~std::uint64_t{0};

  explicit tElementScan(tDiskRead& book) : Book(book) {}

  // From the reader's position, finds the next "<binary" and collects its
  // start tag: true with Start and TagText set and the reader on the tag's
  // ">" (Closed), or at the end of a book that ends inside the tag (not
  // Closed). False at the end of the book when no element follows.
  bool Next();

  tDiskRead& Book;
  std::uint32_t Start = 0;
  std::string TagText;
  bool Closed = false;
  // The end of the element found before this one (ElementEnd; npos when it
  // cannot be told), once this one is found, or once Next gives false. The
  // end of an element that closes itself is known at once: End.
  std::uint64_t LastEnd = npos;
  std::uint64_t End = npos;

 private:
  // The element found last still looks for its end tag, from its ">" at close_.
  bool open_ = false;
  std::uint64_t close_ = 0;
  // The element found last has ended: its end is known.
  void Ends(std::uint64_t endTag, std::uint64_t nextStart);

  // With the reader on a '<': steps through the rest of pattern while the
  // bytes agree. True with the reader just past it; false with the reader
  // on the first byte that differs (which may start a match of its own).
  bool MatchHere(std::string_view pattern);
};

// The next element as the listing walks them: one without a usable name is
// passed over, so that it cannot hide the entries after it, and only the end
// of the book ends the walk. True with its start tag read and its name, one
// no earlier element in names has.
bool NextListed(tElementScan& scan, tCharset charset, tEntryNames& names, tStartTag& tag, std::string& name);

// Finds the root's end tag in bytes fed in order, in pieces of any size: the
// first "</FictionBook", and whether it stands inside a start tag still open
// (a '<' before it with no '>' after that).
class tRootEndFinder {
 public:
  void Feed(const std::uint8_t* bytes, std::size_t n);
  bool Done() const { return done_; }
  // Where added elements go: the first "</FictionBook", counted in bytes fed;
  // npos when there is none, or it stands inside an open tag.
  std::uint64_t InsertionPoint() const { return done_ && !inside_ ? at_ : tElementScan::npos; }

 private:
  std::uint64_t fed_ = 0;
  std::uint64_t at_ = 0;
  std::size_t matched_ = 0;  // bytes of "</FictionBook" matched so far
  bool open_ = false;        // the last '<' has no '>' after it yet
  bool inside_ = false;      // that '<' was there when the candidate began
  bool done_ = false;
};
