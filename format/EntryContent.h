// How an entry's content is read: the one reading that extraction and the
// command-line host's test of a book share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "reader/DiskRead.h"
#include "textutil/Base64.h"

// How the reading of a content ended.
struct tContentEnd {
  bool Cut = false;       // the book ends inside the start tag or the content
  bool Stray = false;     // a '<' that starts no end tag stopped it: a comment, CDATA, another tag
  bool Foreign = false;   // it holds bytes that are not base64
  bool AfterEnd = false;  // symbols follow the padding that ended it
  bool Lone = false;      // a single symbol is left over at its end
  bool Damaged() const { return Stray || Foreign || AfterEnd || Lone; }
};

// Where an entry's decoded bytes go: they are decoded straight into the room
// the sink gives, so a writer's buffer needs no copy.
class tContentSink {
 public:
  // Symbols decoded at a time, and the most bytes they give.
  static constexpr std::uint32_t kPieceSymbols = 65536;
  static constexpr std::size_t kMaxPiece = tBase64Decoder::MaxOutput(kPieceSymbols);
  // Room for kMaxPiece bytes, kept until Took.
  virtual char* Room() = 0;
  // The first n bytes of that room were decoded, in order after the last.
  virtual void Took(std::size_t n) = 0;

 protected:
  ~tContentSink() = default;
};

// Reads the content of the entry whose start tag the reader stands in (on
// or before its ">"): whatever follows the tag up to the next '<', decoded a
// piece at a time, so that an entry of any size needs no more memory than
// one window's bytes; the sink takes the decoded bytes in order. The content
// of an element that closes itself is the text after it, read as it always
// was; that of one with an end tag must stop at that tag. The reader is left
// on the '<' that ended the content.
tContentEnd ReadEntryContent(tDiskRead& book, bool closesItself, tContentSink& sink);
