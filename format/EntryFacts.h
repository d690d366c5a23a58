// A book's entries read whole without writing anything, for what the result
// codes of extraction cannot tell (how an entry is damaged, what kind of
// bytes it holds): the command-line host's test of a book and its long
// listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/EntryContent.h"
#include "format/References.h"

struct tEntryFacts {
  std::string ContentType;  // as the element writes it; empty when it has none
  std::string Head;         // the first decoded bytes, enough to tell an image's kind
  std::uint64_t Size = 0;   // decoded bytes
  tContentEnd End;
};

// Each piece of entry number entry's decoded bytes, in order.
using tEntryBytes = std::function<void(std::size_t entry, const std::uint8_t* bytes, std::size_t n)>;

// Reads every entry of the book at path, decoding each as extraction does,
// and, in the same pass, its elements and what its text refers to (out runs
// beside refs.Elements); false when the book cannot be read.
bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out, tBookReferences& refs,
                 const tEntryBytes& bytes = nullptr);
