// fb2pack extract: entries written through the archive operations, as a file
// manager extracts them, in one walk over the book.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "NameList.h"
#include "Output.h"
#include "Scratch.h"
#include "Select.h"
#include "Signals.h"
#include "Walk.h"
#include "platform/TempNames.h"

namespace fs = std::filesystem;

namespace {

// Extracts the current entry into the scratch folder (folder: as the plug-in
// takes it); gives the plug-in's result.
int ExtractPrivately(const PluginLoader& plugin, ArchiveHandle h, std::vector<char>& folder) {
  std::vector<char> name = CString("entry");
  return plugin.ProcessFile(h, PK_EXTRACT, folder.data(), name.data());
}

// Copies a file to standard output.
bool CopyToStdout(const std::string& path) {
  std::ifstream f(HostPath(path), std::ios::binary);
  std::vector<char> buffer(1 << 16);
  while (f) {
    f.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::size_t>(f.gcount());
    if (n > 0 && std::fwrite(buffer.data(), 1, n, stdout) != n) return false;
  }
  return std::fflush(stdout) == 0;
}

// Whether the walk can choose the entries by itself: every argument is a name
// taken as it is, which needs no list of the names beforehand.
bool ChosenOnTheWay(const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns) {
    if (IsPattern(p)) return false;
  }
  return true;
}

}  // namespace

int Extract(const PluginLoader& plugin, const tTell& tell, const tExtractOptions& o) {
  std::string dir = o.Folder;
  if (!o.ToStdout) {
    // Said once, not once for every entry.
    std::error_code ec;
    const fs::path folder = HostPath(dir);
    if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) return tell.Fail(dir + ": not a folder");
    // As unzip -d and 7z -o do: a folder that is not there is made, with its parents.
    if (!fs::exists(folder, ec) && !fs::create_directories(folder, ec) && ec) {
      return tell.Fail("cannot make the folder " + dir + ": " + ec.message());
    }
    if (std::string why = FolderProblem(dir, 0); !why.empty()) return tell.Fail(why);
  }
  if (dir.empty() || !IsPathSeparator(dir.back())) dir += kPathSeparator;

  const tBookPath book(o.Book, o.File.empty() ? o.Book : o.File);
  // Names given as they are are found on the way, in the one walk that
  // extracts; a pattern needs the names first, to tell whether it is a name.
  std::set<std::string> chosen;
  const bool onTheWay = ChosenOnTheWay(o.Patterns);
  std::set<std::string> wanted, found;  // the names as typed, and those the walk met
  if (onTheWay) {
    for (const std::string& p : o.Patterns) {
      std::string spelt;
      if (ToPlugin(p, spelt)) wanted.insert(spelt);
    }
  } else {
    std::vector<std::string> names;
    if (int rc = ListNames(plugin, tell, book, names); rc != 0) return rc;
    if (names.empty() && CheckBook(plugin, tell, book, false) != 0) return 1;
    if (Select(plugin, tell, book, names, o.Patterns, "; nothing was extracted", chosen) != 0) return 1;
  }
  // Declared first, gone last: an interrupt waits until the folder is removed.
  tSignalsHeld held;
  tScratchFolder scratch;
  if (o.ToStdout && !scratch.Made()) return tell.Fail("cannot make a temporary folder to extract through");
  std::string why;
  std::string pluginDir = PluginPath(o.ToStdout ? scratch.Path() : dir, why);
  if (pluginDir.empty()) return tell.Fail(why);
  if (pluginDir.empty() || !IsPathSeparator(pluginDir.back())) pluginDir += kPathSeparator;
  std::vector<char> destPath = CString(pluginDir);
  // Names the code page cannot spell are written in full: through the
  // plug-in under a name it can, then renamed (the host's file calls take
  // every character).
  std::map<std::string, std::string> fullNames;  // by the plug-in's name
  if (!o.ToStdout && plugin.BookApi != nullptr && !CodePageSpellsAll() && !book.ForPlugin.empty()) {
    tBookFacts facts;
    if (ReadBookFacts(plugin, book.ForPlugin, false, facts) == tFactsRead::Ok) {
      for (const tEntryFacts& e : facts.Entries) {
        if (!e.FullName.empty()) fullNames.emplace(e.Name, e.FullName);
      }
    }
  }
  std::mt19937 gen(std::random_device{}());
  tProgress progress;
  long done = 0;
  bool any = false;
  std::vector<std::string> names;  // met on the way
  bool interrupted = false;
  auto extractOne = [&](const std::string& name, ArchiveHandle h) {
    if (held.Arrived()) {
      interrupted = true;
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return kStopWalk;
    }
    if (o.ToStdout) {
      const std::string file = scratch.Path() + "entry";
      const int rc = ExtractPrivately(plugin, h, destPath);
      if (!CopyToStdout(file)) {
        // Said once: no later entry can be written either.
        tell.Fail(std::string("cannot write to standard output") + (errno == ENOSPC ? ": the disk is full" : ""));
        return kStopWalk;
      }
      std::error_code ec;
      fs::remove(HostPath(file), ec);
      return rc == 0 ? 0 : ExtractFailed(tell, o.Book, FromPlugin(name), "standard output", rc);
    }
    std::error_code ec;
    const auto full = fullNames.find(name);
    const std::string shown = full != fullNames.end() ? full->second : FromPlugin(name);
    const std::string dest = dir + shown;
    if (o.KeepOld && fs::exists(fs::symlink_status(HostPath(dest), ec))) {
      tell.Warn(dest + ": exists; left as it is");
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return 0;
    }
    const std::string through = full != fullNames.end() ? platform::TempName(".fb2pack-", gen()) : name;
    std::vector<char> destName = CString(through);
    int rc = plugin.ProcessFile(h, PK_EXTRACT, destPath.data(), destName.data());
    progress.Step("extracted", ++done, shown);
    if (through != name) {
      // What a damaged entry gave is kept, as it is under its own name.
      const bool written = rc == 0 || rc == E_BAD_ARCHIVE || rc == E_BAD_DATA;
      if (written) fs::rename(HostPath(dir + through), HostPath(dest), ec);
      if (written && ec) rc = E_ECREATE;
      fs::remove(HostPath(dir + through), ec);
    }
    if (rc == 0) return 0;
    ExtractFailed(tell, o.Book, shown, dest, rc);
    return rc == E_EWRITE && DiskFull(dir) ? kStopWalk : 1;
  };
  int status = Walk(plugin, tell, book, [&](const std::string& name, ArchiveHandle h) {
    any = true;
    bool take = o.Patterns.empty() || chosen.count(name) != 0;
    if (onTheWay && !take && wanted.count(name) != 0) take = found.insert(name).second;
    if (onTheWay) names.push_back(name);
    if (!take) {
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return 0;
    }
    return extractOne(name, h);
  });
  if (interrupted) return 1;
  if (!any && status != 0) return status;  // the book could not be opened: said
  if (!any && CheckBook(plugin, tell, book, false) != 0) return 1;
  if (onTheWay && found.size() < o.Patterns.size()) {
    // A name the walk did not meet as typed: found through the book's ids (a
    // name the code page cannot spell), or told as missing.
    std::vector<std::string> left;
    for (const std::string& p : o.Patterns) {
      std::string spelt;
      if (!ToPlugin(p, spelt) || found.count(spelt) == 0) left.push_back(p);
    }
    std::set<std::string> more;
    const std::string nothingDone = found.empty() ? "; nothing was extracted" : "";
    if (Select(plugin, tell, book, names, left, nothingDone, more) != 0) status = 1;
    if (!more.empty()) {
      status |= Walk(plugin, tell, book, [&](const std::string& name, ArchiveHandle h) {
        if (more.count(name) == 0 || found.count(name) != 0) {
          plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
          return 0;
        }
        found.insert(name);
        return extractOne(name, h);
      });
    }
  }
  return status;
}
