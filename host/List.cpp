// fb2pack list: the names through the archive operations, as a file manager
// lists them; sizes, kinds and markings from one reading of the book.
#include <string>
#include <vector>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Output.h"
#include "Signals.h"
#include "Walk.h"

namespace {

// The names alone, walked as a file manager walks them.
// Each gives the exit status, and whether there is a listing to show.
struct tOutcome {
  int Status = 0;
  bool Show = false;
};

tOutcome ListNamesOnly(const PluginLoader& plugin, const tTell& tell, const tListOptions& o,
                       std::vector<tListed>& entries) {
  tSignalsHeld held;
  bool interrupted = false;
  const tBookPath book(o.Book, o.File.empty() ? o.Book : o.File);
  int status = Walk(plugin, tell, book, [&](const std::string& name, ArchiveHandle h) {
    plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
    if (held.Arrived()) {
      interrupted = true;
      return kStopWalk;
    }
    tListed entry;
    entry.Name = name;
    entry.Shown = FromPlugin(name, entry.Exact);
    entries.push_back(entry);
    return 0;
  });
  if (interrupted) return {1, false};
  if (status && entries.empty()) return {status, false};
  if (CheckBook(plugin, tell, book, !entries.empty()) != 0) return {1, false};
  return {status, true};
}

// Every entry with its markings, and with details its size, kind and damage,
// from one reading of the book; the references to images it lacks go to
// dangling.
tOutcome ListFacts(const PluginLoader& plugin, const tTell& tell, const tListOptions& o, std::vector<tListed>& entries,
                   std::vector<std::string>& dangling) {
  if (plugin.BookApi == nullptr) return {tell.Fail(NeedsBookApi(o.Long ? "list -l" : "list --json")), false};
  const tBookPath book(o.Book, o.File.empty() ? o.Book : o.File);
  if (book.ForPlugin.empty()) return {tell.Fail(book.Why), false};
  tBookFacts facts;
  switch (ReadBookFacts(plugin, book.ForPlugin, o.Long, facts)) {
    case tFactsRead::Ok: break;
    case tFactsRead::NoMemory: return {tell.Fail(o.Book + ": not enough memory to read it"), false};
    default: {
      // The plug-in's own words for a book it cannot open.
      tHostArchive archive(plugin, book);
      if (!archive.Handle()) return {OpenFailed(tell, book.Given, book.File, archive.OpenResult()), false};
      return {tell.Fail(o.Book + ": cannot be read to its end"), false};
    }
  }
  if (CheckBook(plugin, tell, book, !facts.Entries.empty()) != 0) return {1, false};
  int status = 0;
  for (const tEntryFacts& e : facts.Entries) {
    tListed entry;
    entry.Name = e.Name;
    entry.Shown = e.FullName.empty() ? FromPlugin(e.Name, entry.Exact) : e.FullName;
    entry.Cover = e.Cover;
    entry.SourceCover = e.SourceCover;
    entry.Referenced = e.Referenced;
    if (o.Long) {
      entry.Size = e.Size;
      const tImageKind kind = SniffImage(plugin, e.Head);
      entry.Type = kind.Label.empty() ? "unknown" : kind.Label;
      // As extracting it would end.
      const int rc = (e.Damage & FB2API_CUT) ? E_BAD_ARCHIVE : e.Damage ? E_BAD_DATA : 0;
      entry.Damage = rc == E_BAD_ARCHIVE ? "cut" : rc == E_BAD_DATA ? "damaged" : "";
      if (rc != 0) status = ExtractFailed(tell, o.Book, entry.Shown, "the listing", rc);
    }
    entries.push_back(std::move(entry));
  }
  dangling = std::move(facts.Missing);
  return {status, true};
}

}  // namespace

int List(const PluginLoader& plugin, const tTell& tell, const tListOptions& o) {
  std::vector<tListed> entries;
  std::vector<std::string> dangling;
  const bool facts = o.Long || o.Json;
  const auto [status, show] =
      facts ? ListFacts(plugin, tell, o, entries, dangling) : ListNamesOnly(plugin, tell, o, entries);
  if (!show) return status;
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
