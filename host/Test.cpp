// fb2pack test: every entry of each book decoded, writing nothing, in one
// reading of the book through the plug-in's further export; each image's own
// structure is checked here, on the bytes the plug-in decodes. Zipped books
// and folders of books are tested book by book.
#include <optional>
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Library.h"
#include "NameList.h"
#include "Output.h"
#include "Scratch.h"
#include "Signals.h"
#include "Walk.h"
#include "textutil/Ascii.h"

namespace {

// How an entry's reading ended, in words; empty when it is whole.
std::string DamageOf(const tEntryFacts& e) {
  std::string why;
  auto add = [&](bool yes, const char* what) {
    if (yes) why += (why.empty() ? "" : ", ") + std::string(what);
  };
  add(e.Damage & FB2API_CUT, "cut off by the end of the book");
  add(e.Damage & FB2API_FOREIGN, "not base64");
  add(e.Damage & FB2API_AFTER_END, "symbols after its end");
  add(e.Damage & FB2API_STRAY, "stopped by a stray tag");
  add(e.Damage & FB2API_LONE, "one symbol too many");
  add(!e.ImageDamage.empty(), e.ImageDamage.c_str());
  return why;
}

// Whether the bytes are the kind of image the element says; empty when they
// are.
std::string KindProblem(const PluginLoader& plugin, const tEntryFacts& e) {
  const tImageKind kind = SniffImage(plugin, e.Head);
  const std::string labelled = e.ContentType.empty() ? "no content type" : "labelled " + e.ContentType;
  if (kind.Label.empty()) return "holds no image (" + labelled + ")";
  std::string type;
  for (char c : e.ContentType) type += AsciiLower(c);
  if (type == "image/jpg") type = "image/jpeg";
  if (type != kind.ContentType) return labelled + ", holds " + kind.Label;
  return {};
}

// What a book was found to be.
enum class tVerdict { Whole, Damaged, NotABook };

// Tests one book (as the host reads it: book.File); with quiet, says
// nothing of a whole book or of a file that is no book.
tVerdict TestBook(const PluginLoader& plugin, const tTell& tell, const tBookPath& path, bool quiet) {
  const std::string& book = path.Given;
  if (std::string why = FileProblem(path.File, false); !why.empty()) {
    tell.Fail(book + ": " + why);
    return tVerdict::Damaged;
  }
  if (path.ForPlugin.empty()) {
    tell.Fail(path.Why);
    return tVerdict::Damaged;
  }
  // What the plug-in does not recognise is no book, as unzip -t says of a
  // file that is no zip, whatever images it may hold.
  if (const std::string why = NotABook(plugin, path); !why.empty()) {
    if (!quiet) tell.Fail(book + ": " + why);
    return tVerdict::NotABook;
  }
  tBookFacts facts;
  switch (ReadBookFacts(plugin, path.ForPlugin, true, facts)) {
    case tFactsRead::Ok: break;
    case tFactsRead::NoApi: tell.Fail(NeedsBookApi("test")); return tVerdict::Damaged;
    case tFactsRead::NoMemory: tell.Fail(book + ": not enough memory to read it"); return tVerdict::Damaged;
    case tFactsRead::CannotRead: tell.Fail(book + ": cannot be read to its end"); return tVerdict::Damaged;
  }
  std::string out;
  std::size_t damaged = 0;
  for (const tEntryFacts& e : facts.Entries) {
    if (std::string why = DamageOf(e); !why.empty()) {
      out += book + ": " + FromPlugin(e.Name) + ": " + why + "\n";
      ++damaged;
    } else if (std::string kind = KindProblem(plugin, e); !kind.empty()) {
      out += book + ": " + FromPlugin(e.Name) + ": " + kind + "\n";
    }
  }
  // In a book cut short, the images the text shows were lost with its end:
  // the cut is the verdict, not each of them.
  for (const std::string& id : facts.Ends ? facts.Missing : std::vector<std::string>{}) {
    out += book + ": the text shows #" + id + ", which no image has\n";
  }
  // A book without its end was cut short (a download that stopped), whatever
  // its images: adding to it is refused for the same reason.
  const std::size_t n = facts.Entries.size();
  const std::string count = std::to_string(n) + (n == 1 ? " image" : " images");
  const std::string images = damaged == 0 ? count : std::to_string(damaged) + " of " + count + " damaged";
  if (!facts.Ends) {
    out += book + ": cut short (no </FictionBook>); " + images + "\n";
  } else {
    out += book + ": " + (damaged == 0 ? "whole (" + images + ")" : images) + "\n";
  }
  const tVerdict verdict = damaged == 0 && facts.Ends ? tVerdict::Whole : tVerdict::Damaged;
  if ((!quiet || verdict != tVerdict::Whole) && !WriteOut(out)) tell.Fail("cannot write the report");
  return verdict;
}

}  // namespace

int Test(const PluginLoader& plugin, const tTell& tell, const tTestOptions& o) {
  if (plugin.BookApi == nullptr) return tell.Fail(NeedsBookApi("test"));
  // Declared first, gone last: an interrupt waits until the folder is removed.
  tSignalsHeld held;
  std::optional<tScratchFolder> scratch;  // where zipped books are read
  std::size_t whole = 0, damaged = 0, notBooks = 0;
  for (tBookSource& source : BooksOf(o.Books)) {
    std::string why = source.Problem.empty() ? Fetch(source, scratch) : source.Problem;
    tVerdict verdict = tVerdict::Damaged;
    if (!why.empty()) {
      // Damage in the zip is damage, not "no book".
      if (!WriteOut(source.Shown + ": " + why + "\n")) tell.Fail("cannot write the report");
    } else {
      verdict = TestBook(plugin, tell, tBookPath(source.Shown, source.File), o.Quiet);
    }
    whole += verdict == tVerdict::Whole;
    damaged += verdict == tVerdict::Damaged;
    notBooks += verdict == tVerdict::NotABook;
  }
  if (o.Quiet) {
    const std::size_t all = whole + damaged + notBooks;
    const std::string summary = std::to_string(all) + (all == 1 ? " book: " : " books: ") + std::to_string(whole) +
                                " whole, " + std::to_string(damaged) + " damaged, " + std::to_string(notBooks) +
                                (notBooks == 1 ? " not a book" : " not books") + "\n";
    if (!WriteOut(summary)) tell.Fail("cannot write the report");
  }
  return damaged == 0 && notBooks == 0 ? 0 : 1;
}
