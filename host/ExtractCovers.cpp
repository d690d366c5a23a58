// fb2pack extract --covers: each book's cover written as DIR/BOOK.EXT, named
// after its book, the extension from the image's kind; two books of one
// name never write one file.
#include <filesystem>
#include <optional>
#include <set>

#include "BookFacts.h"
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Library.h"
#include "NameList.h"
#include "Scratch.h"
#include "Signals.h"
#include "Walk.h"

namespace fs = std::filesystem;

namespace {

// The book's name without its folders and its .fb2, .fb2.zip or .fbz.
std::string BookStem(const std::string& shown) {
  std::string name = shown.substr(shown.find_last_of("/\\") + 1);
  for (const std::string end : {".fb2.zip", ".fbz", ".fb2", ".zip"}) {
    if (name.size() > end.size() && EndsWithNoCase(name, end)) return name.substr(0, name.size() - end.size());
  }
  return name;
}

std::string Extension(const std::string& kind) {
  static const std::pair<const char*, const char*> kKinds[] = {{"PNG", ".png"},   {"JPEG", ".jpg"}, {"GIF", ".gif"},
                                                               {"WebP", ".webp"}, {"BMP", ".bmp"},  {"SVG", ".svg"}};
  for (const auto& [label, ext] : kKinds) {
    if (kind == label) return ext;
  }
  return ".bin";
}

}  // namespace

int ExtractCovers(const PluginLoader& plugin, const tTell& tell, const tExtractOptions& o,
                  const std::vector<std::string>& paths) {
  if (plugin.BookApi == nullptr) return tell.Fail(NeedsBookApi("extract --covers"));
  std::error_code ec;
  const fs::path folder = HostPath(o.Folder);
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) return tell.Fail(o.Folder + ": not a folder");
  if (!fs::exists(folder, ec) && !fs::create_directories(folder, ec) && ec) {
    return tell.Fail("cannot make the folder " + o.Folder + ": " + ec.message());
  }
  std::string dir = o.Folder;
  if (dir.empty() || !IsPathSeparator(dir.back())) dir += kPathSeparator;
  // Declared first, gone last: an interrupt waits until the folder is removed.
  tSignalsHeld held;
  std::optional<tScratchFolder> scratch;
  tScratchFolder own;  // where each cover is written before it takes its name
  if (!own.Made()) return tell.Fail("cannot make a temporary folder to extract through");
  std::string why;
  std::vector<char> ownPath = CString(PluginPath(own.Path(), why));
  if (ownPath.size() == 1) return tell.Fail(why);
  std::set<std::string> written;  // the names this run gave
  int status = 0;
  tLibraryWalk walk(paths);
  for (tBookSource source; walk.Next(source);) {
    if (held.Arrived()) return 1;
    if (std::string problem = source.Problem.empty() ? Fetch(source, scratch) : source.Problem; !problem.empty()) {
      status = tell.Fail(source.Shown + ": " + problem);
      continue;
    }
    const tBookPath book(source.Shown, source.File);
    tBookFacts facts;
    if (book.ForPlugin.empty() || ReadBookFacts(plugin, book.ForPlugin, false, facts) != tFactsRead::Ok) {
      status = tell.Fail(source.Shown + ": cannot be read");
      continue;
    }
    std::string cover;  // as the plug-in names it
    for (const tEntryFacts& e : facts.Entries) {
      if (e.Cover) cover = e.Name;
    }
    if (cover.empty()) {
      tell.Warn(source.Shown +
                (facts.HasCover ? ": its cover is #" + facts.Cover + ", which the book lacks" : ": no cover"));
      continue;
    }
    const std::string file = own.Path() + "cover";
    int rc = -1;
    Walk(plugin, tell, book, [&](const std::string& name, ArchiveHandle h) {
      if (name != cover || rc != -1) {
        plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
        return 0;
      }
      std::vector<char> dest = CString("cover");
      rc = plugin.ProcessFile(h, PK_EXTRACT, ownPath.data(), dest.data());
      return 0;
    });
    if (rc != 0) {
      status = rc == -1 ? tell.Fail(source.Shown + ": its cover could not be read")
                        : ExtractFailed(tell, source.Shown, FromPlugin(cover), "the temporary folder", rc);
      continue;
    }
    // Named after the book; a name this run gave already takes the next number.
    const std::string stem = BookStem(source.Shown);
    const std::string ext = Extension(SniffImage(plugin, ReadHead(file, 4096)).Label);
    std::string name = stem + ext;
    for (int n = 2; written.count(name) != 0; ++n) name = stem + " (" + std::to_string(n) + ")" + ext;
    written.insert(name);
    const std::string target = dir + name;
    if (o.KeepOld && fs::exists(fs::symlink_status(HostPath(target), ec))) {
      tell.Warn(target + ": exists; left as it is");
      continue;
    }
    fs::rename(HostPath(file), HostPath(target), ec);
    if (ec) {
      // Another volume: copied, then the copy in the temporary folder goes.
      fs::copy_file(HostPath(file), HostPath(target), fs::copy_options::overwrite_existing, ec);
      fs::remove(HostPath(file));
      if (ec) status = tell.Fail(target + ": cannot be written: " + ec.message());
    }
  }
  return status;
}
