#include "format/EntryFacts.h"

#include "format/BookRead.h"
#include "format/StartTag.h"

namespace {
// Enough for every kind SniffImage tells, SVG after a long preamble included.
constexpr std::size_t kHeadBytes = 4096;
}  // namespace

bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out, tBookReferences& refs) {
  out.clear();
  tHeadSink head(kHeadBytes);
  // As the listing walks when it extracts: the next search starts where the
  // last content ended.
  return ReadBookReferences(path, refs, [&](tBookRead& book, const tStartTag& tag, const std::string& name) {
    tEntryFacts facts{name, tag.ContentType, {}, {}};
    facts.End = ReadEntryContent(book, tag.ClosesItself, head);
    facts.Head.swap(head.Head);
    head.Head.clear();
    out.push_back(std::move(facts));
  });
}
