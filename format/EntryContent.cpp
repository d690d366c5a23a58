#include "format/EntryContent.h"

#include <algorithm>
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

void tHeadSink::Took(std::size_t n) {
  if (Head.size() < keep_) Head.append(room_.data(), std::min(n, keep_ - Head.size()));
}

tContentEnd ReadEntryContent(tDiskRead& book, bool closesItself, tContentSink& sink) {
  tContentEnd end;
  while (!book.Eof && book.Ch != kTagEnd) book.Next();
  // A book that ends before its content does (inside the start tag, or with
  // no '<' after the content) was cut short: what decodes is kept.
  end.Cut = book.Eof;
  book.Next();
  tBase64Decoder decoder;
  bool ended = false;
  while (!book.Eof) {
    const std::uint32_t span = book.SpanTo(kContentEnd, ended);
    for (std::uint32_t at = 0; at < span; at += tContentSink::kPieceSymbols) {
      const std::uint32_t piece = std::min(span - at, tContentSink::kPieceSymbols);
      sink.Took(decoder.Feed(reinterpret_cast<const char*>(book.Here()) + at, piece, sink.Room()));
    }
    book.Skip(span);
    if (ended) break;
  }
  sink.Took(decoder.Finish(sink.Room()));
  end.Cut = end.Cut || !ended;
  end.Stray = ended && !closesItself && !StartsHere(book, kBinaryEndStart);
  end.Foreign = decoder.SawForeign();
  end.AfterEnd = decoder.SawAfterEnd();
  end.Lone = decoder.LoneSymbolLeft();
  return end;
}
