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

tContentEnd ReadEntryContent(tDiskRead& book, bool closesItself, tContentSink& sink) {
  tContentEnd end;
  while (!book.Eof && book.Ch != kTagEnd) book.Next();
  // A book that ends before its content does (inside the start tag, or with
  // no '<' after the content) was cut short: what decodes is kept.
  end.Cut = book.Eof;
  book.Next();
  tBase64Decoder decoder;
  bool ended = false;
  // The decoder stops at the content's end itself: no search for it goes
  // over the bytes first.
  while (!book.Eof && !ended) {
    const std::uint32_t ahead = book.Ahead();
    std::uint32_t at = 0;
    while (at < ahead && !ended) {
      const std::uint32_t piece = std::min(ahead - at, tContentSink::kPieceSymbols);
      std::size_t used = 0;
      sink.Took(
          decoder.FeedUpTo(kContentEnd, reinterpret_cast<const char*>(book.Here()) + at, piece, sink.Room(), used));
      at += static_cast<std::uint32_t>(used);
      ended = used < piece;
    }
    book.Skip(at);
  }
  sink.Took(decoder.Finish(sink.Room()));
  end.Cut = end.Cut || !ended;
  end.Stray = ended && !closesItself && !StartsHere(book, kBinaryEndStart);
  end.Foreign = decoder.SawForeign();
  end.AfterEnd = decoder.SawAfterEnd();
  end.Lone = decoder.LoneSymbolLeft();
  return end;
}
