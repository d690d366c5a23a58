#include "format/Inspection.h"

#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/StartTag.h"
#include "reader/SeqRead.h"

namespace {
// Enough for every kind SniffImage tells, SVG after a long preamble included.
constexpr std::size_t kHeadBytes = 4096;
}  // namespace

bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out) {
  out.clear();
  tDiskRead book(path);
  if (book.Handle == platform::InvalidHandle || book.ShortRead) return false;
  const tCharset charset = DeclaredCharset(reinterpret_cast<const char*>(book.Window), book.WindowLength);
  tElementScan scan(book);
  tEntryNames names;
  // As the listing walks: the next search starts where the last content
  // ended, or at the ">" of an element passed over.
  while (scan.Next()) {
    const tStartTag tag = ReadStartTag(scan.TagText);
    const std::string name = ReportedName(tag.Id, charset);
    if (name.empty()) {
      if (!scan.Closed) break;
      continue;
    }
    tEntryFacts facts{names.Take(name), tag.ContentType, {}, {}};
    facts.End = ReadEntryContent(book, tag.ClosesItself, [&](const char* bytes, std::size_t n) {
      if (facts.Head.size() < kHeadBytes) facts.Head.append(bytes, std::min(n, kHeadBytes - facts.Head.size()));
    });
    out.push_back(std::move(facts));
  }
  return !book.ShortRead;
}
