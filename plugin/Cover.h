// Making an entry the book's cover: its reference put in the title's cover
// page (or a cover page written where the FB2 schema has it), with the file
// given added first as adding does, all in one rewrite.
#pragma once

#include <string>

namespace fb2pack {

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
  std::string FullName;                  // and with every character, where the code page lacks some; else empty
  std::string Id;                        // its id, in UTF-8
  bool Added = false, Replaced = false;  // the file given was added, or replaced an entry of its name
  bool HadCover = false;                 // the book named a cover before: OldCover
  std::string OldCover;
  bool NewCoverPage = false;  // a cover page was written into title-info
};

// Makes an entry the cover of the book held and mapped: the entry listed
// under entry, or, with file, that file added first as adding does
// (replacing the entry of its name). On disk the old book or the new one
// with its new cover, whole.
struct tHeldBook;
tCoverOutcome SetCover(tHeldBook& book, const std::string& file, const std::string& entry);

}  // namespace fb2pack
