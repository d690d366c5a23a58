// Deleting and adding stream the book: a walk over its elements finds the
// byte ranges that stay, and the new book is written from them (copied file
// to file, in the kernel where the system can) and the added elements, beside
// the book, then put in its place: the book on disk is always the old one or
// the new one, whole, and it is never held in memory.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "format/BookFormat.h"
#include "format/ContentType.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "platform/Platform.h"
#include "plugin/NameList.h"
#include "plugin/Operations.h"
#include "reader/SeqRead.h"
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

// The book held for a rewrite (against every other rewrite, until the end of
// the call) and read through that hold.
struct tHeldBook {
  explicit tHeldBook(const char* path) : File(path, tReplacement::Rewrite) {}
  tReplacement File;
  std::unique_ptr<tDiskRead> Reader;
  tCharset Charset = tCharset::Utf8;
};

int OpenBook(tHeldBook& book) {
  switch (book.File.Opened) {
    case tFileStatus::Ok: break;
    case tFileStatus::ReadOnly: break;  // read as ever; it will not be replaced
    case tFileStatus::Busy: return E_EOPEN;
    default: return E_UNKNOWN_FORMAT;  // a missing book, or a special file, is no book
  }
  std::uint64_t size = 0;
  if (!platform::FileSize(book.File.Held, size)) return E_EREAD;
  if (size > kMaxText) return E_NO_MEMORY;
  book.Reader = std::make_unique<tDiskRead>(book.File.Held, book.File.Target);
  const tDiskRead& r = *book.Reader;
  if (r.ShortRead) return E_EREAD;
  // The head and the declaration stand in the first window.
  const std::string_view head(reinterpret_cast<const char*>(r.Window), r.WindowLength);
  if (!HeadAllowsRewrite(head)) return E_UNKNOWN_FORMAT;
  book.Charset = DeclaredCharset(head.data(), head.size());
  return E_SUCCESS;
}

// Feeds the bytes of ranges, in order, to the finder of the root's end tag.
std::uint64_t InsertionPoint(tDiskRead& r, const std::vector<tRange>& ranges) {
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
// E_BAD_ARCHIVE rather than cut into its neighbours.
int KeptRanges(tHeldBook& book, const tNameSet& names, std::vector<tRange>& kept) {
  tDiskRead& r = *book.Reader;
  r.SeekTo(0);
  kept.clear();
  tElementScan scan(r);
  tEntryNames listed;      // every element is named, in book order, as the listing names it
  std::uint64_t from = 0;  // bytes before this have been decided
  while (scan.Next()) {
    const std::string name = ReportedNameOf(scan.TagText, book.Charset);
    const bool goes = !name.empty() && names.count(listed.Take(name)) != 0;
    if (!scan.Closed) {
      if (goes) return E_BAD_ARCHIVE;
      break;
    }
    if (!goes) continue;  // the next search starts at its ">"
    const std::uint64_t end = scan.SkipElement();
    if (end == tElementScan::npos) return r.ShortRead ? E_EREAD : E_BAD_ARCHIVE;
    if (scan.Start > from) kept.push_back({from, scan.Start});
    from = end;
  }
  if (r.ShortRead) return E_EREAD;
  if (from < r.Size || kept.empty()) kept.push_back({from, r.Size});
  return E_SUCCESS;
}

// Writes the new book: the kept ranges, with pieces at the insertion point
// (counted in kept bytes; none for npos), and puts it in the book's place.
int SaveBook(tHeldBook& book, const std::vector<tRange>& kept, std::uint64_t insertAt, const std::string& pieces) {
  tReplacement& file = book.File;
  if (!file.Create()) return E_ECREATE;
  std::uint64_t keptSoFar = 0;
  for (const tRange& range : kept) {
    const std::uint64_t length = range.To - range.From;
    if (insertAt >= keptSoFar && insertAt < keptSoFar + length) {
      const std::uint64_t before = insertAt - keptSoFar;
      file.Copy(file.Held, range.From, before);
      file.Write(pieces.data(), pieces.size());
      file.Copy(file.Held, range.From + before, length - before);
    } else {
      file.Copy(file.Held, range.From, length);
    }
    keptSoFar += length;
  }
  return file.Commit() == tReplacement::Committed ? E_SUCCESS : E_EWRITE;
}

}  // namespace

int DeleteEntries(const char* packedFile, const char* deleteList) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tHeldBook book(packedFile);
  if (int rc = OpenBook(book); rc != E_SUCCESS) return rc;
  std::vector<std::string> names = ReadNameList(deleteList);
  std::vector<tRange> kept;
  if (int rc = KeptRanges(book, tNameSet(names.begin(), names.end()), kept); rc != E_SUCCESS) return rc;
  return SaveBook(book, kept, tElementScan::npos, {});
}

int PackEntries(const char* packedFile, const char* srcPath, const char* addList, int flags) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  // Hosts ask to keep paths on every copy into an archive; with no folder
  // in any name there is none to keep, and nothing asked for is lost.
  if (flags & PK_PACK_SAVE_PATHS) {
    for (const std::string& name : ReadNameList(addList)) {
      if (NameStart(name, kNameSeparators) != 0) return E_NOT_SUPPORTED;
    }
  }
  tHeldBook book(packedFile);
  if (int rc = OpenBook(book); rc != E_SUCCESS) return rc;
  tDiskRead& r = *book.Reader;
  const std::vector<tRange> whole = {{0, r.Size}};
  const std::uint64_t rootEnd = InsertionPoint(r, whole);
  if (rootEnd == tElementScan::npos) return r.ShortRead ? E_EREAD : E_UNKNOWN_FORMAT;
  if (r.ShortRead) return E_EREAD;

  // Every source is sized before any is read: a book that would grow past
  // what can be opened and rewritten again is refused before the work.
  const std::string folder = srcPath ? srcPath : "";
  struct tSource {
    std::string path, fileName, id;
  };
  std::vector<tSource> sources;
  std::uint64_t total = r.Size;
  for (const std::string& name : ReadNameList(addList)) {
    std::size_t idStart = NameStart(name, kNameSeparators);
    if (idStart == name.size()) continue;  // a folder, not a file
    std::uint64_t size = 0;
    if (!platform::RegularFileSize(folder + name, size)) return E_EREAD;
    // Neither the book itself (it would be added into itself), nor a name
    // the book cannot hold faithfully.
    if (platform::IsFileOf(book.File.Held, folder + name)) return E_EREAD;
    std::string id;
    if (!WrittenId(name.substr(idStart), id)) return E_EREAD;
    total += ElementLength(id.size(), Base64Length(size));
    if (total > kMaxText) return E_NO_MEMORY;
    sources.push_back({folder + name, name.substr(idStart), std::move(id)});
  }

  // Every source is read before the book is touched: one that cannot be read
  // fails the whole call.
  std::string pieces;
  tNameSet replaced;
  for (const tSource& source : sources) {
    std::string content;
    if (LoadFile(source.path, content) != tFileStatus::Ok) return E_EREAD;
    const std::size_t start = pieces.size();
    const std::size_t close =
        AppendElement(pieces, source.id, ContentTypeOf(content, source.fileName), EncodeBase64(content));
    // The new element replaces the one the listing shows under its name.
    replaced.insert(ReportedNameOf(std::string_view(pieces).substr(start, close - start), book.Charset));
    if (r.Size + pieces.size() > kMaxText) return E_NO_MEMORY;  // a source grew since it was sized
  }
  std::vector<tRange> kept;
  if (int rc = KeptRanges(book, replaced, kept); rc != E_SUCCESS) return rc;
  // Where the new elements go in what stays: the root's end tag, unless the
  // removals left it inside an open tag.
  const bool allKept = kept.size() == 1 && kept[0].From == 0 && kept[0].To == r.Size;
  const std::uint64_t at = allKept ? rootEnd : InsertionPoint(r, kept);
  if (r.ShortRead) return E_EREAD;
  if (at == tElementScan::npos) return E_UNKNOWN_FORMAT;
  return SaveBook(book, kept, at, pieces);
}

}  // namespace fb2pack
