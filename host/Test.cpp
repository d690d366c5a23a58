// fb2pack test: every entry of each book decoded, writing nothing, in one
// reading of the book through the plug-in's further export; each image's own
// structure is checked here, on the bytes the plug-in decodes. Zipped books
// and folders of books are tested book by book.
#include <optional>
#include <set>
#include <vector>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Jobs.h"
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

// A book's test as it is told: the report's lines and what goes to standard
// error, kept until the books before it are told.
struct tTested {
  tVerdict Verdict = tVerdict::Damaged;
  std::string Out;
  std::string Failure;
};

// Tests one book (as the host reads it: book.File); with quiet, says
// nothing of a whole book or of a file that is no book.
tTested TestBook(const PluginLoader& plugin, const tBookPath& path, bool quiet) {
  const std::string& book = path.Given;
  auto failed = [](std::string why, tVerdict verdict = tVerdict::Damaged) { return tTested{verdict, {}, why}; };
  if (std::string why = FileProblem(path.File, false); !why.empty()) return failed(book + ": " + why);
  if (path.ForPlugin.empty()) return failed(path.Why);
  // What the plug-in does not recognise is no book, as unzip -t says of a
  // file that is no zip, whatever images it may hold.
  if (const std::string why = NotABook(plugin, path); !why.empty()) {
    return failed(quiet ? std::string() : book + ": " + why, tVerdict::NotABook);
  }
  tBookFacts facts;
  switch (ReadBookFacts(plugin, path.ForPlugin, true, facts)) {
    case tFactsRead::Ok: break;
    case tFactsRead::NoApi: return failed(NeedsBookApi("test"));
    case tFactsRead::NoMemory: return failed(book + ": not enough memory to read it");
    case tFactsRead::CannotRead: return failed(book + ": cannot be read to its end");
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
  return {verdict, quiet && verdict == tVerdict::Whole ? std::string() : out, {}};
}

}  // namespace

int Test(const PluginLoader& plugin, const tTell& tell, const tTestOptions& o) {
  if (plugin.BookApi == nullptr) return tell.Fail(NeedsBookApi("test"));
  // Declared first, gone last: an interrupt waits until the folder is removed.
  tSignalsHeld held;
  tLibraryWalk walk(o.Books);
  const std::size_t workers = LibraryWorkers();
  std::vector<std::optional<tScratchFolder>> scratch(workers);  // where each thread reads zipped books
  struct tSlot {
    tBookSource Source;
    tTested Tested;
  };
  std::vector<tSlot> slots(2 * workers);
  std::size_t whole = 0, damaged = 0, notBooks = 0;
  auto take = [&](std::size_t s) { return walk.Next(slots[s].Source); };
  auto work = [&](std::size_t s, std::size_t worker) {
    tBookSource& source = slots[s].Source;
    if (std::string why = source.Problem.empty() ? Fetch(source, scratch[worker]) : source.Problem; !why.empty()) {
      // Damage in the zip is damage, not "no book".
      slots[s].Tested = {tVerdict::Damaged, source.Shown + ": " + why + "\n", {}};
    } else {
      slots[s].Tested = TestBook(plugin, tBookPath(source.Shown, source.File), o.Quiet);
    }
  };
  bool writable = true;
  auto then = [&](std::size_t s) {
    const tTested& told = slots[s].Tested;
    if (!told.Failure.empty()) tell.Fail(told.Failure);
    writable = told.Out.empty() || WriteOut(told.Out);
    whole += told.Verdict == tVerdict::Whole;
    damaged += told.Verdict == tVerdict::Damaged;
    notBooks += told.Verdict == tVerdict::NotABook;
    // An interrupt ends the walk after the books under way.
    return writable && !held.Arrived();
  };
  InBookOrder(slots.size(), workers, take, work, then);
  if (!writable) return tell.Fail("cannot write the report");
  if (o.Quiet) {
    const std::size_t all = whole + damaged + notBooks;
    const std::string summary = std::to_string(all) + (all == 1 ? " book: " : " books: ") + std::to_string(whole) +
                                " whole, " + std::to_string(damaged) + " damaged, " + std::to_string(notBooks) +
                                (notBooks == 1 ? " not a book" : " not books") + "\n";
    if (!WriteOut(summary)) tell.Fail("cannot write the report");
  }
  return damaged == 0 && notBooks == 0 ? 0 : 1;
}
