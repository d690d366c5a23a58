// What the core offers the command-line host beyond the archive operations,
// which it drives through the plug-in's exports like any host: the book's
// entries read whole (the host's test), the references its text makes (the
// markings of the listing and the delete warning), the kinds of image, and
// the cover edit. The host reaches the core through this header alone.
#pragma once

#include <string>

#include "format/ContentType.h"
#include "format/EntryFacts.h"
#include "format/References.h"

namespace fb2pack {

enum class tCoverResult {
  Done,
  Already,      // the entry is the cover; the book is unchanged
  NoEntry,      // no entry is listed under the name
  Shadowed,     // an earlier element has its id: a reference would show that one
  NoTitleInfo,  // the book has no <title-info> to say its cover in
  Unclear,      // it has more than one, one without its end, or more than one cover page
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
