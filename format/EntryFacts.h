// A book's entries read whole without writing anything: for the command-line
// host's test of a book, which tells what the plug-in's result codes cannot
// (how an entry is damaged, and whether its bytes are the kind its element
// says).
#pragma once

#include <string>
#include <vector>

#include "format/EntryContent.h"
#include "format/References.h"

struct tEntryFacts {
  std::string Name;         // as the listing names it
  std::string ContentType;  // as the element writes it; empty when it has none
  std::string Head;         // the first decoded bytes, enough to tell an image's kind
  tContentEnd End;
  std::string ImageDamage;  // what is wrong with the image its bytes make (tImageCheck); empty when nothing
};

// Reads every entry of the book at path, decoding each as extraction does
// and checking the image it holds, and, in the same pass, what its text
// refers to; false when the book cannot be read.
bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out, tBookReferences& refs);
