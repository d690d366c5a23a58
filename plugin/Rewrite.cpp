#include "plugin/Rewrite.h"

#include <algorithm>

#include "format/BookFormat.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/StartTag.h"
#include "platform/Platform.h"
#include "plugin/public/iwcxhead.h"
#include "textutil/Ascii.h"

namespace fb2pack {

int HoldBook(tHeldBook& book, const tEachElement& each) {
  switch (book.File.Opened) {
    case tReplacement::tOpened::Ok: break;
    case tReplacement::tOpened::ReadOnly: break;  // read as ever; it will not be replaced
    case tReplacement::tOpened::Busy: return E_EOPEN;
    default: return E_UNKNOWN_FORMAT;  // a missing book, or a special file, is no book
  }
  std::uint64_t size = 0;
  if (!platform::FileSize(book.File.Held, size)) return E_EREAD;
  if (size > kMaxBookSize) return E_NO_MEMORY;
  book.Reader = std::make_unique<tBookRead>(book.File.Held, book.File.Target);
  tBookRead& r = *book.Reader;
  if (r.ShortRead) return E_EREAD;
  // The head stands in the first window.
  const std::string_view head(reinterpret_cast<const char*>(r.Window.get()), r.WindowLength);
  if (!HeadAllowsRewrite(head)) return E_UNKNOWN_FORMAT;
  return MapBook(r, book.Map, each) ? E_SUCCESS : E_EREAD;
}

const std::string& NameOf(const tHeldBook& book, const tMapElement& element) {
  static const std::string kNone;
  return element.Listed < 0 ? kNone : book.Map.References.Elements[static_cast<std::size_t>(element.Listed)].Name;
}

std::string TagOf(tHeldBook& book, const tMapElement& element) {
  return book.Reader->BytesAt(element.Start, element.TagEnd);
}

namespace {

// The place in the old book of the kept byte at offset at (counted in kept
// bytes), or npos for none.
std::uint64_t OldOffset(const std::vector<tRange>& kept, std::uint64_t at) {
  for (const tRange& range : kept) {
    if (at < range.To - range.From) return range.From + at;
    at -= range.To - range.From;
  }
  return at == 0 && !kept.empty() ? kept.back().To : tMapElement::npos;
}

// True when the root's end finder stands at rest just before byte at: no
// '<' left open and no "</FictionBook" begun, as after a '>' and blanks.
bool FinderAtRest(tDiskRead& r, std::uint64_t at) {
  const std::string before = r.BytesAt(at < kLineLook ? 0 : at - kLineLook, at);
  for (std::size_t i = before.size(); i-- > 0;) {
    if (!IsBlank(static_cast<unsigned char>(before[i]))) return before[i] == kTagEnd;
  }
  return at == 0;
}

}  // namespace

std::uint64_t RootEndAfter(tHeldBook& book, const std::vector<tRange>& kept) {
  const std::uint64_t whole = book.Map.RootEnd;
  tDiskRead& r = *book.Reader;
  if (kept.size() == 1 && kept[0].From == 0 && kept[0].To == r.Size) return whole;
  // What goes is whole elements, each ending in a '>' and the blanks of its
  // line. Where every cut before the root's end tag starts at rest too, the
  // finder reads the kept bytes as it read the book, up to the same end tag;
  // what follows that tag it never reads.
  bool same = whole != tMapElement::npos;
  auto cut = [&](std::uint64_t a, std::uint64_t b) {
    if (a >= b) return;
    same = same && ((b <= whole && FinderAtRest(r, a)) || a >= whole + kRootEnd.size());
  };
  std::uint64_t from = 0;
  for (const tRange& range : kept) {
    cut(from, range.From);
    from = range.To;
  }
  cut(from, r.Size);
  if (same) return whole;
  // Else the kept bytes are read through (a broken book only).
  tRootEndFinder finder;
  for (const tRange& range : kept) {
    r.SeekTo(static_cast<std::uint32_t>(range.From));
    while (!finder.Done() && !r.Eof && r.Pos < range.To) {
      const std::uint32_t n = std::min<std::uint64_t>(r.Ahead(), range.To - r.Pos);
      finder.Feed(r.Here(), n);
      r.Skip(n);
    }
  }
  return OldOffset(kept, finder.InsertionPoint());
}

int KeptRanges(tHeldBook& book, const tNameSet& names, std::vector<tRange>& kept, const tReplacing* replacing,
               std::vector<tReplaced>* replaced) {
  tDiskRead& r = *book.Reader;
  const tBookReferences& refs = book.Map.References;
  kept.clear();
  std::vector<tRange> gone;  // the elements that go, in book order
  struct tCandidate {
    bool Found = false;
    const tMapElement* Element = nullptr;
  };
  std::vector<tCandidate> byName(replaced ? replaced->size() : 0), byId(byName.size());
  auto first = [](std::vector<tCandidate>& candidates, const std::unordered_map<std::string, std::size_t>& map,
                  const std::string& key) -> tCandidate* {
    const auto it = map.find(key);
    return it == map.end() || candidates[it->second].Found ? nullptr : &candidates[it->second];
  };
  for (const tMapElement& element : book.Map.Elements) {
    const bool listed = element.Listed >= 0;
    const std::string& shown = NameOf(book, element);
    tCandidate* asNamed = nullptr;
    tCandidate* asId = nullptr;
    if (replacing != nullptr && listed) {
      asNamed = first(byName, replacing->ByName, platform::FileNameKey(shown));
      asId = first(byId, replacing->ById, refs.Elements[static_cast<std::size_t>(element.Listed)].Id);
    }
    const bool goes = listed && names.count(shown) != 0;
    if (!element.Closed) {
      if (goes || asNamed != nullptr || asId != nullptr) return E_BAD_ARCHIVE;
      break;
    }
    if (!goes && asNamed == nullptr && asId == nullptr) continue;
    if (element.End == tMapElement::npos) return E_BAD_ARCHIVE;
    for (tCandidate* c : {asNamed, asId}) {
      if (c != nullptr) *c = {true, &element};
    }
    if (goes) {
      // An element removed from a line of its own takes its line along.
      gone.push_back({element.Start - element.Reach.Back, element.End + element.Reach.Forward});
    }
  }
  // A source takes the element of its name, or else the element of its id,
  // one that no other source took.
  for (std::size_t i = 0; i < byName.size(); ++i) {
    const tCandidate& c = byName[i].Found ? byName[i] : byId[i];
    if (!c.Found) continue;
    const std::uint64_t at = c.Element->Start;
    const bool taken =
        std::any_of(gone.begin(), gone.end(), [&](const tRange& g) { return g.From <= at && at < g.To; });
    if (taken) continue;
    std::string tag = TagOf(book, *c.Element);
    const std::string id = ReadStartTag(tag).Id;
    (*replaced)[i] = {true, at, id, std::move(tag)};
    gone.push_back({at, c.Element->End});
  }
  if (r.ShortRead) return E_EREAD;
  std::sort(gone.begin(), gone.end(), [](const tRange& a, const tRange& b) { return a.From < b.From; });
  std::uint64_t from = 0;  // bytes before this have been decided
  for (const tRange& g : gone) {
    if (g.From > from) kept.push_back({from, g.From});
    from = std::max(from, g.To);
  }
  if (from < r.Size || kept.empty()) kept.push_back({from, r.Size});
  return E_SUCCESS;
}

int SaveBook(tHeldBook& book, const std::vector<tRange>& kept, const std::vector<tInsert>& inserts) {
  tReplacement& file = book.File;
  if (!file.Create()) return E_ECREATE;
  std::size_t next = 0;
  auto write = [&] {
    file.Write(inserts[next].Bytes.data(), inserts[next].Bytes.size());
    ++next;
  };
  for (const tRange& range : kept) {
    while (next < inserts.size() && inserts[next].At < range.From) write();  // in the place of what went
    std::uint64_t from = range.From;
    for (; next < inserts.size() && inserts[next].At <= range.To; write()) {
      file.Copy(file.Held, from, inserts[next].At - from);
      from = inserts[next].At;
    }
    file.Copy(file.Held, from, range.To - from);
  }
  while (next < inserts.size()) write();
  return file.Commit() == tReplacement::Committed ? E_SUCCESS : E_EWRITE;
}

}  // namespace fb2pack
