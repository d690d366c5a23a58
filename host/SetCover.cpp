// fb2pack set-cover: the cover edit, through the plug-in's further export.
#include <filesystem>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Output.h"
#include "Select.h"
#include "Walk.h"

namespace fs = std::filesystem;

int SetCover(const PluginLoader& plugin, const tTell& tell, const tCoverOptions& o) {
  const tFb2Api* api = plugin.BookApi;
  if (api == nullptr) return tell.Fail(NeedsBookApi("set-cover"));
  // The book is read once, for the names and the change alike.
  const tBookPath path(o.Book, o.File.empty() ? o.Book : o.File);
  if (path.ForPlugin.empty()) return tell.Fail(path.Why);
  tBookForChange book(plugin, path.ForPlugin);
  if (book.Result != 0) {
    // Told as a walk tells it, or as a rewrite does.
    std::vector<std::string> names;
    if (int rc = ListNames(plugin, tell, path, names); rc != 0) return rc;
    if (names.empty() && CheckBook(plugin, tell, path, false) != 0) return 1;
    return RewriteFailed(plugin, tell, o.Book, book.Result);
  }
  if (book.Facts.Entries.empty() && CheckBook(plugin, tell, path, false) != 0) return 1;
  // An entry the book lists is meant by its name; a file, by a name the book
  // does not list or by a path with a folder in it.
  std::string entry;  // as the plug-in names it
  for (const tEntryFacts& e : book.Facts.Entries) {
    if (entry.empty() && (FromPlugin(e.Name) == o.What || e.FullName == o.What)) entry = e.Name;
  }
  // A name the listing shows otherwise is found through the book's ids.
  if (entry.empty()) entry = EntryByFullName(book.Facts, o.What);
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
  const std::string filePath = isEntry ? std::string() : PluginPath(o.What, why);
  if (!isEntry && filePath.empty()) return tell.Fail(why);
  const tFb2CoverOutcome out = book.SetCover(filePath, entry);
  const std::string name = out.FullName ? out.FullName : FromPlugin(out.Name ? out.Name : "");
  const std::string id = out.Id ? out.Id : "";
  const std::string oldCover = out.OldCover ? out.OldCover : "";
  const std::string unchanged = "; the book is unchanged";
  switch (out.Result) {
    case FB2API_COVER_DONE: break;
    case FB2API_COVER_ALREADY:
      return WriteOut(o.Book + ": " + name + " is the cover already" + unchanged + "\n") ? 0 : 1;
    case FB2API_COVER_NO_ENTRY: return tell.Fail(o.Book + ": no entry named " + o.What + unchanged);
    case FB2API_COVER_SHADOWED:
      return tell.Fail(o.Book + ": " + name + " has the id of an earlier image (#" + id +
                       "), which readers would show instead" + unchanged);
    case FB2API_COVER_NO_TITLE:
      return tell.Fail(o.Book + ": it has no <title-info>, where a book names its cover" + unchanged);
    case FB2API_COVER_UNCLEAR:
      return tell.Fail(o.Book + ": cannot tell where it names its cover (more than one <title-info>, or one that " +
                       "does not end, or more than one <coverpage> in it)" + unchanged);
    default:
      return isEntry ? RewriteFailed(plugin, tell, o.Book, out.Code)
                     : AddFailed(plugin, tell, o.Book, {o.What}, out.Code);
  }
  std::string said = o.Book + ": the cover is now " + name;
  if (out.Added) said += " (added)";
  if (out.Replaced) said += " (its image replaced)";
  if (out.HadCover && oldCover != id) said += "; it was #" + oldCover;
  if (out.NewCoverPage) said += "; a cover page was written into <title-info>";
  return WriteOut(said + "\n") ? 0 : tell.Fail("cannot write what was done");
}
