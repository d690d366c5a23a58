// Deleting and adding work on the whole book as one text in memory, which is
// then written once, beside the book, and put in its place: the book on disk
// is always the old one or the new one, whole.
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "format/BookFormat.h"
#include "format/ContentType.h"
#include "format/EntryName.h"
#include "platform/Platform.h"
#include "plugin/NameList.h"
#include "plugin/Operations.h"
#include "textutil/Base64.h"
#include "textutil/FileText.h"
#include "textutil/PathRules.h"
#include "textutil/StrUtil.h"

namespace fb2pack {
namespace {

// A name is cut only at the separators of the system that gave it.
constexpr std::string_view kNameSeparators = SystemPathRules().Separators;

using tNameSet = std::unordered_set<std::string>;

// Opens the book for a rewrite, which holds it against every other rewrite
// until the end of the call, and reads it whole.
int LoadBook(tReplacement& book, std::string& text) {
  switch (book.Opened) {
    case tFileStatus::Ok: break;
    case tFileStatus::ReadOnly: break;  // read as ever; it will not be replaced
    case tFileStatus::Busy: return E_EOPEN;
    default: return E_UNKNOWN_FORMAT;  // a missing book, or a special file, is no book
  }
  switch (LoadFile(book.Held, text)) {
    case tFileStatus::Ok: break;
    case tFileStatus::TooLarge: return E_NO_MEMORY;
    default: return E_EREAD;
  }
  return HeadAllowsRewrite(text) ? E_SUCCESS : E_UNKNOWN_FORMAT;
}

int SaveBook(tReplacement& book, const std::vector<std::string_view>& parts) {
  if (!book.Create()) return E_ECREATE;
  for (std::string_view part : parts) book.Write(part.data(), part.size());
  return book.Commit() == tReplacement::Committed ? E_SUCCESS : E_EWRITE;
}

// The parts of text that stay when every element whose name, as the listing
// shows it, is in names goes, in order; nothing is copied. An element that
// must go but whose end cannot be told (no end tag of its own) makes the
// whole removal fail with E_BAD_ARCHIVE rather than cut into its neighbours.
int KeptParts(const std::string& text, tCharset charset, const tNameSet& names, std::vector<std::string_view>& kept) {
  const std::string_view whole(text);
  kept.clear();
  tEntryNames listed;    // every element is named, in book order, as the listing names it
  std::size_t from = 0;  // text before this has been decided
  std::size_t scan = 0;
  for (;;) {
    std::size_t start = whole.find(kBinaryStart, scan);
    if (start == std::string::npos) break;
    std::size_t close = whole.find(kTagEnd, start + kBinaryStart.size());
    if (close == std::string::npos) {
      std::string name = ReportedNameOf(text.data() + start, text.size() - start, charset);
      if (!name.empty() && names.count(listed.Take(name))) return E_BAD_ARCHIVE;
      break;
    }
    std::string name = ReportedNameOf(text.data() + start, close - start, charset);
    if (name.empty() || !names.count(listed.Take(name))) {
      scan = close + 1;
      continue;
    }
    std::size_t end = ElementEnd(whole, start, close);
    if (end == std::string::npos) return E_BAD_ARCHIVE;
    if (start > from) kept.push_back(whole.substr(from, start - from));
    from = end;
    scan = end;
  }
  if (from < text.size() || kept.empty()) kept.push_back(whole.substr(from));
  return E_SUCCESS;
}

// Makes text the kept parts joined, moving them down within the text itself:
// a book is held once, not twice.
void KeepOnly(std::string& text, const std::vector<std::string_view>& kept) {
  std::size_t written = 0;
  for (std::string_view part : kept) {
    if (part.data() != text.data() + written) std::memmove(text.data() + written, part.data(), part.size());
    written += part.size();
  }
  text.resize(written);
}

}  // namespace

int DeleteEntries(const char* packedFile, const char* deleteList) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tReplacement book(packedFile, tReplacement::Rewrite);
  std::string text;
  if (int rc = LoadBook(book, text); rc != E_SUCCESS) return rc;
  std::vector<std::string> names = ReadNameList(deleteList);
  // The kept parts go to the new book as they lie in the old one's text.
  std::vector<std::string_view> kept;
  const tCharset charset = DeclaredCharset(text.data(), text.size());
  if (int rc = KeptParts(text, charset, tNameSet(names.begin(), names.end()), kept); rc != E_SUCCESS) return rc;
  return SaveBook(book, kept);
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
  tReplacement book(packedFile, tReplacement::Rewrite);
  std::string text;
  if (int rc = LoadBook(book, text); rc != E_SUCCESS) return rc;
  if (InsertionPoint(text) == std::string::npos) return E_UNKNOWN_FORMAT;

  // Every source is sized before any is read: a book that would grow past
  // what can be opened and rewritten again is refused before the work.
  const std::string folder = srcPath ? srcPath : "";
  struct tSource {
    std::string path, fileName, id;
  };
  std::vector<tSource> sources;
  std::uint64_t total = text.size();
  for (const std::string& name : ReadNameList(addList)) {
    std::size_t idStart = NameStart(name, kNameSeparators);
    if (idStart == name.size()) continue;  // a folder, not a file
    std::uint64_t size = 0;
    if (!platform::RegularFileSize(folder + name, size)) return E_EREAD;
    // Neither the book itself (it would be added into itself), nor a name
    // the book cannot hold faithfully.
    if (platform::IsFileOf(book.Held, folder + name)) return E_EREAD;
    std::string id;
    if (!WrittenId(name.substr(idStart), id)) return E_EREAD;
    total += ElementLength(id.size(), Base64Length(size));
    if (total > kMaxText) return E_NO_MEMORY;
    sources.push_back({folder + name, name.substr(idStart), std::move(id)});
  }

  // Every source is read before the book is touched: one that cannot be read
  // fails the whole call.
  const tCharset charset = DeclaredCharset(text.data(), text.size());
  std::string pieces;
  tNameSet replaced;
  for (const tSource& source : sources) {
    std::string content;
    if (LoadFile(source.path, content) != tFileStatus::Ok) return E_EREAD;
    const std::size_t start = pieces.size();
    const std::size_t close =
        AppendElement(pieces, source.id, ContentTypeOf(content, source.fileName), EncodeBase64(content));
    // The new element replaces the one the listing shows under its name.
    replaced.insert(ReportedNameOf(pieces.data() + start, close - start, charset));
    if (text.size() + pieces.size() > kMaxText) return E_NO_MEMORY;  // a source grew since it was sized
  }
  std::vector<std::string_view> kept;
  if (int rc = KeptParts(text, charset, replaced, kept); rc != E_SUCCESS) return rc;
  if (kept.size() != 1 || kept[0].size() != text.size()) KeepOnly(text, kept);
  const std::size_t at = InsertionPoint(text);
  if (at == std::string::npos) return E_UNKNOWN_FORMAT;
  // Written around the new elements rather than inserted: no second copy of the book.
  std::string_view whole(text);
  return SaveBook(book, {whole.substr(0, at), pieces, whole.substr(at)});
}

}  // namespace fb2pack
