#include "format/BookMap.h"

#include <unordered_set>

#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/StartTag.h"
#include "platform/Platform.h"

namespace {

// The references, and the root's end as adding finds it, in the bytes the
// walk reads.
struct tTextWatch final : tDiskRead::tWatcher {
  explicit tTextWatch(tCharset charset) : References(charset) {}
  void Saw(const std::uint8_t* bytes, std::uint32_t n) override {
    References.Feed(reinterpret_cast<const char*>(bytes), n);
    if (!End.Done()) End.Feed(bytes, n);
  }
  tReferenceScan References;
  tRootEndFinder End;
};

// What each element is to the text, and what the text shows that no element
// is: a reference shows the first element of an id.
void Mark(tBookReferences& refs) {
  std::unordered_set<std::string> ids, shown(refs.Targets.begin(), refs.Targets.end());
  for (auto& e : refs.Elements) {
    e.Shown = ids.insert(e.Id).second;
    e.Cover = e.Shown && refs.HasCover && refs.Cover == e.Id;
    e.SourceCover = e.Shown && !e.Cover && refs.HasSourceCover && refs.SourceCover == e.Id;
    e.Referenced = e.Shown && shown.count(e.Id) != 0;
  }
  std::unordered_set<std::string> told;
  for (const std::string& target : refs.Targets) {
    if (ids.count(target) == 0 && told.insert(target).second) refs.Missing.push_back(target);
  }
}

}  // namespace

bool MapBook(tBookRead& book, tBookMap& out, const tEachElement& each) {
  out = {};
  out.Size = book.Size;
  const tCharset charset = book.Charset;
  tTextWatch watch(charset);
  book.SeekTo(0);
  book.Watch(watch);
  tElementScan scan(book);
  tEntryNames names;  // every element is named as the listing names it
  tEntryNames fullNames(true);
  const bool spellsAll = platform::FileNamesAreUtf8();
  // The line around an element is looked at while the walk stands near it:
  // the bytes before it as it is found, those after it once its end is.
  std::string before;
  bool pending = false;  // the last element's end is still to be told
  auto ended = [&] {
    if (!pending) return;
    pending = false;
    tMapElement& last = out.Elements.back();
    if (last.End == tMapElement::npos) last.End = scan.LastEnd;
    if (last.End != tMapElement::npos) last.Reach = RemovalReach(before, book.BytesAt(last.End, last.End + kLineLook));
  };
  while (scan.Next()) {
    ended();
    tMapElement element;
    element.Start = scan.Start;
    element.Closed = scan.Closed;
    element.TagEnd = scan.Closed ? book.Pos : book.Size;
    element.End = scan.End;  // known now for one that closes itself
    before = book.BytesAt(scan.Start < kLineLook ? 0 : scan.Start - kLineLook, scan.Start);
    const tStartTag tag = ReadStartTag(scan.TagText);
    const std::string shown = ReportedName(tag.Id, charset);
    if (!shown.empty()) {
      element.Listed = static_cast<std::int64_t>(out.References.Elements.size());
      tBookReferences::tElement listed;
      listed.Name = names.Take(shown);
      listed.Id = IdInUtf8(tag.Id, charset);
      if (!spellsAll) {
        listed.FullName = fullNames.Take(ReportedName(tag.Id, charset, true));
        if (listed.FullName == listed.Name) listed.FullName.clear();
      }
      out.References.Elements.push_back(std::move(listed));
    }
    out.Elements.push_back(element);
    pending = true;
    if (element.End != tMapElement::npos) ended();
    if (!shown.empty() && each) each(book, tag, out.References.Elements.back().Name);
    if (!scan.Closed) break;  // the book ends inside the tag
  }
  ended();
  book.WatchToEnd();
  book.Unwatch();
  tReferenceScan& references = watch.References;
  tBookReferences& refs = out.References;
  refs.Targets = std::move(references.Targets);
  refs.HasCover = references.HasCover;
  refs.HasSourceCover = references.HasSourceCover;
  refs.Cover = std::move(references.Cover);
  refs.SourceCover = std::move(references.SourceCover);
  refs.Place = std::move(references.Place);
  out.RootEnd = watch.End.InsertionPoint();
  refs.Ends = out.RootEnd != tMapElement::npos;
  Mark(refs);
  return !book.ShortRead;
}

bool ReadBookReferences(const std::string& path, tBookReferences& out, const tEachElement& each) {
  out = {};
  tBookRead book(path);
  if (book.Handle == platform::InvalidHandle || book.ShortRead) return false;
  tBookMap map;
  const bool read = MapBook(book, map, each);
  out = std::move(map.References);
  return read;
}
