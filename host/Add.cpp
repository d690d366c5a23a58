// fb2pack add: files added through the archive operations, in one call, as a
// file manager packs them.
#include <filesystem>
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "NameList.h"

namespace fs = std::filesystem;

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
  // find in its way. A head that cannot be read now (a rewrite elsewhere is
  // putting its book in place) is left to the plug-in, which says why it
  // cannot add.
  if (const tFb2Api* api = plugin.BookApi; api != nullptr) {
    const std::string head = ReadHead(o.File.empty() ? o.Book : o.File, api->RootTagWithin());
    if (!head.empty() && !api->IsBookHead(head.data(), head.size())) {
      const std::string what = WhatItIsInstead(o.File.empty() ? o.Book : o.File);
      return tell.Fail(o.Book + ": not an FB2 book" + (what.empty() ? "" : ": " + what) + "; nothing was added");
    }
  }
  // Each file goes by a path the plug-in can open; the file's own name
  // becomes its entry's.
  std::vector<std::string> given;
  std::string why;
  for (const std::string& file : files) {
    given.push_back(PluginPath(file, why));
    if (given.back().empty()) return tell.Fail(why);
  }
  const tBookPath path(o.Book, o.File.empty() ? o.Book : o.File);
  if (path.ForPlugin.empty()) return tell.Fail(path.Why);
  std::vector<char> book = CString(path.ForPlugin);
  std::vector<char> src = CString("");
  std::vector<char> list = MakeNameList(given);
  const int rc = plugin.PackFiles(book.data(), nullptr, src.data(), list.data(), 0);
  return rc == 0 ? 0 : AddFailed(plugin, tell, o.Book, files, rc);
}
