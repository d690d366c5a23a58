// What to write where so that an element becomes the book's cover: its
// reference put in the first image of <coverpage> in <title-info>, or a cover
// page put where the FB2 schema has it (after genre, author, book-title,
// annotation, keywords and date, before lang), written with the book's
// prefixes and indentation, and XLink bound on the root when the book binds
// it nowhere. Every other byte stays.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/References.h"

// Bytes From to To of the old book give way to Bytes.
struct tByteEdit {
  std::uint64_t From, To;
  std::string Bytes;
};

enum class tCoverEdit {
  Done,
  NoTitleInfo,  // the book has no <title-info>
  Unclear,      // more than one, one without its end, or more than one cover page in it
};

// The edits that make the element with writtenId (as the book writes it, or
// would) the cover of the book whose place is given; bytesAt reads the old
// book's bytes (for indentation). Edits come in book order.
tCoverEdit CoverEdits(const tCoverPlace& place, const std::string& writtenId,
                      const std::function<std::string(std::uint64_t, std::uint64_t)>& bytesAt,
                      std::vector<tByteEdit>& edits);
