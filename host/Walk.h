// Walking a book through the plug-in as a file manager does: open, then
// ReadHeader and ProcessFile for each entry, then close.
#pragma once

#include <string>
#include <vector>

#include "Diagnosis.h"
#include "Encoding.h"
#include "PluginLoader.h"

// One open archive, closed when it goes out of scope.
class tHostArchive {
 public:
  tHostArchive(const PluginLoader& plugin, const tBookPath& book);
  ~tHostArchive();
  tHostArchive(const tHostArchive&) = delete;
  tHostArchive& operator=(const tHostArchive&) = delete;
  ArchiveHandle Handle() const { return handle_; }
  int OpenResult() const { return result_; }
  // Why the book's path cannot be given to the plug-in; empty when it can.
  const std::string& PathProblem() const { return why_; }

 private:
  const PluginLoader& plugin_;
  const std::string& why_;
  std::vector<char> path_;
  ArchiveHandle handle_ = nullptr;
  int result_ = 0;
};

// What a visit gives when it failed and nothing after it can go better (the
// disk is full): the walk ends there.
constexpr int kStopWalk = 3;

// Walks every entry: visit(name, handle) processes it (ProcessFile) and gives
// 0, 1 when it failed, or kStopWalk. Gives 1 when any failed, or the book
// cannot be opened.
template <class Visit>
int Walk(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, Visit&& visit) {
  tHostArchive archive(plugin, book);
  if (!archive.PathProblem().empty()) return tell.Fail(archive.PathProblem());
  if (!archive.Handle()) return OpenFailed(tell, book.Given, book.File, archive.OpenResult());
  plugin.SetChangeVolProc(archive.Handle(), nullptr);
  plugin.SetProcessDataProc(archive.Handle(), nullptr);
  int status = 0;
  for (;;) {
    tHeaderData header{};
    if (plugin.ReadHeader(archive.Handle(), &header) != 0) break;  // the end of the list
    header.FileName[sizeof header.FileName - 1] = '\0';
    const int result = visit(std::string(header.FileName), archive.Handle());
    status |= result == 0 ? 0 : 1;
    if (result == kStopWalk) break;
  }
  return status;
}

// The names of a book's entries, in order; 1 (and why, told) when it cannot
// be opened.
int ListNames(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, std::vector<std::string>& names);

// A file the plug-in does not recognise and in which it found no entry is
// no book: says so and gives 1. One it does not recognise but that has
// entries gets a warning; gives 0.
int CheckBook(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, bool hasEntries);
// Why the plug-in takes the file for no book ("not an FB2 book: it is a zip
// archive ..."); empty when it takes it for one.
std::string NotABook(const PluginLoader& plugin, const tBookPath& book);
