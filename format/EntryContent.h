// How an entry's content is read: the one reading that extraction and the
// command-line host's test of a book share.
#pragma once

#include <cstddef>
#include <functional>

#include "reader/SeqRead.h"

// How the reading of a content ended.
struct tContentEnd {
  bool Cut = false;       // the book ends inside the start tag or the content
  bool Stray = false;     // a '<' that starts no end tag stopped it: a comment, CDATA, another tag
  bool Foreign = false;   // it holds bytes that are not base64
  bool AfterEnd = false;  // symbols follow the padding that ended it
  bool Lone = false;      // a single symbol is left over at its end
  bool Damaged() const { return Stray || Foreign || AfterEnd || Lone; }
};

// Reads the content of the entry whose start tag the reader stands in (on
// or before its ">"): whatever follows the tag up to the next '<', decoded a
// window at a time, so that an entry of any size needs no more memory than
// one window's bytes; put takes the decoded bytes in order. The content of an
// element that closes itself is the text after it, read as it always was;
// that of one with an end tag must stop at that tag. The reader is left on
// the '<' that ended the content.
tContentEnd ReadEntryContent(tDiskRead& book, bool closesItself,
                             const std::function<void(const char*, std::size_t)>& put);
