#include "plugin/Cover.h"

#include <unordered_set>

#include "format/CoverEdit.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/References.h"
#include "format/StartTag.h"
#include "plugin/Add.h"
#include "plugin/public/NameList.h"
#include "plugin/public/iwcxhead.h"

namespace fb2pack {
namespace {

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
