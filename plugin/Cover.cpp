#include "plugin/Cover.h"

#include "format/CoverEdit.h"
#include "format/EntryName.h"
#include "format/References.h"
#include "format/StartTag.h"
#include "platform/Platform.h"
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
bool InsideAnElement(const tBookMap& map, const std::vector<tByteEdit>& edits) {
  for (const tMapElement& element : map.Elements) {
    const std::uint64_t start = element.Start;
    const std::uint64_t end = element.Closed && element.End != tMapElement::npos ? element.End : map.Size;
    for (const tByteEdit& e : edits) {
      if (e.From < end && e.To > start) return true;
    }
    if (end == map.Size) break;
  }
  return false;
}

}  // namespace

tCoverOutcome SetCover(tHeldBook& book, const std::string& file, const std::string& entry) {
  tCoverOutcome out;
  auto failed = [&](int rc) {
    out.Result = tCoverResult::Failed;
    out.Code = rc;
    return out;
  };
  tDiskRead& r = *book.Reader;
  const tCharset charset = book.Reader->Charset;
  const tBookReferences& refs = book.Map.References;
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
  // The element listed under the name (an added one stands after every
  // other); a reference shows the first element of an id, so one whose id
  // an earlier element has cannot be made the cover.
  const tMapElement* it = nullptr;
  for (const tMapElement& element : book.Map.Elements) {
    if (element.Listed < 0) continue;
    if (file.empty() ? NameOf(book, element) == name : plan.Replaced[0].Found && element.Start == plan.Replaced[0].At) {
      it = &element;
      break;
    }
  }
  if (it != nullptr) {
    const tBookReferences::tElement& listed = refs.Elements[static_cast<std::size_t>(it->Listed)];
    if (!listed.Shown) {
      out.Result = tCoverResult::Shadowed;
      out.Name = listed.Name;
      out.FullName = listed.FullName;
      out.Id = listed.Id;
      return out;
    }
    id = ReadStartTag(TagOf(book, *it)).Id;
    if (r.ShortRead) return failed(E_EREAD);
    out.Name = listed.Name;
    out.FullName = listed.FullName;
  } else if (file.empty()) {
    out.Result = tCoverResult::NoEntry;
    return out;
  } else {
    out.Name = ReportedName(id, charset);
    if (!platform::FileNamesAreUtf8()) out.FullName = ReportedName(id, charset, true);
    if (out.FullName == out.Name) out.FullName.clear();
    const std::string decoded = IdInUtf8(id, charset);
    for (const tBookReferences::tElement& e : refs.Elements) {
      if (e.Id == decoded) {
        out.Result = tCoverResult::Shadowed;
        out.Id = decoded;
        return out;
      }
    }
  }
  out.Id = IdInUtf8(id, charset);

  // Where the cover is said, as the map read it.
  out.HadCover = refs.HasCover;
  out.OldCover = refs.Cover;
  if (file.empty() && refs.HasCover && refs.Cover == out.Id) {
    out.Result = tCoverResult::Already;
    return out;
  }
  std::vector<tByteEdit> edits;
  auto bytesAt = [&](std::uint64_t from, std::uint64_t to) { return r.BytesAt(from, to); };
  switch (CoverEdits(refs.Place, id, bytesAt, edits)) {
    case tCoverEdit::Done: break;
    case tCoverEdit::NoTitleInfo: out.Result = tCoverResult::NoTitleInfo; return out;
    case tCoverEdit::Unclear: out.Result = tCoverResult::Unclear; return out;
  }
  if (r.ShortRead) return failed(E_EREAD);
  out.NewCoverPage = !refs.Place.CoverPage.Found;
  if (InsideAnElement(book.Map, edits)) {
    out.Result = tCoverResult::Unclear;
    return out;
  }
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
