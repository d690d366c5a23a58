// What a book's text refers to, read the way XML software reads it: every
// attribute whose local name is "href" (any prefix, either quote, blanks
// around "="), in any start tag outside comments, CDATA sections and
// processing instructions, whose value starts with "#". An entry's own
// bytes, from "<binary" to "</binary>", refer to nothing: a reader shows
// none of them, and whatever damage they hold cannot hide the text after
// them. The book's cover is
// the first such reference inside <coverpage> in <title-info>; the source
// book's, the same in <src-title-info> (elements known by their local names).
// The delete warning of the command-line host and its markings of covers and
// unused images are built on this one reading.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "textutil/Charset.h"

// Finds references in bytes fed in order, in pieces of any size.
class tReferenceScan {
 public:
  explicit tReferenceScan(tCharset charset) : charset_(charset) {}
  void Feed(const char* bytes, std::size_t n);
  // The id each reference names (the value after "#"), in text order,
  // decoded as IdInUtf8 decodes ids.
  std::vector<std::string> Targets;
  // The covers' references, when the book has them.
  bool HasCover = false, HasSourceCover = false;
  std::string Cover, SourceCover;

 private:
  enum tState {
    Text,
    Lt,
    Bang,
    Comment,
    Cdata,
    Declaration,
    Pi,
    TagName,
    Attributes,
    AttributeName,
    AfterName,
    BeforeValue,
    Value,
    Unquoted,
    EndTag,
    BinaryContent,
    BinaryEnd
  };
  void Step(char c);
  // A start tag has ended; its name is in tag_.
  void TagEnds(bool closesItself);
  // An end tag has ended; its name is in tag_.
  void EndTagEnds();

  // How deep the scan stands in each element that says where a cover is.
  int titleInfo_ = 0, srcTitleInfo_ = 0, coverpage_ = 0;
  std::string tag_;     // the name of the tag being read
  bool slash_ = false;  // the last byte of markup outside a value was "/"
  tCharset charset_;
  tState state_ = Text;
  std::string held_;  // the markup start read so far, an attribute's name, or its value
  std::string name_;  // the attribute whose value is read
  char quote_ = 0;
  std::size_t endMatched_ = 0;  // bytes of "</binary>" matched in an entry's content
  unsigned tail_ = 0;           // the last bytes of a comment, CDATA or processing instruction, as a shift register
};

// A book's elements and the references its text makes to them.
struct tBookReferences {
  struct tElement {
    std::string Name;  // as the listing names it
    std::string Id;    // as IdInUtf8 gives it
  };
  std::vector<tElement> Elements;    // in book order
  std::vector<std::string> Targets;  // as tReferenceScan gives them
  bool HasCover = false, HasSourceCover = false;
  std::string Cover, SourceCover;  // as tReferenceScan gives them
};

// Reads the book at path; false when it cannot be read.
bool ReadBookReferences(const std::string& path, tBookReferences& out);
