#include "format/EntryContent.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "format/BookFormat.h"
#include "textutil/Base64.h"

namespace {

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

tContentEnd ReadEntryContent(tDiskRead& book, bool closesItself,
                             const std::function<void(const char*, std::size_t)>& put) {
  tContentEnd end;
  while (!book.Eof && book.Ch != kTagEnd) book.Next();
  // A book that ends before its content does (inside the start tag, or with
  // no '<' after the content) was cut short: what decodes is kept.
  end.Cut = book.Eof;
  book.Next();
  tBase64Decoder decoder;
  std::vector<char> decoded(tBase64Decoder::MaxOutput(tDiskRead::kWindowSize));
  bool ended = false;
  while (!book.Eof) {
    const std::uint32_t span = book.SpanTo(kContentEnd, ended);
    put(decoded.data(), decoder.Feed(reinterpret_cast<const char*>(book.Here()), span, decoded.data()));
    book.Skip(span);
    if (ended) break;
  }
  char tail[2];
  put(tail, decoder.Finish(tail));
  end.Cut = end.Cut || !ended;
  end.Stray = ended && !closesItself && !StartsHere(book, kBinaryEndStart);
  end.Foreign = decoder.SawForeign();
  end.AfterEnd = decoder.SawAfterEnd();
  end.Lone = decoder.LoneSymbolLeft();
  return end;
}
