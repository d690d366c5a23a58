// fb2pack test: every entry of each book decoded, writing nothing, in one
// reading of the book through the plug-in's further export; each image's own
// structure is checked here, on the bytes the plug-in decodes.
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Output.h"
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

// Tests one book; 0 when it is whole, 1 when it is not, or cannot be read.
int TestBook(const PluginLoader& plugin, const tTell& tell, const std::string& book) {
  if (std::string why = FileProblem(book, false); !why.empty()) return tell.Fail(book + ": " + why);
  const tBookPath path(book);
  if (path.ForPlugin.empty()) return tell.Fail(path.Why);
  // What the plug-in does not recognise is no book, as unzip -t says of a
  // file that is no zip, whatever images it may hold.
  if (CheckBook(plugin, tell, path, false) != 0) return 1;
  tBookFacts facts;
  switch (ReadBookFacts(plugin, path.ForPlugin, true, facts)) {
    case tFactsRead::Ok: break;
    case tFactsRead::NoApi: return tell.Fail(NeedsBookApi("test"));
    case tFactsRead::NoMemory: return tell.Fail(book + ": not enough memory to read it");
    case tFactsRead::CannotRead: return tell.Fail(book + ": cannot be read to its end");
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
  if (!WriteOut(out)) return tell.Fail("cannot write the report");
  return damaged == 0 && facts.Ends ? 0 : 1;
}

}  // namespace

int Test(const PluginLoader& plugin, const tTell& tell, const std::vector<std::string>& books) {
  if (plugin.BookApi == nullptr) return tell.Fail(NeedsBookApi("test"));
  int status = 0;
  for (const std::string& book : books) status |= TestBook(plugin, tell, book);
  return status;
}
