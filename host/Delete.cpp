// fb2pack delete: entries removed through the archive operations, with a
// warning for each image the text still shows.
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "NameList.h"
#include "Select.h"
#include "Walk.h"

int Delete(const PluginLoader& plugin, const tTell& tell, const tDeleteOptions& o) {
  std::vector<std::string> names;
  if (int rc = ListNames(plugin, tell, o.Book, names); rc != 0) return rc;
  if (names.empty() && CheckBook(plugin, tell, o.Book, false) != 0) return 1;
  std::set<std::string> chosen;
  if (Select(plugin, tell, o.Book, names, o.Patterns, "; nothing was deleted", chosen) != 0) return 1;
  std::vector<std::string> gone;
  for (const std::string& n : names) {
    if (chosen.count(n)) gone.push_back(n);
  }
  // The references are read before the book changes: an image the text
  // shows, whose id no element left in the book has, is named.
  std::string why;
  const std::string bookPath = PluginPath(o.Book, why);
  if (bookPath.empty()) return tell.Fail(why);
  tBookFacts facts;
  const bool read = ReadBookFacts(plugin, bookPath, false, facts) == tFactsRead::Ok;
  std::vector<char> book = CString(bookPath);
  std::vector<char> list = MakeNameList(gone);
  if (int rc = plugin.DeleteFiles(book.data(), list.data()); rc != 0) return RewriteFailed(plugin, tell, o.Book, rc);
  if (!read) return 0;
  std::set<std::string> left, shown;  // the ids of the elements that stay, and of those the text shows
  for (const tEntryFacts& e : facts.Entries) {
    if (chosen.count(e.Name) == 0) left.insert(e.Id);
    if (e.Referenced) shown.insert(e.Id);
  }
  for (const tEntryFacts& e : facts.Entries) {
    if (chosen.count(e.Name) != 0 && shown.count(e.Id) != 0 && left.count(e.Id) == 0) {
      tell.Warn(o.Book + ": " + FromPlugin(e.Name) + " is still shown in the text (href=\"#" + e.Id +
                "\"); readers will show a missing picture there");
    }
  }
  return 0;
}
