// Adding files to a book: each as a new element before the root's end tag,
// or in the place of the element listed under its name. The cover edit adds
// its file by the same plan.
#pragma once

#include <string>
#include <vector>

#include "plugin/Rewrite.h"

namespace fb2pack {

// A file added under its own name: where it is read from, its name and the
// id the book will write.
struct tSource {
  std::string Path, FileName, Id;
  bool ByIdOnly = false;  // the name given is not the file's own (a short 8.3 name)
};

// The rewrite that adds files: the ranges of the book that stay and the bytes
// put in, with each source's element and where it went.
struct tAddPlan {
  std::vector<tSource> Sources;
  std::vector<tReplaced> Replaced;  // by source
  std::vector<tRange> Kept;
  std::vector<tInsert> Inserts;
};

// Plans adding the files of addList (in srcPath) to the book held.
int PlanAdd(tHeldBook& book, const char* srcPath, const char* addList, int flags, tAddPlan& plan);

// Writes the planned book, the inserts at their places in the order given
// where they share one.
int SavePlan(tHeldBook& book, tAddPlan& plan);

}  // namespace fb2pack
