// What the core offers the command-line host beyond the archive operations,
// which the host drives through the plug-in's exports like any host: facts
// about books and paths, the kinds of image, a book's references (the
// listing's markings, the delete warning), its entries read whole (the test
// of a book), and the cover edit. This folder is all the host is compiled
// against, so anything else of the core fails to compile there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fb2pack {

// Where a book's root tag must stand: within this many first bytes.
std::size_t RootTagWithin();
// The largest book that is rewritten, and that a rewrite may make.
std::uint64_t MaxBookSize();
// True when a file's first bytes are a zip archive's: no book, even when it
// stores one uncompressed.
bool IsZipArchive(std::string_view head);
// True when a file whose first RootTagWithin() bytes are head is recognised
// as a book, by the rule CanYouHandleThisFile applies.
bool IsBookHead(std::string_view head);
// The most a book grows by when a file of fileSize bytes is added under an
// id of idLength bytes.
std::uint64_t AddedElementSize(std::size_t idLength, std::uint64_t fileSize);

// Paths as this system cuts them: whether names follow Windows rules, the
// separator written between a folder and a name, whether a byte ends a
// folder part, and where the name part of a path starts.
bool WindowsFileNames();
char PathSeparator();
bool IsPathSeparator(char c);
std::size_t FileNameStart(const std::string& path);

// The kind of image the first bytes of a file show.
struct tImageKind {
  std::string_view Label;        // "PNG"; empty when the bytes show no known kind
  std::string_view ContentType;  // "image/png"
};
tImageKind SniffImage(std::string_view head);

// A book's elements and the references its text makes to them.
struct tBookReferences {
  struct tElement {
    std::string Name;  // as the listing names it
    std::string Id;    // in UTF-8
  };
  std::vector<tElement> Elements;    // in book order
  std::vector<std::string> Targets;  // each reference's id, in UTF-8, in text order
  bool HasCover = false, HasSourceCover = false;
  std::string Cover, SourceCover;  // the ids the title's and the source book's cover pages name
  bool Ends = false;               // the root's end tag stands where adding puts images: not cut short
};
// Reads the book at path; false when it cannot be read.
bool ReadBookReferences(const std::string& path, tBookReferences& out);

// An entry read whole, as extraction decodes it, without writing anything.
struct tEntryFacts {
  std::string Name;         // as the listing names it
  std::string ContentType;  // as the element writes it; empty when it has none
  std::string Head;         // the first decoded bytes, enough to tell an image's kind
  bool Cut = false;         // the book ends inside its start tag or content
  bool Stray = false;       // a '<' that starts no end tag stopped it
  bool Foreign = false;     // it holds bytes that are not base64
  bool AfterEnd = false;    // symbols follow the padding that ended it
  bool Lone = false;        // a single symbol is left over at its end
  std::string ImageDamage;  // what is wrong with the image its bytes make ("PNG chunk IDAT fails its CRC")
};
// Reads every entry of the book at path and, in the same pass, its elements
// and references (as ReadBookReferences); false when it cannot be read.
bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out, tBookReferences& refs);

enum class tCoverResult {
  Done,
  Already,      // the entry is the cover; the book is unchanged
  NoEntry,      // no entry is listed under the name
  Shadowed,     // an earlier element has its id: a reference would show that one
  NoTitleInfo,  // the book has no <title-info> to say its cover in
  Unclear,      // more than one, one without its end, more than one cover page, or markup the walk reads otherwise
  Failed,       // Code says why, as the plug-in's operations do
};

struct tCoverOutcome {
  tCoverResult Result = tCoverResult::Failed;
  int Code = 0;
  std::string Name;                      // the entry made the cover, as the listing names it
  std::string Id;                        // its id, in UTF-8
  bool Added = false, Replaced = false;  // the file given was added, or replaced an entry of its name
  bool HadCover = false;                 // the book named a cover before: OldCover
  std::string OldCover;
  bool NewCoverPage = false;  // a cover page was written into title-info
};

// Makes an entry the cover of the book at path: the entry listed under entry,
// or, with file, that file added first as adding does (replacing the entry
// of its name). One rewrite: on disk the old book or the new one with its
// new cover, whole.
tCoverOutcome SetCover(const std::string& book, const std::string& file, const std::string& entry);

}  // namespace fb2pack
