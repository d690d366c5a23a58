#include "format/EntryFacts.h"

#include "format/BookRead.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/StartTag.h"

namespace {
// Enough for every kind SniffImage tells, SVG after a long preamble included.
constexpr std::size_t kHeadBytes = 4096;
}  // namespace

bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out) {
  out.clear();
  tBookRead book(path);
  if (book.Handle == platform::InvalidHandle || book.ShortRead) return false;
  tElementScan scan(book);
  tEntryNames names;
  tStartTag tag;
  std::string name;
  // As the listing walks when it extracts: the next search starts where the
  // last content ended.
  while (NextListed(scan, book.Charset, names, tag, name)) {
    tEntryFacts facts{name, tag.ContentType, {}, {}};
    facts.End = ReadEntryContent(book, tag.ClosesItself, [&](const char* bytes, std::size_t n) {
      if (facts.Head.size() < kHeadBytes) facts.Head.append(bytes, std::min(n, kHeadBytes - facts.Head.size()));
    });
    out.push_back(std::move(facts));
  }
  return !book.ShortRead;
}
