// The further export: facts, a book read once (its entries, references and,
// when asked, every entry decoded), and on a book held for a change, delete
// and the cover edit, for the command-line host, in C terms. Nothing thrown
// inside leaves here.
#include "plugin/public/BookApi.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "format/BookFormat.h"
#include "format/BookMap.h"
#include "format/ContentType.h"
#include "format/EntryFacts.h"
#include "plugin/Cover.h"
#include "plugin/Delete.h"
#include "plugin/Guarded.h"
#include "plugin/public/NameList.h"
#include "plugin/public/iwcxhead.h"
#include "textutil/Base64.h"

struct tFb2Book {
  // Read for a look only, or held for a change.
  std::unique_ptr<tBookRead> Reader;
  tBookMap Read;
  std::unique_ptr<fb2pack::tHeldBook> Held;
  bool Changed = false;              // the one change has been made
  std::vector<tEntryFacts> Entries;  // beside the map's listed elements, when decoded
  fb2pack::tCoverOutcome Cover;
  const tBookMap& Map() const { return Held ? Held->Map : Read; }
};

namespace {

size_t FB2API_CALL RootTagWithin() { return kHeadSize; }

unsigned long long FB2API_CALL MaxBookSize() { return kMaxBookSize; }

int FB2API_CALL IsBookHead(const char* head, size_t n) {
  try {
    return head != nullptr && HeadIsBook({head, n}) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

unsigned long long FB2API_CALL AddedElementSize(size_t idLength, unsigned long long fileSize) {
  return ElementLength(idLength, Base64Length(fileSize));
}

int FB2API_CALL Sniff(const unsigned char* head, size_t n, const char** label, const char** contentType) {
  const tImageKind kind = SniffImage({reinterpret_cast<const char*>(head), head == nullptr ? 0 : n});
  // The kinds' names are literals: NUL-ended.
  if (kind.Label.empty()) return 0;
  if (label != nullptr) *label = kind.Label.data();
  if (contentType != nullptr) *contentType = kind.ContentType.data();
  return 1;
}

int FB2API_CALL OpenBook(const char* path, unsigned flags, tFb2BytesFn bytes, void* context, tFb2Book** book) {
  if (book == nullptr) return E_NOT_SUPPORTED;
  *book = nullptr;
  if (path == nullptr) return E_UNKNOWN_FORMAT;
  return fb2pack::Guarded([&]() -> int {
    auto opened = std::make_unique<tFb2Book>();
    tEntryBytes each;
    if (bytes != nullptr) {
      each = [bytes, context](std::size_t entry, const std::uint8_t* b, std::size_t n) { bytes(context, entry, b, n); };
    }
    const tEachElement inspect = (flags & FB2API_DECODE_ENTRIES) ? InspectEntries(opened->Entries, each) : nullptr;
    if (flags & FB2API_FOR_CHANGE) {
      opened->Held = std::make_unique<fb2pack::tHeldBook>(path);
      if (int rc = fb2pack::HoldBook(*opened->Held, inspect); rc != E_SUCCESS) return rc;
    } else {
      opened->Reader = std::make_unique<tBookRead>(path);
      tBookRead& r = *opened->Reader;
      if (r.Handle == platform::InvalidHandle) return E_EOPEN;
      if (r.ShortRead || !MapBook(r, opened->Read, inspect)) return E_EREAD;
    }
    *book = opened.release();
    return E_SUCCESS;
  });
}

void FB2API_CALL CloseBook(tFb2Book* book) { delete book; }

void FB2API_CALL BookFacts(const tFb2Book* book, tFb2BookFacts* facts) {
  if (facts == nullptr) return;
  *facts = {};
  if (book == nullptr) return;
  const tBookReferences& refs = book->Map().References;
  facts->Entries = refs.Elements.size();
  facts->Missing = refs.Missing.size();
  facts->Ends = refs.Ends ? 1 : 0;
  facts->HasCover = refs.HasCover ? 1 : 0;
  facts->Cover = refs.Cover.c_str();
}

int FB2API_CALL Entry(const tFb2Book* book, size_t i, tFb2Entry* entry) {
  if (book == nullptr || entry == nullptr || i >= book->Map().References.Elements.size()) return 0;
  const tBookReferences::tElement& e = book->Map().References.Elements[i];
  *entry = {};
  entry->Name = e.Name.c_str();
  entry->Id = e.Id.c_str();
  entry->FullName = e.FullName.empty() ? nullptr : e.FullName.c_str();
  entry->Shown = e.Shown;
  entry->Cover = e.Cover;
  entry->SourceCover = e.SourceCover;
  entry->Referenced = e.Referenced;
  entry->ContentType = "";
  if (i < book->Entries.size()) {
    const tEntryFacts& f = book->Entries[i];
    entry->ContentType = f.ContentType.c_str();
    entry->Size = f.Size;
    entry->Head = reinterpret_cast<const unsigned char*>(f.Head.data());
    entry->HeadLength = f.Head.size();
    entry->Damage = (f.End.Cut ? FB2API_CUT : 0) | (f.End.Stray ? FB2API_STRAY : 0) |
                    (f.End.Foreign ? FB2API_FOREIGN : 0) | (f.End.AfterEnd ? FB2API_AFTER_END : 0) |
                    (f.End.Lone ? FB2API_LONE : 0);
  }
  return 1;
}

const char* FB2API_CALL Missing(const tFb2Book* book, size_t i) {
  if (book == nullptr || i >= book->Map().References.Missing.size()) return nullptr;
  return book->Map().References.Missing[i].c_str();
}

int FB2API_CALL DeleteEntries(tFb2Book* book, const char* nameList) {
  if (book == nullptr || !book->Held || book->Changed) return E_NOT_SUPPORTED;
  book->Changed = true;
  return fb2pack::Guarded([&] {
    const std::vector<std::string> names = ReadNameList(nameList);
    return fb2pack::DeleteFrom(*book->Held, fb2pack::tNameSet(names.begin(), names.end()));
  });
}

void FB2API_CALL SetCover(tFb2Book* book, const char* file, const char* entry, tFb2CoverOutcome* outcome) {
  if (outcome == nullptr) return;
  *outcome = {};
  outcome->Result = FB2API_COVER_FAILED;
  outcome->Code = E_NOT_SUPPORTED;
  if (book == nullptr || !book->Held || book->Changed) return;
  book->Changed = true;
  fb2pack::tCoverOutcome& out = book->Cover;
  outcome->Code = fb2pack::Guarded([&] {
    out = fb2pack::SetCover(*book->Held, file ? file : "", entry ? entry : "");
    return out.Code;
  });
  if (outcome->Code != out.Code) return;  // it threw
  outcome->Result = static_cast<int>(out.Result);
  outcome->Name = out.Name.c_str();
  outcome->FullName = out.FullName.empty() ? nullptr : out.FullName.c_str();
  outcome->Id = out.Id.c_str();
  outcome->Added = out.Added;
  outcome->Replaced = out.Replaced;
  outcome->HadCover = out.HadCover;
  outcome->OldCover = out.OldCover.c_str();
  outcome->NewCoverPage = out.NewCoverPage;
}

// The results keep the order the table declares them in.
static_assert(static_cast<int>(fb2pack::tCoverResult::Done) == FB2API_COVER_DONE &&
              static_cast<int>(fb2pack::tCoverResult::Already) == FB2API_COVER_ALREADY &&
              static_cast<int>(fb2pack::tCoverResult::NoEntry) == FB2API_COVER_NO_ENTRY &&
              static_cast<int>(fb2pack::tCoverResult::Shadowed) == FB2API_COVER_SHADOWED &&
              static_cast<int>(fb2pack::tCoverResult::NoTitleInfo) == FB2API_COVER_NO_TITLE &&
              static_cast<int>(fb2pack::tCoverResult::Unclear) == FB2API_COVER_UNCLEAR &&
              static_cast<int>(fb2pack::tCoverResult::Failed) == FB2API_COVER_FAILED);

constexpr tFb2Api kApi = {FB2API_VERSION, sizeof(tFb2Api), RootTagWithin, MaxBookSize, IsBookHead, AddedElementSize,
                          Sniff,          OpenBook,        CloseBook,     BookFacts,   Entry,      Missing,
                          DeleteEntries,  SetCover};

}  // namespace

extern "C" const tFb2Api* FB2API_CALL FB2PackBookApi(unsigned version) {
  return version == FB2API_VERSION ? &kApi : nullptr;
}
