// How a "<binary" start tag is read: the one reading that listing,
// extraction, deletion and the replace step of adding all share.
#pragma once

#include <string>
#include <string_view>

struct tStartTag {
  // The id attribute's value with one pair of quotes taken off, its bytes as
  // they stand (references are decoded only when the name is shown).
  std::string Id;
  // The tag ends with "/": the element has no content or end tag of its own.
  bool ClosesItself = false;
  // The content-type attribute's value, as the id's.
  std::string ContentType;
};

// Reads the bytes of a start tag from "<binary" up to, not including, its
// ">" (or to the end of a book that ends inside the tag). Attribute names are
// folded to lower case in the system's code page; a ">" inside quotes still
// ends the tag, as the listing finds it.
tStartTag ReadStartTag(std::string_view tagText);
