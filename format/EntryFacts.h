// A book's entries read whole without writing anything, for what the result
// codes of extraction cannot tell (how an entry is damaged, what kind of
// bytes it holds): the command-line host's test of a book and its long
// listing. They are read as the book is mapped, in the same pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/BookMap.h"
#include "format/EntryContent.h"

struct tEntryFacts {
  std::string ContentType;  // as the element writes it; empty when it has none
  std::string Head;         // the first decoded bytes, enough to tell an image's kind
  std::uint64_t Size = 0;   // decoded bytes
  tContentEnd End;
};

// Each piece of entry number entry's decoded bytes, in order.
using tEntryBytes = std::function<void(std::size_t entry, const std::uint8_t* bytes, std::size_t n)>;

// What MapBook is to show each listed element so that every entry is decoded
// as extraction does (the next search starts where its content ended), its
// facts appended to out (beside the map's listed elements) and its bytes
// handed to bytes. out and bytes must outlive the mapping.
tEachElement InspectEntries(std::vector<tEntryFacts>& out, const tEntryBytes& bytes);
