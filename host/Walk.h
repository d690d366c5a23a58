// Walking a book through the plug-in as a file manager does: open, then
// ReadHeader and ProcessFile for each entry, then close.
#pragma once

#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#endif

#include "Diagnosis.h"
#include "PluginLoader.h"

// One open archive, closed when it goes out of scope.
class tHostArchive {
 public:
  tHostArchive(const PluginLoader& plugin, const std::string& path);
  ~tHostArchive();
  tHostArchive(const tHostArchive&) = delete;
  tHostArchive& operator=(const tHostArchive&) = delete;
  ArchiveHandle Handle() const { return handle_; }
  int OpenResult() const { return result_; }
  // Why the book's path cannot be given to the plug-in; empty when it can.
  const std::string& PathProblem() const { return why_; }

 private:
  const PluginLoader& plugin_;
  std::string why_;  // before path_, which is made with it
  std::vector<char> path_;
  ArchiveHandle handle_ = nullptr;
  int result_ = 0;
};

// Says why a book could not be opened; gives 1.
int OpenFailed(const tTell& tell, const std::string& book, int rc);

// What a visit gives when it failed and nothing after it can go better (the
// disk is full): the walk ends there.
constexpr int kStopWalk = 3;

// Walks every entry: visit(name, handle) processes it (ProcessFile) and gives
// 0, 1 when it failed, or kStopWalk. Gives 1 when any failed, or the book
// cannot be opened.
template <class Visit>
int Walk(const PluginLoader& plugin, const tTell& tell, const std::string& book, Visit&& visit) {
  tHostArchive archive(plugin, book);
  if (!archive.PathProblem().empty()) return tell.Fail(archive.PathProblem());
  if (!archive.Handle()) return OpenFailed(tell, book, archive.OpenResult());
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
int ListNames(const PluginLoader& plugin, const tTell& tell, const std::string& book, std::vector<std::string>& names);

// A file the plug-in does not recognise and in which it found no entry is
// no book: says so and gives 1. One it does not recognise but that has
// entries gets a warning; gives 0.
int CheckBook(const PluginLoader& plugin, const tTell& tell, const std::string& book, bool hasEntries);

// Holds back the signals that end the program (interrupt, terminate, hang-up)
// for as long as it lives, so that a walk can end between entries and leave
// nothing behind: Arrived() tells when one came; it is delivered when this
// object goes. Nothing is held on Windows.
class tSignalsHeld {
 public:
  tSignalsHeld();
  ~tSignalsHeld();
  tSignalsHeld(const tSignalsHeld&) = delete;
  tSignalsHeld& operator=(const tSignalsHeld&) = delete;
  bool Arrived() const;

 private:
  bool held_ = false;
#ifndef _WIN32
  sigset_t old_;  // the mask before
#endif
};

// A private folder for files the host extracts to read them itself; it is
// removed, with all in it, when this object goes.
class tScratchFolder {
 public:
  tScratchFolder();
  ~tScratchFolder();
  tScratchFolder(const tScratchFolder&) = delete;
  tScratchFolder& operator=(const tScratchFolder&) = delete;
  bool Made() const { return !path_.empty(); }
  // The folder it was made in, to name it.
  std::string Base() const;
  // The folder with a trailing separator.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
