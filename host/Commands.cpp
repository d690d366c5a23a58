#include "Commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "Encoding.h"
#include "FileChecks.h"
#include "HostServices.h"
#include "NameList.h"
#include "Output.h"
#include "Patterns.h"
#include "Scratch.h"
#include "Signals.h"
#include "Utf8.h"
#include "Walk.h"

namespace fs = std::filesystem;
using fb2pack::tBookReferences;
using fb2pack::tEntryFacts;
using fb2pack::tImageKind;

namespace {

bool WriteOut(const std::string& text) { return WriteText(stdout, text); }

// True when s holds a character that makes a shell pattern.
bool IsPattern(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

// The entries (as the plug-in names them) that arguments select: an
// argument that is a name exactly as the listing shows it means that entry
// alone, whatever characters it holds; only an argument that names no entry
// is a shell pattern, matched against every name as the user reads it. A
// name the listing shows otherwise (a character the code page lacks shown as
// "_") is found through the book's ids. Gives 1, naming each argument that
// selects nothing, when any does.
int Select(const tTell& tell, const std::string& book, const std::vector<std::string>& names,
           const std::vector<std::string>& patterns, const std::string& nothingDone, std::set<std::string>& chosen) {
  std::map<std::string, std::string> shown;  // by the name as shown, the plug-in's
  std::vector<std::string> read;             // the names as shown, in order
  for (const std::string& n : names) {
    read.push_back(FromPlugin(n));
    shown.emplace(read.back(), n);
  }
  bool idsRead = false;
  tBookReferences refs;
  int status = 0;
  for (const std::string& p : patterns) {
    bool any = false;
    if (auto it = shown.find(p); it != shown.end()) {
      chosen.insert(it->second);
      continue;
    }
    for (std::size_t i = 0; IsPattern(p) && i < read.size(); ++i) {
      if (MatchesPattern(p, read[i])) {
        chosen.insert(names[i]);
        any = true;
      }
    }
    if (!any) {
      if (!idsRead) {
        std::string why;
        const std::string path = PluginPath(book, why);
        idsRead = !path.empty() && fb2pack::ReadBookReferences(path, refs);
      }
      for (const auto& e : refs.Elements) {
        if (e.Id == p && !any) {
          chosen.insert(e.Name);
          any = true;
        }
      }
    }
    std::string spelt;
    if (!any) {
      // A name the code page cannot spell is listed with "_" in its place.
      status = tell.Fail(book + ": no entry named " + p + nothingDone +
                         (ToPlugin(p, spelt) ? ""
                                             : " (the system's code page cannot spell this name: such names "
                                               "are listed with _ for each character it lacks)"));
    }
  }
  return status;
}

// Extracts the current entry into a scratch folder, for the host's own use;
// gives the plug-in's result and the file's path.
int ExtractPrivately(const PluginLoader& plugin, ArchiveHandle h, const tScratchFolder& scratch, std::string& file) {
  std::string why;
  std::vector<char> folder = CString(PluginPath(scratch.Path(), why));
  if (folder.size() == 1) return E_ECREATE;
  std::vector<char> name = CString("entry");
  file = scratch.Path() + "entry";
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

// Marks the cover, the source book's cover and the entries the text refers
// to nowhere; gives each reference to an id no element has, once, in text
// order (a dangling cover included).
std::vector<std::string> MarkReferences(const std::string& book, std::vector<tListed>& entries) {
  tBookReferences refs;
  std::string why;
  const std::string path = PluginPath(book, why);
  if (path.empty() || !fb2pack::ReadBookReferences(path, refs)) return {};
  std::map<std::string, std::string> idOf;  // by name
  std::set<std::string> ids;
  for (const auto& e : refs.Elements) {
    idOf[e.Name] = e.Id;
    ids.insert(e.Id);
  }
  const std::set<std::string> shown(refs.Targets.begin(), refs.Targets.end());
  // The first element of an id is the one a reference shows.
  std::set<std::string> marked;
  for (tListed& entry : entries) {
    const auto it = idOf.find(entry.Name);
    if (it == idOf.end()) continue;
    const bool first = marked.insert(it->second).second;
    entry.Cover = first && refs.HasCover && refs.Cover == it->second;
    entry.SourceCover = first && !entry.Cover && refs.HasSourceCover && refs.SourceCover == it->second;
    entry.Referenced = first && shown.count(it->second) != 0;
  }
  std::vector<std::string> dangling;
  std::set<std::string> told;
  for (const std::string& target : refs.Targets) {
    if (ids.count(target) == 0 && told.insert(target).second) dangling.push_back(target);
  }
  return dangling;
}

// Says why adding files failed: a file's own trouble when the host sees one.
int AddFailed(const tTell& tell, const std::string& book, const std::vector<std::string>& files, int rc) {
  std::uintmax_t added = 0;  // the most the book grows by
  for (const std::string& file : files) added += fb2pack::AddedElementSize(SplitPath(file).second.size(), SizeOf(file));
  if (rc == E_EREAD) {
    for (const std::string& file : files) {
      std::string why = FileProblem(file, false);
      const std::string name = SplitPath(file).second;
      if (why.empty() && !fb2pack::WindowsFileNames() && !IsUtf8(name)) {
        why = "its name is not valid UTF-8, so the book could not name it faithfully (rename the file)";
      }
      if (!why.empty()) return tell.Fail(file + ": " + why + "; the book is unchanged", rc);
    }
  }
  return RewriteFailed(tell, book, rc, added);
}

}  // namespace

int List(const PluginLoader& plugin, const tTell& tell, const tListOptions& o) {
  std::vector<tListed> entries;
  // Declared first, gone last: an interrupt waits until the folder is removed.
  tSignalsHeld held;
  tScratchFolder scratch;
  if (o.Long && !scratch.Made()) {
    const std::string base = scratch.Base();
    return tell.Fail(base.empty() ? "cannot make a temporary folder to measure the entries in: the folder that "
                                    "TMPDIR, TMP or TEMP names does not exist"
                                  : "cannot make a temporary folder in " + base + " to measure the entries in");
  }
  if (std::string why; o.Long && PluginPath(scratch.Path(), why).empty()) return tell.Fail(why);
  bool interrupted = false, full = false;
  int status = Walk(plugin, tell, o.Book, [&](const std::string& name, ArchiveHandle h) {
    if (held.Arrived()) {
      interrupted = true;
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return kStopWalk;
    }
    tListed entry;
    entry.Name = name;
    entry.Shown = FromPlugin(name, entry.Exact);
    if (!o.Long) {
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      entries.push_back(entry);
      return 0;
    }
    // Size and type, learnt as any host learns them: by extracting.
    std::string file;
    const int rc = ExtractPrivately(plugin, h, scratch, file);
    entry.Size = SizeOf(file);
    const tImageKind kind = fb2pack::SniffImage(ReadHead(file, 4096));
    entry.Type = kind.Label.empty() ? "unknown" : std::string(kind.Label);
    std::error_code ec;
    fs::remove(HostPath(file), ec);
    entry.Damage = rc == E_BAD_ARCHIVE ? "cut" : rc == E_BAD_DATA ? "damaged" : "";
    if ((rc == E_EWRITE || rc == E_ECREATE) && DiskFull(scratch.Path())) {
      // Every entry would fail alike: said once, of the folder, not as sizes of 0.
      tell.Fail("the temporary folder " + scratch.Base() + " is full, so the entries cannot be measured " +
                "(TMPDIR names another)");
      full = true;
      return kStopWalk;
    }
    entries.push_back(entry);
    return rc == 0 ? 0 : ExtractFailed(tell, o.Book, name, "the listing", rc);
  });
  if (interrupted) return 1;
  if (full) return 1;
  if (status && entries.empty()) return status;
  if (CheckBook(plugin, tell, o.Book, !entries.empty()) != 0) return 1;
  std::vector<std::string> dangling;
  if (o.Long || o.Json) dangling = MarkReferences(o.Book, entries);
  if (o.Json) {
    for (const std::string& d : dangling) tell.Warn(o.Book + ": the text shows #" + d + ", which no image has");
  }
  std::string listing = o.Json ? JsonListing(entries, o.Long) : PlainListing(entries, o.Long, dangling);
  if (o.Into != nullptr) {
    *o.Into = std::move(listing);
  } else if (!WriteOut(listing)) {
    return tell.Fail("cannot write the listing");
  }
  return status;
}

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
  if (dir.empty() || !fb2pack::IsPathSeparator(dir.back())) dir += fb2pack::PathSeparator();

  std::set<std::string> chosen;
  if (!o.Patterns.empty()) {
    std::vector<std::string> names;
    if (int rc = ListNames(plugin, tell, o.Book, names); rc != 0) return rc;
    if (names.empty() && CheckBook(plugin, tell, o.Book, false) != 0) return 1;
    if (Select(tell, o.Book, names, o.Patterns, "; nothing was extracted", chosen) != 0) return 1;
  }
  tScratchFolder scratch;
  if (o.ToStdout && !scratch.Made()) return tell.Fail("cannot make a temporary folder to extract through");
  std::string why;
  if (o.ToStdout && PluginPath(scratch.Path(), why).empty()) return tell.Fail(why);
  std::string pluginDir = o.ToStdout ? std::string() : PluginPath(dir, why);
  if (!o.ToStdout && pluginDir.empty()) return tell.Fail(why);
  if (pluginDir.empty() || !fb2pack::IsPathSeparator(pluginDir.back())) pluginDir += fb2pack::PathSeparator();
  std::vector<char> destPath = CString(pluginDir);
  tProgress progress;
  long done = 0;
  bool any = false;
  int status = Walk(plugin, tell, o.Book, [&](const std::string& name, ArchiveHandle h) {
    any = true;
    if (!o.Patterns.empty() && chosen.count(name) == 0) {
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return 0;
    }
    if (o.ToStdout) {
      std::string file;
      const int rc = ExtractPrivately(plugin, h, scratch, file);
      if (!CopyToStdout(file)) {
        // Said once: no later entry can be written either.
        tell.Fail(std::string("cannot write to standard output") + (errno == ENOSPC ? ": the disk is full" : ""));
        return kStopWalk;
      }
      std::error_code ec;
      fs::remove(HostPath(file), ec);
      return rc == 0 ? 0 : ExtractFailed(tell, o.Book, name, "standard output", rc);
    }
    std::error_code ec;
    const std::string dest = dir + FromPlugin(name);
    if (o.KeepOld && fs::exists(fs::symlink_status(HostPath(dest), ec))) {
      tell.Warn(dest + ": exists; left as it is");
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return 0;
    }
    std::vector<char> destName = CString(name);
    const int rc = plugin.ProcessFile(h, PK_EXTRACT, destPath.data(), destName.data());
    progress.Step("extracted", ++done, FromPlugin(name));
    if (rc == 0) return 0;
    ExtractFailed(tell, o.Book, name, dest, rc);
    return rc == E_EWRITE && DiskFull(dir) ? kStopWalk : 1;
  });
  if (!any && status == 0 && CheckBook(plugin, tell, o.Book, false) != 0) return 1;
  return status;
}

int Add(const PluginLoader& plugin, const tTell& tell, const tAddOptions& o) {
  // One call with every file: the book changes once, with all of them or none.
  // No source folder is given, so each name carries its own path.
  std::set<std::string> seen;
  std::vector<std::string> files;
  for (const std::string& file : o.Files) {
    const std::string name = SplitPath(file).second;
    if (name.empty()) return Usage(file + ": a folder, not a file");
    std::error_code ec;
    if (fs::equivalent(HostPath(o.Book), HostPath(file), ec)) {
      // As tar does with its own archive: "add book.fb2 *" adds the rest.
      tell.Warn(file + ": it is the book itself; not added");
      continue;
    }
    if (!seen.insert(name).second) return Usage("two files named " + name + ": a book holds one entry of a name");
    files.push_back(file);
  }
  if (files.empty()) return 1;
  // What detect and test call no book is none to add to either. Read
  // without the plug-in's hold on the book, which a writer beside us would
  // find in its way.
  // A head that cannot be read now (a rewrite elsewhere is putting its book
  // in place) is left to the plug-in, which says why it cannot add.
  if (const std::string head = ReadHead(o.Book, fb2pack::RootTagWithin());
      !head.empty() && !fb2pack::IsBookHead(head)) {
    const std::string what = WhatItIsInstead(o.Book);
    return tell.Fail(o.Book + ": not an FB2 book" + (what.empty() ? "" : ": " + what) + "; nothing was added");
  }
  // Each file goes by a path the plug-in can open; the file's own name
  // becomes its entry's.
  std::vector<std::string> given;
  std::string why;
  for (const std::string& file : files) {
    given.push_back(PluginPath(file, why));
    if (given.back().empty()) return tell.Fail(why);
  }
  const std::string bookPath = PluginPath(o.Book, why);
  if (bookPath.empty()) return tell.Fail(why);
  std::vector<char> book = CString(bookPath);
  std::vector<char> src = CString("");
  std::vector<char> list = MakeNameList(given);
  const int rc = plugin.PackFiles(book.data(), nullptr, src.data(), list.data(), 0);
  return rc == 0 ? 0 : AddFailed(tell, o.Book, files, rc);
}

int Delete(const PluginLoader& plugin, const tTell& tell, const tDeleteOptions& o) {
  std::vector<std::string> names;
  if (int rc = ListNames(plugin, tell, o.Book, names); rc != 0) return rc;
  if (names.empty() && CheckBook(plugin, tell, o.Book, false) != 0) return 1;
  std::set<std::string> chosen;
  if (Select(tell, o.Book, names, o.Patterns, "; nothing was deleted", chosen) != 0) return 1;
  std::vector<std::string> gone;
  for (const std::string& n : names) {
    if (chosen.count(n)) gone.push_back(n);
  }
  // The references are read before the book changes: an image the text
  // shows, whose id no element left in the book has, is named.
  std::string why;
  const std::string bookPath = PluginPath(o.Book, why);
  if (bookPath.empty()) return tell.Fail(why);
  tBookReferences refs;
  const bool read = fb2pack::ReadBookReferences(bookPath, refs);
  std::vector<char> book = CString(bookPath);
  std::vector<char> list = MakeNameList(gone);
  if (int rc = plugin.DeleteFiles(book.data(), list.data()); rc != 0) return RewriteFailed(tell, o.Book, rc);
  if (!read) return 0;
  std::set<std::string> left;  // the ids of the elements that stay
  for (const auto& e : refs.Elements) {
    if (chosen.count(e.Name) == 0) left.insert(e.Id);
  }
  const std::set<std::string> shown(refs.Targets.begin(), refs.Targets.end());
  for (const auto& e : refs.Elements) {
    if (chosen.count(e.Name) != 0 && shown.count(e.Id) != 0 && left.count(e.Id) == 0) {
      tell.Warn(o.Book + ": " + FromPlugin(e.Name) + " is still shown in the text (href=\"#" + e.Id +
                "\"); readers will show a missing picture there");
    }
  }
  return 0;
}

int SetCover(const PluginLoader& plugin, const tTell& tell, const tCoverOptions& o) {
  // An entry the book lists is meant by its name; a file, by a name the book
  // does not list or by a path with a folder in it.
  std::vector<std::string> names;
  if (int rc = ListNames(plugin, tell, o.Book, names); rc != 0) return rc;
  if (names.empty() && CheckBook(plugin, tell, o.Book, false) != 0) return 1;
  std::string entry;  // as the plug-in names it
  for (const std::string& n : names) {
    if (entry.empty() && FromPlugin(n) == o.What) entry = n;
  }
  if (std::string why, path = PluginPath(o.Book, why); entry.empty() && !path.empty()) {
    // A name the listing shows otherwise is found through the book's ids.
    tBookReferences refs;
    if (fb2pack::ReadBookReferences(path, refs)) {
      for (const auto& e : refs.Elements) {
        if (entry.empty() && e.Id == o.What) entry = e.Name;
      }
    }
  }
  const bool isEntry = SplitPath(o.What).first.empty() && !entry.empty();
  std::error_code ec;
  if (!isEntry && !fs::is_regular_file(HostPath(o.What), ec)) {
    return tell.Fail(o.Book + ": no entry named " + o.What + ", and no file of that name; the book is unchanged");
  }
  std::error_code same;
  if (!isEntry && fs::equivalent(HostPath(o.Book), HostPath(o.What), same)) {
    return Usage(o.What + ": it is the book itself");
  }
  std::string why;
  const std::string bookPath = PluginPath(o.Book, why);
  const std::string filePath = isEntry ? std::string() : PluginPath(o.What, why);
  if (bookPath.empty() || (!isEntry && filePath.empty())) return tell.Fail(why);
  fb2pack::tCoverOutcome out = fb2pack::SetCover(bookPath, filePath, entry);
  out.Name = FromPlugin(out.Name);
  const std::string unchanged = "; the book is unchanged";
  using fb2pack::tCoverResult;
  switch (out.Result) {
    case tCoverResult::Done: break;
    case tCoverResult::Already:
      return WriteOut(o.Book + ": " + out.Name + " is the cover already" + unchanged + "\n") ? 0 : 1;
    case tCoverResult::NoEntry: return tell.Fail(o.Book + ": no entry named " + o.What + unchanged);
    case tCoverResult::Shadowed:
      return tell.Fail(o.Book + ": " + out.Name + " has the id of an earlier image (#" + out.Id +
                       "), which readers would show instead" + unchanged);
    case tCoverResult::NoTitleInfo:
      return tell.Fail(o.Book + ": it has no <title-info>, where a book names its cover" + unchanged);
    case tCoverResult::Unclear:
      return tell.Fail(o.Book + ": cannot tell where it names its cover (more than one <title-info>, or one that " +
                       "does not end, or more than one <coverpage> in it)" + unchanged);
    case tCoverResult::Failed:
      return isEntry ? RewriteFailed(tell, o.Book, out.Code) : AddFailed(tell, o.Book, {o.What}, out.Code);
  }
  std::string said = o.Book + ": the cover is now " + out.Name;
  if (out.Added) said += " (added)";
  if (out.Replaced) said += " (its image replaced)";
  if (out.HadCover && out.OldCover != out.Id) said += "; it was #" + out.OldCover;
  if (out.NewCoverPage) said += "; a cover page was written into <title-info>";
  return WriteOut(said + "\n") ? 0 : tell.Fail("cannot write what was done");
}

namespace {

// How an entry's reading ended, in words; empty when it is whole.
std::string DamageOf(const tEntryFacts& end) {
  std::string why;
  auto add = [&](bool yes, const char* what) {
    if (yes) why += (why.empty() ? "" : ", ") + std::string(what);
  };
  add(end.Cut, "cut off by the end of the book");
  add(end.Foreign, "not base64");
  add(end.AfterEnd, "symbols after its end");
  add(end.Stray, "stopped by a stray tag");
  add(end.Lone, "one symbol too many");
  add(!end.ImageDamage.empty(), end.ImageDamage.c_str());
  return why;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// Whether the bytes are the kind of image the element says; empty when they
// are.
std::string KindProblem(const tEntryFacts& e) {
  const tImageKind kind = fb2pack::SniffImage(e.Head);
  const std::string labelled = e.ContentType.empty() ? "no content type" : "labelled " + e.ContentType;
  if (kind.Label.empty()) return "holds no image (" + labelled + ")";
  std::string type = Lower(e.ContentType);
  if (type == "image/jpg") type = "image/jpeg";
  if (type != kind.ContentType) return labelled + ", holds " + std::string(kind.Label);
  return {};
}

// Tests one book; 0 when it is whole, 1 when it is not, or cannot be read.
int TestBook(const PluginLoader& plugin, const tTell& tell, const std::string& book) {
  if (std::string why = FileProblem(book, false); !why.empty()) return tell.Fail(book + ": " + why);
  std::string unusable;
  const std::string path = PluginPath(book, unusable);
  if (path.empty()) return tell.Fail(unusable);
  // What the plug-in does not recognise is no book, as unzip -t says of a
  // file that is no zip, whatever images it may hold.
  if (CheckBook(plugin, tell, book, false) != 0) return 1;
  std::vector<tEntryFacts> entries;
  tBookReferences refs;
  if (!fb2pack::InspectBook(path, entries, refs)) return tell.Fail(book + ": cannot be read to its end");
  std::string out;
  std::size_t damaged = 0;
  std::set<std::string> ids;
  for (const tEntryFacts& e : entries) {
    if (std::string why = DamageOf(e); !why.empty()) {
      out += book + ": " + FromPlugin(e.Name) + ": " + why + "\n";
      ++damaged;
    } else if (std::string kind = KindProblem(e); !kind.empty()) {
      out += book + ": " + FromPlugin(e.Name) + ": " + kind + "\n";
    }
  }
  for (const auto& e : refs.Elements) ids.insert(e.Id);
  std::set<std::string> told;
  // In a book cut short, the images the text shows were lost with its end:
  // the cut is the verdict, not each of them.
  for (const std::string& target : refs.Ends ? refs.Targets : std::vector<std::string>{}) {
    if (ids.count(target) == 0 && told.insert(target).second) {
      out += book + ": the text shows #" + target + ", which no image has\n";
    }
  }
  // A book without its end was cut short (a download that stopped), whatever
  // its images: adding to it is refused for the same reason.
  const std::string count = std::to_string(entries.size()) + (entries.size() == 1 ? " image" : " images");
  const std::string images = damaged == 0 ? count : std::to_string(damaged) + " of " + count + " damaged";
  if (!refs.Ends) {
    out += book + ": cut short (no </FictionBook>); " + images + "\n";
  } else {
    out += book + ": " + (damaged == 0 ? "whole (" + images + ")" : images) + "\n";
  }
  if (!WriteOut(out)) return tell.Fail("cannot write the report");
  return damaged == 0 && refs.Ends ? 0 : 1;
}

}  // namespace

int Test(const PluginLoader& plugin, const tTell& tell, const std::vector<std::string>& books) {
  int status = 0;
  for (const std::string& book : books) status |= TestBook(plugin, tell, book);
  return status;
}

int Detect(const PluginLoader& plugin, const tTell& tell, const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& f : files) {
    if (std::string why = FileProblem(f, false); !why.empty()) {
      status = tell.Fail(f + ": " + why);
      continue;
    }
    std::string why;
    const std::string path = PluginPath(f, why);
    if (path.empty()) {
      status = tell.Fail(why);
      continue;
    }
    std::vector<char> name = CString(path);
    const bool yes = plugin.CanYouHandleThisFile(name.data()) != 0;
    WriteOut(f + ": " + (yes ? "FB2 book" : "not recognised") + "\n");
    if (!yes) status = 1;
  }
  return status;
}

int Caps(const PluginLoader& plugin) {
  const int caps = plugin.GetPackerCaps();
  static const struct {
    int bit;
    const char* name;
  } kBits[] = {{PK_CAPS_NEW, "PK_CAPS_NEW"},
               {PK_CAPS_MODIFY, "PK_CAPS_MODIFY"},
               {PK_CAPS_MULTIPLE, "PK_CAPS_MULTIPLE"},
               {PK_CAPS_DELETE, "PK_CAPS_DELETE"},
               {PK_CAPS_OPTIONS, "PK_CAPS_OPTIONS"},
               {PK_CAPS_MEMPACK, "PK_CAPS_MEMPACK"},
               {PK_CAPS_BY_CONTENT, "PK_CAPS_BY_CONTENT"},
               {PK_CAPS_SEARCHTEXT, "PK_CAPS_SEARCHTEXT"},
               {PK_CAPS_HIDE, "PK_CAPS_HIDE"}};
  std::string out = std::to_string(caps) + "\n";
  for (const auto& b : kBits) {
    if (caps & b.bit) {
      std::string bit = std::to_string(b.bit);
      out += "  " + std::string(4 - bit.size(), ' ') + bit + " " + b.name + "\n";
    }
  }
  return WriteOut(out) ? 0 : 1;
}
