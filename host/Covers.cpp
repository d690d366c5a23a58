// fb2pack covers: for each book of a library, its cover (name, type, size in
// pixels), or that it has none, that its cover reference names an image the
// book lacks, or that the cover image is damaged.
#include <optional>
#include <vector>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Jobs.h"
#include "Library.h"
#include "NameList.h"
#include "Output.h"
#include "Signals.h"
#include "Walk.h"

namespace {

struct tCoverLine {
  std::string Book;
  std::string State;  // "cover", "none", "missing", "damaged", "unreadable"
  std::string Name, Id, Type, Problem;
  unsigned Width = 0, Height = 0;
};

tCoverLine CoverOf(const PluginLoader& plugin, tBookSource& source, std::optional<tScratchFolder>& scratch) {
  tCoverLine line{source.Shown, "unreadable", {}, {}, {}, {}, 0, 0};
  line.Problem = source.Problem.empty() ? Fetch(source, scratch) : source.Problem;
  if (!line.Problem.empty()) return line;
  const tBookPath path(source.Shown, source.File);
  if (std::string why = FileProblem(path.File, false); !why.empty()) {
    line.Problem = why;
    return line;
  }
  if (path.ForPlugin.empty()) {
    line.Problem = path.Why;
    return line;
  }
  line.Problem = NotABook(plugin, path);
  if (!line.Problem.empty()) return line;
  tBookFacts facts;
  if (ReadBookFacts(plugin, path.ForPlugin, true, facts) != tFactsRead::Ok) {
    line.Problem = "cannot be read to its end";
    return line;
  }
  if (!facts.HasCover) {
    line.State = "none";
    return line;
  }
  line.Id = facts.Cover;
  for (const tEntryFacts& e : facts.Entries) {
    if (!e.Cover) continue;
    line.Name = FromPlugin(e.Name);
    line.Type = SniffImage(plugin, e.Head).Label;
    line.Width = e.Width;
    line.Height = e.Height;
    std::string damage = e.ImageDamage;
    if (e.Damage != 0) damage = (e.Damage & FB2API_CUT) ? "cut off by the end of the book" : "its base64 is damaged";
    line.State = damage.empty() ? "cover" : "damaged";
    line.Problem = damage;
    return line;
  }
  line.State = "missing";
  return line;
}

std::string Plain(const tCoverLine& c) {
  std::string out = c.Book + ": ";
  if (c.State == "none") return out + "no cover\n";
  if (c.State == "missing") return out + "its cover is #" + c.Id + ", which the book lacks\n";
  if (c.State == "unreadable") return out + c.Problem + "\n";
  out += c.Name + " (" + (c.Type.empty() ? "no image" : c.Type);
  if (c.Width != 0) out += ", " + std::to_string(c.Width) + "x" + std::to_string(c.Height);
  out += ")";
  if (c.State == "damaged") out += " is damaged: " + c.Problem;
  return out + "\n";
}

std::string Json(const tCoverLine& c) {
  auto text = [](const std::string& s) { return s.empty() ? std::string("null") : JsonText(s); };
  auto number = [](unsigned n) { return n == 0 ? std::string("null") : std::to_string(n); };
  return "{\"book\": " + JsonText(c.Book) + ", \"state\": " + JsonText(c.State) + ", \"cover\": " + text(c.Name) +
         ", \"id\": " + text(c.Id) + ", \"type\": " + text(c.Type) + ", \"width\": " + number(c.Width) +
         ", \"height\": " + number(c.Height) + ", \"problem\": " + text(c.Problem) + "}";
}

}  // namespace

int Covers(const PluginLoader& plugin, const tTell& tell, const tCoversOptions& o) {
  if (plugin.BookApi == nullptr) return tell.Fail(NeedsBookApi("covers"));
  // Declared first, gone last: an interrupt waits until the folder is removed.
  tSignalsHeld held;
  tLibraryWalk walk(o.Books);
  const std::size_t workers = LibraryWorkers();
  std::vector<std::optional<tScratchFolder>> scratch(workers);  // where each thread reads zipped books
  struct tSlot {
    tBookSource Source;
    tCoverLine Line;
  };
  std::vector<tSlot> slots(2 * workers);
  int status = 0;
  bool writable = true;
  bool first = true;
  auto take = [&](std::size_t s) { return walk.Next(slots[s].Source); };
  auto work = [&](std::size_t s, std::size_t worker) {
    slots[s].Line = CoverOf(plugin, slots[s].Source, scratch[worker]);
  };
  auto then = [&](std::size_t s) {
    const tCoverLine& line = slots[s].Line;
    if (line.State == "unreadable") status = 1;
    // JSON as it goes, too: the report of a whole library is never held.
    writable = WriteOut(o.Json ? (first ? "[\n" : ",\n") + Json(line) : Plain(line));
    first = false;
    // An interrupt ends the walk after the books under way.
    return writable && !held.Arrived();
  };
  InBookOrder(slots.size(), workers, take, work, then);
  if (!writable || (o.Json && !WriteOut(first ? "[]\n" : "\n]\n"))) return tell.Fail("cannot write the report");
  return status;
}
