// Listing and extraction stream the book through the archive handle: the
// reader's position is the only state that lasts from one call to the next.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CharHandlers/CharHandlers.h"
#include "format/BookFormat.h"
#include "format/ElementScan.h"
#include "format/EntryContent.h"
#include "format/EntryName.h"
#include "format/StartTag.h"
#include "plugin/Operations.h"
#include "textutil/Base64.h"

namespace fb2pack {
namespace {

// Copies at most 259 bytes and a NUL, so the 260-byte field is never passed.
void CopyName(char (&field)[kHeaderNameSize], const std::string& value) {
  std::size_t n = value.size() < kHeaderNameSize - 1 ? value.size() : kHeaderNameSize - 1;
  std::memcpy(field, value.data(), n);
  field[n] = '\0';
}

// Decodes straight into the writer's buffer.
class tToFile final : public tContentSink {
 public:
  explicit tToFile(tFileWrite& writer) : writer_(writer) {}
  char* Room() override { return writer_.Room(kMaxPiece); }
  void Took(std::size_t n) override { writer_.Took(n); }

 private:
  tFileWrite& writer_;
};

}  // namespace

int ReadNextHeader(tBook& book, tHeaderData& header) {
  tElementScan scan(book);
  tStartTag tag;
  std::string name;
  if (!NextListed(scan, book.Charset, book.Names, tag, name)) return E_NOT_SUPPORTED;
  CopyName(header.ArcName, book.FileName);
  CopyName(header.FileName, name);
  book.EntryClosesItself = tag.ClosesItself;
  return E_SUCCESS;
}

int ProcessEntry(tBook& book, int operation, const char* destPath, const char* destName) {
  if (operation != PK_EXTRACT) return operation == PK_SKIP ? E_SUCCESS : E_NOT_SUPPORTED;

  std::string dest = std::string(destPath ? destPath : "") + (destName ? destName : "");
  // The destination is replaced, never appended to, and only once the whole
  // entry has been written.
  tFileWrite writer(dest, &book.Writes);
  tToFile sink(writer);
  const tContentEnd end = ReadEntryContent(book, book.EntryClosesItself, sink);
  if (writer.Status == -1) return E_ECREATE;
  switch (writer.Commit()) {
    case tFileWrite::Committed: break;
    case tFileWrite::NotWritten: return E_EWRITE;
    case tFileWrite::NotPlaced: return E_ECREATE;
  }
  // Damage is told, and what decoded is kept.
  if (end.Cut) return E_BAD_ARCHIVE;
  if (end.Damaged()) return E_BAD_DATA;
  return E_SUCCESS;
}

}  // namespace fb2pack
