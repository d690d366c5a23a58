#include "format/ElementScan.h"

#include <cstring>

#include "format/BookFormat.h"
#include "format/StartTag.h"

bool tElementScan::MatchHere(std::string_view pattern) {
  for (std::size_t k = 1; k < pattern.size(); ++k) {
    Book.Next();
    if (Book.Eof || Book.Ch != static_cast<std::uint8_t>(pattern[k])) return false;
  }
  Book.Next();
  return true;
}

void tElementScan::Ends(std::uint64_t endTag, std::uint64_t nextStart) {
  LastEnd = ElementEnd(false, close_, endTag, nextStart);
  open_ = false;
}

bool tElementScan::Next() {
  static_assert(kBinaryStart[0] == kContentEnd && kBinaryEnd[0] == kContentEnd);
  LastEnd = End;  // an element that closed itself ended at once
  End = npos;
  // Whichever of "</binary>" and "<binary" comes first after an element's
  // start tag decides where it ends; every other '<' is passed over.
  for (;;) {
    if (!Book.SkipTo(kContentEnd)) {
      if (open_) Ends(npos, npos);
      return false;
    }
    const std::uint32_t at = Book.Pos;
    Book.Next();
    if (Book.Eof) continue;
    if (Book.Ch == '/') {
      if (MatchHere(kBinaryEnd.substr(1)) && open_) Ends(at, npos);
    } else if (Book.Ch == static_cast<std::uint8_t>(kBinaryStart[1]) && MatchHere(kBinaryStart.substr(1))) {
      if (open_) Ends(npos, at);
      Start = at;
      break;
    }
  }
  TagText.assign(kBinaryStart);
  for (bool found = false; !Book.Eof && !found;) {
    const std::uint32_t span = Book.SpanTo(kTagEnd, found);
    TagText.append(reinterpret_cast<const char*>(Book.Here()), span);
    Book.Skip(span);
  }
  Closed = !Book.Eof;
  if (Closed) {
    close_ = Book.Pos;
    // A tag that closes itself is the whole element.
    if (!TagText.empty() && TagText.back() == '/') {
      End = ElementEnd(true, close_, npos, npos);
    } else {
      open_ = true;
    }
  }
  return true;
}

bool NextListed(tElementScan& scan, tCharset charset, tEntryNames& names, tStartTag& tag, std::string& name) {
  while (scan.Next()) {
    tag = ReadStartTag(scan.TagText);
    if (const std::string shown = ReportedName(tag.Id, charset); !shown.empty()) {
      name = names.Take(shown);
      return true;
    }
    if (!scan.Closed) break;
  }
  return false;
}

void tRootEndFinder::Feed(const std::uint8_t* bytes, std::size_t n) {
  std::size_t i = 0;
  while (i < n && !done_) {
    if (matched_ == 0) {
      // Up to the next '<', noting whether a '>' closes the last one.
      const void* lt = std::memchr(bytes + i, '<', n - i);
      const std::size_t end = lt ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lt) - bytes) : n;
      if (std::memchr(bytes + i, kTagEnd, end - i) != nullptr) open_ = false;
      if (!lt) break;
      inside_ = open_;
      open_ = true;
      at_ = fed_ + end;
      matched_ = 1;
      i = end + 1;
    } else if (bytes[i] == static_cast<std::uint8_t>(kRootEnd[matched_])) {
      ++i;
      done_ = ++matched_ == kRootEnd.size();
    } else {
      matched_ = 0;  // that byte is looked at again: it may start a match
    }
  }
  fed_ += n;
}
