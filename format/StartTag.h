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

// The bytes of a start tag (as ReadStartTag takes them) with its content type
// set to type, for an element that gets new content: the attribute that
// ReadStartTag reads as the content type is written anew, or added at the
// end when there is none; every other byte stays. A tag that closed itself
// no longer does (the element gets content and an end tag). False when the
// tag ends inside another attribute's quoted value: whatever followed would
// be read as part of that value.
bool WithContentType(std::string_view tagText, std::string_view type, std::string& out);
