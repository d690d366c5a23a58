// Deleting and adding stream the book: a walk over its elements finds the
// byte ranges that stay, and the new book is written from them (copied file
// to file, in the kernel where the system can) and the added elements, beside
// the book, then put in its place: the book on disk is always the old one or
// the new one, whole, and it is never held in memory.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "format/BookFormat.h"
#include "format/BookRead.h"
#include "format/ContentType.h"
#include "format/CoverEdit.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/References.h"
#include "format/StartTag.h"
#include "platform/Platform.h"
#include "plugin/Operations.h"
#include "plugin/public/HostServices.h"
#include "plugin/public/NameList.h"
#include "textutil/Base64.h"
#include "textutil/FileText.h"
#include "textutil/PathRules.h"
#include "textutil/Replacement.h"
#include "textutil/StrUtil.h"

namespace fb2pack {
namespace {

// A name is cut only at the separators of the system that gave it.
constexpr std::string_view kNameSeparators = SystemPathRules().Separators;

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
// the call) and read through that hold.
struct tHeldBook {
  explicit tHeldBook(const char* path) : File(path, tReplacement::Rewrite) {}
  tReplacement File;
  std::unique_ptr<tBookRead> Reader;
};

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

// Bytes [from, to) of the book (fewer where it ends).
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

// Enough of a line's blanks on either side of an element to tell whether it
// stands alone on its line.
constexpr std::uint64_t kLineLook = 256;

// Where added elements go in the bytes of ranges taken in order (counted in
// those bytes), as tRootEndFinder tells it.
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
               std::vector<tReplaced>* replaced = nullptr) {
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

// The place in the old book of the kept byte at offset at (counted in kept
// bytes), or npos for none.
std::uint64_t OldOffset(const std::vector<tRange>& kept, std::uint64_t at) {
  for (const tRange& range : kept) {
    if (at < range.To - range.From) return range.From + at;
    at -= range.To - range.From;
  }
  return at == 0 && !kept.empty() ? kept.back().To : tElementScan::npos;
}

// Writes the new book: the kept ranges, with the inserts (ordered by At) where
// their bytes of the old book stood, and puts it in the book's place.
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

}  // namespace

int DeleteEntries(const char* packedFile, const char* deleteList) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tHeldBook book(packedFile);
  if (int rc = HoldBook(book); rc != E_SUCCESS) return rc;
  std::vector<std::string> names = ReadNameList(deleteList);
  std::vector<tRange> kept;
  if (int rc = KeptRanges(book, tNameSet(names.begin(), names.end()), kept); rc != E_SUCCESS) return rc;
  return SaveBook(book, kept, {});
}

namespace {

// A file added under its own name: where it is read from, its name and the
// id the book will write.
struct tSource {
  std::string Path, FileName, Id;
  bool ByIdOnly = false;  // the name given is not the file's own (a short 8.3 name)
};

// The rewrite that adds files: the ranges of the book that stay and the bytes
// put in, with each source's element and where it went.
struct tAddPlan {
  std::vector<tSource> Sources;
  std::vector<tReplaced> Replaced;  // by source
  std::vector<tRange> Kept;
  std::vector<tInsert> Inserts;
};

int PlanAdd(tHeldBook& book, const char* srcPath, const char* addList, int flags, tAddPlan& plan) {
  // Hosts ask to keep paths on every copy into an archive; with no folder
  // in any name there is none to keep, and nothing asked for is lost.
  if (flags & PK_PACK_SAVE_PATHS) {
    for (const std::string& name : ReadNameList(addList)) {
      if (NameStart(name, kNameSeparators) != 0) return E_NOT_SUPPORTED;
    }
  }
  tDiskRead& r = *book.Reader;
  const std::vector<tRange> whole = {{0, r.Size}};
  const std::uint64_t rootEnd = RootEndIn(r, whole);
  if (rootEnd == tElementScan::npos) return r.ShortRead ? E_EREAD : E_UNKNOWN_FORMAT;
  if (r.ShortRead) return E_EREAD;

  // Every source is sized before any is read: a book that would grow past
  // what can be opened and rewritten again is refused before the work.
  const std::string folder = srcPath ? srcPath : "";
  std::vector<tSource>& sources = plan.Sources;
  std::uint64_t total = r.Size;
  for (const std::string& name : ReadNameList(addList)) {
    std::size_t idStart = NameStart(name, kNameSeparators);
    if (idStart == name.size()) continue;  // a folder, not a file
    std::uint64_t size = 0;
    if (!platform::RegularFileSize(folder + name, size)) return E_EREAD;
    // Neither the book itself (it would be added into itself), nor a name
    // the book cannot hold faithfully.
    if (platform::IsFileOf(book.File.Held, folder + name)) return E_EREAD;
    // The id comes from the file's own name where a host gave another (a
    // short 8.3 name, for one the code page cannot spell): that name means
    // nothing in a book.
    std::string id;
    std::u32string longName;
    std::string fileName = name.substr(idStart);
    bool byIdOnly = false;
    if (platform::LongFileName(folder + name, longName)) {
      if (!WrittenIdOf(longName, id)) return E_EREAD;
      std::string spelt;  // the long name in the code page, when it can be
      for (char32_t c : longName) {
        const std::string ansi = platform::UnicodeToAnsi(c);
        if (ansi.empty()) {
          byIdOnly = true;
          break;
        }
        spelt += ansi;
      }
      if (!byIdOnly) fileName = spelt;
    } else if (!WrittenId(fileName, id)) {
      return E_EREAD;
    }
    total += ElementLength(id.size(), Base64Length(size));
    if (total > kMaxBookSize) return E_NO_MEMORY;
    sources.push_back({folder + name, fileName, std::move(id), byIdOnly});
  }

  // A source replaces the element listed under its file name (as the file
  // system compares names), and no other: in its place, under its id as the
  // book wrote it, so that every reference to it still holds. A source listed
  // nowhere is added before the root's end tag.
  tReplacing replacing;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (!sources[i].ByIdOnly) replacing.ByName.emplace(platform::FileNameKey(sources[i].FileName), i);
    replacing.ById.emplace(IdInUtf8(sources[i].Id, tCharset::Utf8), i);
  }
  std::vector<tRange>& kept = plan.Kept;
  plan.Replaced.assign(sources.size(), {});
  if (int rc = KeptRanges(book, {}, kept, &replacing, &plan.Replaced); rc != E_SUCCESS) return rc;
  // How the new elements are laid out, from the line the root's end tag is on.
  const tAddedPlace place = AddedPlace(BytesAt(r, rootEnd < kLineLook ? 0 : rootEnd - kLineLook, rootEnd));
  if (r.ShortRead) return E_EREAD;

  // Every source is read before the book is touched: one that cannot be read
  // fails the whole call.
  std::vector<tInsert>& inserts = plan.Inserts;
  std::string added;  // the new elements, for the root's end tag
  std::uint64_t size = r.Size;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string content;
    if (LoadFile(sources[i].Path, kMaxBookSize, content) != tLoad::Ok) return E_EREAD;
    const std::string type = ContentTypeOf(content, sources[i].FileName);
    if (plan.Replaced[i].Found) {
      std::string element;
      AppendInPlaceOf(element, plan.Replaced[i].Tag, plan.Replaced[i].Id, type, EncodeBase64(content));
      size += element.size();
      inserts.push_back({plan.Replaced[i].At, std::move(element)});
    } else {
      const std::size_t before = added.size();
      AppendElement(added, sources[i].Id, type, EncodeBase64(content), place.LineEnds);
      size += added.size() - before;
    }
    if (size > kMaxBookSize) return E_NO_MEMORY;  // a source grew since it was sized
  }
  // Where the new elements go in what stays: the root's end tag, unless the
  // removals left it inside an open tag.
  const bool allKept = kept.size() == 1 && kept[0].From == 0 && kept[0].To == r.Size;
  std::uint64_t at = allKept ? rootEnd : OldOffset(kept, RootEndIn(r, kept));
  if (r.ShortRead) return E_EREAD;
  if (at == tElementScan::npos) return E_UNKNOWN_FORMAT;
  at -= std::min<std::uint64_t>(at, place.Back);
  if (!added.empty()) inserts.push_back({at, std::move(added)});
  return E_SUCCESS;
}

// Writes the planned book, the inserts at their places in the order given
// where they share one.
int SavePlan(tHeldBook& book, tAddPlan& plan) {
  std::stable_sort(plan.Inserts.begin(), plan.Inserts.end(),
                   [](const tInsert& a, const tInsert& b) { return a.At < b.At; });
  return SaveBook(book, plan.Kept, plan.Inserts);
}

// Takes bytes [from, to) out of what stays; false when they are not all kept
// (they stand in an element that goes).
bool Cut(std::vector<tRange>& kept, std::uint64_t from, std::uint64_t to) {
  if (from == to) return true;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (from < kept[i].From || to > kept[i].To) continue;
    const tRange after = {to, kept[i].To};
    kept[i].To = from;
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(i) + 1, after);
    return true;
  }
  return false;
}

// True when an edit falls inside an element, as the element walk bounds it
// (an element whose end cannot be told runs to the end of the book): the
// text's markup and the walk may disagree in a broken book, and an entry's
// bytes are never written into.
bool InsideAnElement(tDiskRead& r, const std::vector<tByteEdit>& edits) {
  r.SeekTo(0);
  tElementScan scan(r);
  while (scan.Next()) {
    const std::uint64_t start = scan.Start;
    std::uint64_t end = scan.Closed ? scan.SkipElement() : tElementScan::npos;
    if (end == tElementScan::npos) end = r.Size;
    for (const tByteEdit& e : edits) {
      if (e.From < end && e.To > start) return true;
    }
    if (end == r.Size) break;
  }
  return false;
}

}  // namespace

int PackEntries(const char* packedFile, const char* srcPath, const char* addList, int flags) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tHeldBook book(packedFile);
  if (int rc = HoldBook(book); rc != E_SUCCESS) return rc;
  tAddPlan plan;
  if (int rc = PlanAdd(book, srcPath, addList, flags, plan); rc != E_SUCCESS) return rc;
  return SavePlan(book, plan);
}

tCoverOutcome SetCover(const std::string& bookPath, const std::string& file, const std::string& entry) {
  tCoverOutcome out;
  auto failed = [&](int rc) {
    out.Result = tCoverResult::Failed;
    out.Code = rc;
    return out;
  };
  tHeldBook book(bookPath.c_str());
  if (int rc = HoldBook(book); rc != E_SUCCESS) return failed(rc);
  tDiskRead& r = *book.Reader;
  tAddPlan plan;
  std::string id;  // as the book writes it, or will
  std::string name = entry;
  if (!file.empty()) {
    const std::vector<char> list = MakeNameList({file});
    if (int rc = PlanAdd(book, "", list.data(), 0, plan); rc != E_SUCCESS) return failed(rc);
    if (plan.Sources.empty()) return failed(E_EREAD);
    id = plan.Replaced[0].Found ? plan.Replaced[0].Id : plan.Sources[0].Id;
    out.Added = !plan.Replaced[0].Found;
    out.Replaced = plan.Replaced[0].Found;
    name = plan.Sources[0].FileName;
  } else {
    plan.Kept = {{0, r.Size}};
  }
  // The element listed under the name; a reference shows the first element of
  // an id, so one whose id an earlier element has cannot be made the cover.
  r.SeekTo(0);
  tElementScan scan(r);
  tEntryNames names;
  tStartTag tag;
  std::string listed;
  std::unordered_set<std::string> ids;
  bool found = false;
  while (NextListed(scan, book.Reader->Charset, names, tag, listed)) {
    const std::string decoded = IdInUtf8(tag.Id, book.Reader->Charset);
    // An added element stands after every other.
    const bool it = file.empty() ? listed == name : plan.Replaced[0].Found && scan.Start == plan.Replaced[0].At;
    if (it) {
      if (ids.count(decoded) != 0) {
        out.Result = tCoverResult::Shadowed;
        out.Name = listed;
        out.Id = decoded;
        return out;
      }
      id = tag.Id;
      found = true;
      break;
    }
    ids.insert(decoded);
  }
  if (r.ShortRead) return failed(E_EREAD);
  if (!found && file.empty()) {
    out.Result = tCoverResult::NoEntry;
    return out;
  }
  if (!found && out.Added && ids.count(IdInUtf8(id, book.Reader->Charset)) != 0) {
    out.Result = tCoverResult::Shadowed;
    out.Name = ReportedName(id, book.Reader->Charset);
    out.Id = IdInUtf8(id, book.Reader->Charset);
    return out;
  }
  out.Id = IdInUtf8(id, book.Reader->Charset);
  out.Name = found ? listed : ReportedName(id, book.Reader->Charset);

  // Where the cover is said, read over the book held.
  tReferenceScan references(book.Reader->Charset);
  references.ReadWhole(r);
  if (r.ShortRead) return failed(E_EREAD);
  out.HadCover = references.HasCover;
  out.OldCover = references.Cover;
  if (file.empty() && references.HasCover && references.Cover == out.Id) {
    out.Result = tCoverResult::Already;
    return out;
  }
  std::vector<tByteEdit> edits;
  auto bytesAt = [&](std::uint64_t from, std::uint64_t to) { return BytesAt(r, from, to); };
  switch (CoverEdits(references.Place, id, bytesAt, edits)) {
    case tCoverEdit::Done: break;
    case tCoverEdit::NoTitleInfo: out.Result = tCoverResult::NoTitleInfo; return out;
    case tCoverEdit::Unclear: out.Result = tCoverResult::Unclear; return out;
  }
  out.NewCoverPage = !references.Place.CoverPage.Found;
  if (InsideAnElement(r, edits)) {
    out.Result = tCoverResult::Unclear;
    return out;
  }
  if (r.ShortRead) return failed(E_EREAD);
  // The cover's edits stand in the book's description, before any element
  // added; the new element's place comes after them.
  std::vector<tInsert> inserts;
  for (tByteEdit& e : edits) {
    if (!Cut(plan.Kept, e.From, e.To)) {
      out.Result = tCoverResult::Unclear;
      return out;
    }
    inserts.push_back({e.From, std::move(e.Bytes)});
  }
  inserts.insert(inserts.end(), std::make_move_iterator(plan.Inserts.begin()),
                 std::make_move_iterator(plan.Inserts.end()));
  plan.Inserts = std::move(inserts);
  if (int rc = SavePlan(book, plan); rc != E_SUCCESS) return failed(rc);
  out.Result = tCoverResult::Done;
  return out;
}

}  // namespace fb2pack
