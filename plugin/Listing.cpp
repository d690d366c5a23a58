// Listing and extraction stream the book through the archive handle: the
// reader's position is the only state that lasts from one call to the next.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CharHandlers/CharHandlers.h"
#include "format/BookFormat.h"
#include "format/ElementScan.h"
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

// The bytes from the reader's position up to the next '<' in its window, in
// bulk; the whole rest of the window when there is none (found then false).
std::uint32_t SpanToLt(const tDiskRead& book, bool& found) {
  const std::uint8_t* here = book.Here();
  const std::uint32_t ahead = book.Ahead();
  const void* lt = std::memchr(here, kContentEnd, ahead);
  found = lt != nullptr;
  return found ? static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(lt) - here) : ahead;
}

// True when the bytes at the reader's position start text; the reader stays
// where it is.
bool StartsHere(tDiskRead& book, std::string_view text) {
  if (book.Ahead() >= text.size()) return std::memcmp(book.Here(), text.data(), text.size()) == 0;
  const std::uint32_t at = book.Pos;
  bool same = true;
  for (std::size_t i = 0; i < text.size() && same; ++i, book.Next()) same = !book.Eof && book.Ch == text[i];
  book.SeekTo(at);
  return same;
}

}  // namespace

int ReadNextHeader(tBook& book, tHeaderData& header) {
  // An element without a usable name is passed over, so it cannot hide the
  // entries after it; only the end of the book ends the list.
  tElementScan scan(book);
  while (scan.Next()) {
    const tStartTag tag = ReadStartTag(scan.TagText);
    const std::string name = ReportedName(tag.Id, book.Charset);
    if (!name.empty()) {
      CopyName(header.ArcName, book.FileName);
      CopyName(header.FileName, book.Names.Take(name));
      book.EntryClosesItself = tag.ClosesItself;
      return E_SUCCESS;
    }
    if (!scan.Closed) break;
  }
  return E_NOT_SUPPORTED;
}

int ProcessEntry(tBook& book, int operation, const char* destPath, const char* destName) {
  if (operation != PK_EXTRACT) return operation == PK_SKIP ? E_SUCCESS : E_NOT_SUPPORTED;

  std::string dest = std::string(destPath ? destPath : "") + (destName ? destName : "");
  // The destination is replaced, never appended to, and only once the whole
  // entry has been written.
  tFileWrite writer(dest, tFileWrite::Replacing);
  // The content is whatever follows the start tag up to the next '<', a tag
  // that closes itself included (as a rule only a line break then): reading
  // takes bytes as they lie, while a removal takes only the element itself
  // (ElementEnd).
  while (!book.Eof && book.Ch != kTagEnd) book.Next();
  // A book that ends before its content does (inside the start tag, or with
  // no '<' after the content) was cut short: what decodes is kept, and the
  // damage is told.
  bool cut = book.Eof;
  book.Next();
  // The content runs to the next '<'. It is decoded a window at a time, so
  // an entry of any size needs no more memory than one window's bytes.
  tBase64Decoder decoder;
  std::vector<char> decoded(tBase64Decoder::MaxOutput(tDiskRead::kWindowSize));
  bool ended = false;
  while (!book.Eof) {
    const std::uint32_t span = SpanToLt(book, ended);
    if (writer.Status == 0) {
      writer.PutBytes(decoded.data(), decoder.Feed(reinterpret_cast<const char*>(book.Here()), span, decoded.data()));
    }
    book.Skip(span);
    if (ended) break;
  }
  cut = cut || !ended;
  if (writer.Status == 0) {
    char tail[2];
    writer.PutBytes(tail, decoder.Finish(tail));
  }
  // The content of an element with an end tag stops at that tag; a comment,
  // CDATA or any other tag there has cut it short. (One that closes itself
  // has no content: what follows it is read as it always was.)
  const bool stray = ended && !book.EntryClosesItself && !StartsHere(book, kBinaryEndStart);
  if (writer.Status == -1) return E_ECREATE;
  switch (writer.Commit()) {
    case tFileWrite::Committed: break;
    case tFileWrite::NotWritten: return E_EWRITE;
    case tFileWrite::NotPlaced: return E_ECREATE;
  }
  if (cut) return E_BAD_ARCHIVE;
  if (stray || decoder.Damaged()) return E_BAD_DATA;
  return E_SUCCESS;
}

}  // namespace fb2pack
