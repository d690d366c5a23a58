// The books a command's arguments name, as libraries keep them: plain books,
// zipped books (a .fb2.zip or .fbz holding one book is that book; an archive
// of many is read member by member, each named ARCHIVE/MEMBER), and folders
// walked in a stable order.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Scratch.h"
#include "Tell.h"

struct tBookSource {
  std::string Shown;    // the path, or ARCHIVE/MEMBER
  std::string File;     // what the host reads: the path, or the member's copy once fetched
  std::string Archive;  // the zip archive it is in; empty for a plain file
  std::size_t Member = 0;
  bool Alone = false;   // the archive's only book: it stands for the archive
  std::string Problem;  // why it cannot be read (a damaged archive); told in its place
};

// The books that paths name, one at a time: a file as it is (a book, or
// whatever the command makes of it), a zip archive's books, a folder's books,
// zips and collections, walked in name order, without following symbolic
// links in it. A zip archive that holds no book is named as itself, so that
// the command says what it is; a folder without books is named with that
// problem. It keeps only the folders under way, whatever the library's size.
class tLibraryWalk {
 public:
  explicit tLibraryWalk(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  // The next book; false when there are no more.
  bool Next(tBookSource& book);

 private:
  struct tFolder {
    std::string Base;                                 // its path, ending in a separator
    std::vector<std::pair<std::string, bool>> Found;  // name, is a folder; sorted
    std::size_t Next = 0;
    std::string Given;            // the path as given, for a folder given as one; else empty
    std::size_t BooksBefore = 0;  // the books told before it
  };
  void Enter(const std::string& folder, bool given);

  std::vector<std::string> paths_;
  std::size_t path_ = 0;
  std::vector<tFolder> folders_;   // the folders under way, innermost last
  std::deque<tBookSource> ready_;  // a file's books, waiting their turn
  std::size_t told_ = 0;
};

// Every book that the paths name, in the walk's order.
std::vector<tBookSource> BooksOf(const std::vector<std::string>& paths);

// Makes the book readable as a file: a zipped one is copied into the scratch
// folder, made at the first need. Empty when it is, else what is wrong with
// the member.
std::string Fetch(tBookSource& book, std::optional<tScratchFolder>& scratch);

// True when the path names a folder.
bool IsFolder(const std::string& path);
