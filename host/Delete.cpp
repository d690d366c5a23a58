// fb2pack delete: entries removed, with a warning for each image the text
// still shows; the book read once and copied once, through the further
// export, or with only the archive operations where the plug-in lacks it.
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "NameList.h"
#include "Select.h"
#include "Walk.h"

namespace {

// The names of the entries chosen, in book order.
std::vector<std::string> Chosen(const std::vector<std::string>& names, const std::set<std::string>& chosen) {
  std::vector<std::string> gone;
  for (const std::string& n : names) {
    if (chosen.count(n)) gone.push_back(n);
  }
  return gone;
}

// As a file manager deletes: the names listed, then DeleteFiles.
int DeleteThroughTheArchive(const PluginLoader& plugin, const tTell& tell, const tBookPath& book,
                            const tDeleteOptions& o) {
  std::vector<std::string> names;
  if (int rc = ListNames(plugin, tell, book, names); rc != 0) return rc;
  if (names.empty() && CheckBook(plugin, tell, book, false) != 0) return 1;
  std::set<std::string> chosen;
  if (Select(plugin, tell, book, names, o.Patterns, "; nothing was deleted", chosen) != 0) return 1;
  std::vector<char> path = CString(book.ForPlugin);
  std::vector<char> list = MakeNameList(Chosen(names, chosen));
  const int rc = plugin.DeleteFiles(path.data(), list.data());
  return rc == 0 ? 0 : RewriteFailed(plugin, tell, o.Book, rc);
}

}  // namespace

int Delete(const PluginLoader& plugin, const tTell& tell, const tDeleteOptions& o) {
  const tBookPath path(o.Book, o.File.empty() ? o.Book : o.File);
  if (path.ForPlugin.empty()) return tell.Fail(path.Why);
  if (plugin.BookApi == nullptr) return DeleteThroughTheArchive(plugin, tell, path, o);
  tBookForChange book(plugin, path.ForPlugin);
  // What cannot be read for a change is told as the walk and the rewrite
  // would tell it.
  if (book.Result != 0) return DeleteThroughTheArchive(plugin, tell, path, o);
  std::vector<std::string> names;
  for (const tEntryFacts& e : book.Facts.Entries) names.push_back(e.Name);
  if (names.empty() && CheckBook(plugin, tell, path, false) != 0) return 1;
  std::set<std::string> chosen;
  if (Select(plugin, tell, path, names, o.Patterns, "; nothing was deleted", chosen, &book.Facts) != 0) return 1;
  if (int rc = book.Delete(Chosen(names, chosen)); rc != 0) return RewriteFailed(plugin, tell, o.Book, rc);
  // An image the text shows, whose id no element left in the book has, is named.
  std::set<std::string> left, shown;  // the ids of the elements that stay, and of those the text shows
  for (const tEntryFacts& e : book.Facts.Entries) {
    if (chosen.count(e.Name) == 0) left.insert(e.Id);
    if (e.Referenced) shown.insert(e.Id);
  }
  for (const tEntryFacts& e : book.Facts.Entries) {
    if (chosen.count(e.Name) != 0 && shown.count(e.Id) != 0 && left.count(e.Id) == 0) {
      tell.Warn(o.Book + ": " + ShownName(e) + " is still shown in the text (href=\"#" + e.Id +
                "\"); readers will show a missing picture there");
    }
  }
  return 0;
}
