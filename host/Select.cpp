#include "Select.h"

#include <map>

#include "BookFacts.h"
#include "Encoding.h"
#include "Patterns.h"

bool IsPattern(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

namespace {

// The book's entries by id, read only when a name asks for them.
class tIds {
 public:
  tIds(const PluginLoader& plugin, const tBookPath& book, const tBookFacts* known)
      : plugin_(plugin), book_(book), known_(known) {}
  std::string EntryOf(const std::string& id) {
    if (known_ == nullptr) {
      if (!book_.ForPlugin.empty()) ReadBookFacts(plugin_, book_.ForPlugin, false, read_);
      known_ = &read_;
    }
    return EntryByFullName(*known_, id);
  }

 private:
  const PluginLoader& plugin_;
  const tBookPath& book_;
  const tBookFacts* known_;
  tBookFacts read_;
};

}  // namespace

int Select(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, const std::vector<std::string>& names,
           const std::vector<std::string>& patterns, const std::string& nothingDone, std::set<std::string>& chosen,
           const tBookFacts* known) {
  std::map<std::string, std::string> shown;  // by the name as shown, the plug-in's
  std::vector<std::string> read;             // the names as shown, in order
  for (const std::string& n : names) {
    read.push_back(FromPlugin(n));
    shown.emplace(read.back(), n);
  }
  tIds ids(plugin, book, known);
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
      if (std::string entry = ids.EntryOf(p); !entry.empty()) {
        chosen.insert(entry);
        any = true;
      }
    }
    std::string spelt;
    if (!any) {
      // Without the further export a name the code page cannot spell is
      // found nowhere: the listing shows "_" in its place. With it, every
      // name was looked for in full.
      const bool unspelt = plugin.BookApi == nullptr && !ToPlugin(p, spelt);
      status = tell.Fail(book.Given + ": no entry named " + p + nothingDone +
                         (unspelt ? " (the system's code page cannot spell this name: such names are listed with _ "
                                    "for each character it lacks)"
                                  : ""));
    }
  }
  return status;
}

std::string EntryByFullName(const tBookFacts& facts, const std::string& typed) {
  // Its name in full first: one that the code page cannot spell.
  for (const tEntryFacts& e : facts.Entries) {
    if (!e.FullName.empty() && e.FullName == typed) return e.Name;
  }
  for (const tEntryFacts& e : facts.Entries) {
    if (e.Id == typed) return e.Name;
  }
  return {};
}
