// The host's commands, each driving the plug-in through its exports.
#pragma once

#include <string>
#include <vector>

#include "Diagnosis.h"
#include "PluginLoader.h"

struct tListOptions {
  std::string Book;
  std::string File;  // the file read, when it is not Book (a zipped book's copy)
  bool Json = false;
  bool Long = false;            // size and type of each entry, learnt by extracting it
  std::string* Into = nullptr;  // where the listing goes instead of standard output
};

struct tExtractOptions {
  std::string Book;
  std::string File;                   // the file read, when it is not Book (a zipped book's copy)
  std::vector<std::string> Patterns;  // none: every entry
  std::string Folder = ".";
  bool ToStdout = false;
  bool KeepOld = false;
};

struct tAddOptions {
  std::string Book;
  std::string File;  // the file changed, when it is not Book (a zipped book's copy)
  std::vector<std::string> Files;
};

struct tDeleteOptions {
  std::string Book;
  std::string File;  // as tAddOptions
  std::vector<std::string> Patterns;
};

struct tTestOptions {
  std::vector<std::string> Books;  // books, zipped books, collections, folders
  bool Quiet = false;              // only the damaged books, and a summary
};

struct tCoversOptions {
  std::vector<std::string> Books;  // books, zipped books, collections, folders
  bool Json = false;
};

struct tCoverOptions {
  std::string Book;
  std::string File;  // as tAddOptions
  std::string What;  // an entry's name, or a file to add
};

int List(const PluginLoader& plugin, const tTell& tell, const tListOptions& o);
int Extract(const PluginLoader& plugin, const tTell& tell, const tExtractOptions& o);
// Writes each book's cover as FOLDER/BOOK.EXT (o.Folder, o.KeepOld).
int ExtractCovers(const PluginLoader& plugin, const tTell& tell, const tExtractOptions& o,
                  const std::vector<std::string>& paths);
int Add(const PluginLoader& plugin, const tTell& tell, const tAddOptions& o);
int Delete(const PluginLoader& plugin, const tTell& tell, const tDeleteOptions& o);
int Detect(const PluginLoader& plugin, const tTell& tell, const std::vector<std::string>& files);
// Decodes every entry of each book, writing nothing, and tells per book
// whether it is whole or which entries are damaged and how; entries whose
// bytes are not the kind their element says, and references to images the
// book lacks, are named too. 1 when any entry is damaged.
int Test(const PluginLoader& plugin, const tTell& tell, const tTestOptions& o);
// Makes an entry, or a file added as add does, the book's cover, in one
// rewrite of the book, and says what it did.
int SetCover(const PluginLoader& plugin, const tTell& tell, const tCoverOptions& o);
// For each book, its cover, or what is wrong with it; 1 when a book could
// not be read.
int Covers(const PluginLoader& plugin, const tTell& tell, const tCoversOptions& o);
int Caps(const PluginLoader& plugin);
