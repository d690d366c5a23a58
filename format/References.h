// The images a book's text shows, read the way XML software reads it: every
// attribute whose local name is "href" (any prefix, either quote, blanks
// around "=") of an element whose local name is "image", outside comments,
// CDATA sections and processing instructions, whose value starts with "#".
// Links (notes, sections, a table of contents) show no image. An entry's own
// bytes, from "<binary" to "</binary>", refer to nothing: a reader shows
// none of them, and whatever damage they hold cannot hide the text after
// them. The book's cover is the first such reference inside <coverpage> in
// <title-info>; the source book's, the same in <src-title-info> (elements
// known by their local names). The delete warning of the command-line host,
// its markings of covers and unused images, and the cover edit (which needs
// to know where the title's parts stand) are built on this one reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "textutil/Charset.h"

// Where the parts of <title-info> that say the cover stand, in offsets of the
// bytes fed: what the cover edit needs to change one reference, or to put a
// cover page where the FB2 schema has it, written as the book writes.
struct tCoverPlace {
  static constexpr std::uint64_t npos = ~std::uint64_t{0};
  int TitleInfos = 0;                   // start tags of <title-info>: one, or the place is unclear
  bool TitleInfoEnds = false;           // its end tag was read
  std::string Prefix;                   // the element prefix title-info is written with ("fb:" or none)
  std::uint64_t RootName = npos;        // just after the root's name in its start tag
  std::vector<std::string> RootNames;   // the namespace prefixes the root binds
  bool HasXlink = false;                // a prefix for XLink is bound on the root, description or title-info
  std::string Xlink;                    // that prefix
  std::uint64_t TitleInfoOpen = npos;   // just after title-info's start tag
  std::uint64_t TitleInfoClose = npos;  // at its end tag
  // An element directly in title-info: from Start to End, after the bytes
  // from After (the end of what stands before it: its indentation, if blank).
  struct tChild {
    bool Found = false;
    std::uint64_t After = npos, Start = npos, End = npos;
  };
  tChild First;                                  // the first element
  tChild LastBefore;                             // the last of those the schema puts before <coverpage>
  tChild CoverPage;                              // the first <coverpage>
  int CoverPages = 0;                            // how many: more than one makes the place unclear
  std::uint64_t CoverPageClose = npos;           // its end tag, when it has one
  bool HasImage = false;                         // an image in it
  std::uint64_t ImageName = npos;                // just after that image's name
  std::uint64_t HrefFrom = npos, HrefTo = npos;  // its href's value, quotes and all
};

// Finds references in bytes fed in order, in pieces of any size (the map of
// a book feeds it the bytes its walk reads).
class tReferenceScan final {
 public:
  explicit tReferenceScan(tCharset charset) : charset_(charset) {}
  // Bytes of the book in order, in pieces of any size.
  void Feed(const char* bytes, std::size_t n);
  // The id each reference names (the value after "#"), in text order,
  // decoded as IdInUtf8 decodes ids.
  std::vector<std::string> Targets;
  // The covers' references, when the book has them.
  bool HasCover = false, HasSourceCover = false;
  std::string Cover, SourceCover;
  tCoverPlace Place;

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
  void Step(char c, std::uint64_t at);
  // A start tag has ended, at the '>' at; its name is in tag_.
  void TagEnds(bool closesItself, std::uint64_t at);
  // An end tag has ended, at the '>' at; its name is in tag_.
  void EndTagEnds(std::uint64_t at);
  // An attribute's value has ended, at its closing quote at; its name is in
  // name_, the value in held_.
  void ValueEnds(std::uint64_t at);
  // A start tag's name has ended, in tag_, before the byte at.
  void NameEnds(std::uint64_t at);
  // An element directly in title-info has ended, at the '>' at.
  void ChildEnds(std::uint64_t at);

  // How deep the scan stands in each element that says where a cover is.
  int titleInfo_ = 0, srcTitleInfo_ = 0, coverpage_ = 0;
  std::uint64_t fed_ = 0;       // bytes fed before the piece being read
  std::uint64_t tagStart_ = 0;  // the '<' of the markup being read
  std::uint64_t valueStart_ = 0;
  bool rootSeen_ = false;
  bool isRoot_ = false;                                        // the tag being read is the root's
  bool isCoverImage_ = false;                                  // it is the image of the cover page
  bool isSourceCoverImage_ = false, sourceImageSeen_ = false;  // the same for the source book's
  int titleDepth_ = -1;        // elements open inside the place's title-info; -1 outside it
  bool inCoverPage_ = false;   // inside the place's cover page
  tCoverPlace::tChild child_;  // the element of title-info being read
  std::string childName_;      // its local name
  std::uint64_t childAfter_ = 0;
  std::string tagXlink_;  // a prefix for XLink that the tag being read binds
  bool tagBindsXlink_ = false;
  std::vector<std::string> tagNames_;  // the prefixes it binds
  std::string tag_;                    // the name of the tag being read
  bool slash_ = false;                 // the last byte of markup outside a value was "/"
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
    // Where the system's code page cannot spell the name: the name in UTF-8,
    // every character kept, unique among these as the listing's are among
    // its names (ReportedName's unicode form). Empty where it is Name.
    std::string FullName;
    // A reference shows the first element of an id: only that one is the
    // cover, the source book's cover, or an image the text shows.
    bool Shown = false;
    bool Cover = false, SourceCover = false, Referenced = false;
  };
  std::vector<tElement> Elements;    // in book order
  std::vector<std::string> Targets;  // as tReferenceScan gives them
  std::vector<std::string> Missing;  // the targets no element has, each once, in text order (a cover's too)
  bool HasCover = false, HasSourceCover = false;
  std::string Cover, SourceCover;  // as tReferenceScan gives them
  tCoverPlace Place;
  bool Ends = false;  // the root's end tag stands where adding finds it (tRootEndFinder): the book is not cut short
};
