#include "plugin/Rewrite.h"

#include <algorithm>

#include "format/BookFormat.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/StartTag.h"
#include "platform/Platform.h"
#include "plugin/public/iwcxhead.h"

namespace fb2pack {

int HoldBook(tHeldBook& book) {
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
  const tBookRead& r = *book.Reader;
  if (r.ShortRead) return E_EREAD;
  // The head stands in the first window.
  const std::string_view head(reinterpret_cast<const char*>(r.Window.get()), r.WindowLength);
  return HeadAllowsRewrite(head) ? E_SUCCESS : E_UNKNOWN_FORMAT;
}

std::string BytesAt(tDiskRead& r, std::uint64_t from, std::uint64_t to) {
  std::string bytes;
  r.SeekTo(static_cast<std::uint32_t>(from));
  while (!r.Eof && r.Pos < to) {
    const std::uint32_t n = std::min<std::uint64_t>(r.Ahead(), to - r.Pos);
    bytes.append(reinterpret_cast<const char*>(r.Here()), n);
    r.Skip(n);
  }
  return bytes;
}

std::uint64_t RootEndIn(tDiskRead& r, const std::vector<tRange>& ranges) {
  tRootEndFinder finder;
  for (const tRange& range : ranges) {
    r.SeekTo(static_cast<std::uint32_t>(range.From));
    while (!finder.Done() && !r.Eof && r.Pos < range.To) {
      const std::uint32_t n = std::min<std::uint64_t>(r.Ahead(), range.To - r.Pos);
      finder.Feed(r.Here(), n);
      r.Skip(n);
    }
  }
  return finder.InsertionPoint();
}

int KeptRanges(tHeldBook& book, const tNameSet& names, std::vector<tRange>& kept, const tReplacing* replacing,
               std::vector<tReplaced>* replaced) {
  tDiskRead& r = *book.Reader;
  r.SeekTo(0);
  kept.clear();
  tElementScan scan(r);
  tEntryNames listed;        // every element is named, in book order, as the listing names it
  std::vector<tRange> gone;  // the elements that go, in book order
  struct tCandidate {
    bool Found = false;
    tRange Span{};
    std::string Id, Tag;
  };
  std::vector<tCandidate> byName(replaced ? replaced->size() : 0), byId(byName.size());
  auto first = [](std::vector<tCandidate>& candidates, const std::unordered_map<std::string, std::size_t>& map,
                  const std::string& key) -> tCandidate* {
    const auto it = map.find(key);
    return it == map.end() || candidates[it->second].Found ? nullptr : &candidates[it->second];
  };
  while (scan.Next()) {
    const tStartTag tag = ReadStartTag(scan.TagText);
    const std::string name = ReportedName(tag.Id, book.Reader->Charset);
    const std::string shown = name.empty() ? name : listed.Take(name);
    tCandidate* asNamed = nullptr;
    tCandidate* asId = nullptr;
    if (replacing != nullptr && !name.empty()) {
      asNamed = first(byName, replacing->ByName, platform::FileNameKey(shown));
      asId = first(byId, replacing->ById, IdInUtf8(tag.Id, book.Reader->Charset));
    }
    const bool goes = !name.empty() && names.count(shown) != 0;
    if (!scan.Closed) {
      if (goes || asNamed != nullptr || asId != nullptr) return E_BAD_ARCHIVE;
      break;
    }
    if (!goes && asNamed == nullptr && asId == nullptr) continue;  // the next search starts at its ">"
    const std::uint64_t start = scan.Start;
    const std::uint64_t end = scan.SkipElement();
    if (end == tElementScan::npos) return r.ShortRead ? E_EREAD : E_BAD_ARCHIVE;
    for (tCandidate* c : {asNamed, asId}) {
      if (c != nullptr) *c = {true, {start, end}, tag.Id, scan.TagText};
    }
    if (goes) {
      // An element removed from a line of its own takes its line along; its
      // neighbourhood is still in the reader's window, and the walk goes on
      // from the element's end.
      const std::uint64_t before = start < kLineLook ? 0 : start - kLineLook;
      const tLineReach reach = RemovalReach(BytesAt(r, before, start), BytesAt(r, end, end + kLineLook));
      r.SeekTo(static_cast<std::uint32_t>(end));
      gone.push_back({start - reach.Back, end + reach.Forward});
    }
  }
  if (r.ShortRead) return E_EREAD;
  // A source takes the element of its name, or else the element of its id,
  // one that no other source took.
  for (std::size_t i = 0; i < byName.size(); ++i) {
    const tCandidate& c = byName[i].Found ? byName[i] : byId[i];
    if (!c.Found) continue;
    const bool taken = std::any_of(gone.begin(), gone.end(),
                                   [&](const tRange& g) { return g.From <= c.Span.From && c.Span.From < g.To; });
    if (taken) continue;
    (*replaced)[i] = {true, c.Span.From, c.Id, c.Tag};
    gone.push_back(c.Span);
  }
  std::sort(gone.begin(), gone.end(), [](const tRange& a, const tRange& b) { return a.From < b.From; });
  std::uint64_t from = 0;  // bytes before this have been decided
  for (const tRange& g : gone) {
    if (g.From > from) kept.push_back({from, g.From});
    from = std::max(from, g.To);
  }
  if (from < r.Size || kept.empty()) kept.push_back({from, r.Size});
  return E_SUCCESS;
}

std::uint64_t OldOffset(const std::vector<tRange>& kept, std::uint64_t at) {
  for (const tRange& range : kept) {
    if (at < range.To - range.From) return range.From + at;
    at -= range.To - range.From;
  }
  return at == 0 && !kept.empty() ? kept.back().To : tElementScan::npos;
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
