// Walking a book through the plug-in as a file manager does: open, then
// ReadHeader and ProcessFile for each entry, then close.
#pragma once

#include <string>
#include <vector>

#include "host/Diagnosis.h"
#include "host/PluginLoader.h"

// One open archive, closed when it goes out of scope.
class tHostArchive {
 public:
  tHostArchive(const PluginLoader& plugin, const std::string& path);
  ~tHostArchive();
  tHostArchive(const tHostArchive&) = delete;
  tHostArchive& operator=(const tHostArchive&) = delete;
  ArchiveHandle Handle() const { return handle_; }
  int OpenResult() const { return result_; }

 private:
  const PluginLoader& plugin_;
  std::vector<char> path_;
  ArchiveHandle handle_ = nullptr;
  int result_ = 0;
};

// A writable copy, since the interface takes char*.
std::vector<char> Buffer(const std::string& s);

// Says why a book could not be opened; gives 1.
int OpenFailed(const tTell& tell, const std::string& book, int rc);

// Walks every entry: visit(name, handle) processes it (ProcessFile) and gives
// 0, or 1 when it failed. Gives 1 when any did, or the book cannot be opened.
template <class Visit>
int Walk(const PluginLoader& plugin, const tTell& tell, const std::string& book, Visit&& visit) {
  tHostArchive archive(plugin, book);
  if (!archive.Handle()) return OpenFailed(tell, book, archive.OpenResult());
  plugin.SetChangeVolProc(archive.Handle(), nullptr);
  plugin.SetProcessDataProc(archive.Handle(), nullptr);
  int status = 0;
  for (;;) {
    tHeaderData header{};
    if (plugin.ReadHeader(archive.Handle(), &header) != 0) break;  // the end of the list
    header.FileName[sizeof header.FileName - 1] = '\0';
    status |= visit(std::string(header.FileName), archive.Handle());
  }
  return status;
}

// The names of a book's entries, in order; 1 (and why, told) when it cannot
// be opened.
int ListNames(const PluginLoader& plugin, const tTell& tell, const std::string& book, std::vector<std::string>& names);

// A file the plug-in does not recognise and in which it found no entry is
// no book: says so and gives 1. One it does not recognise but that has
// entries gets a warning; gives 0.
int CheckBook(const PluginLoader& plugin, const tTell& tell, const std::string& book, bool hasEntries);

// A private folder for files the host extracts to read them itself; it is
// removed, with all in it, when this object goes.
class tScratchFolder {
 public:
  tScratchFolder();
  ~tScratchFolder();
  tScratchFolder(const tScratchFolder&) = delete;
  tScratchFolder& operator=(const tScratchFolder&) = delete;
  bool Made() const { return !path_.empty(); }
  // The folder with a trailing separator.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
