#include "Library.h"

#include <algorithm>
#include <filesystem>

#include "Encoding.h"
#include "FileChecks.h"
#include "Zip.h"

namespace fs = std::filesystem;

namespace {

// What a walk over a folder takes: books, zipped books and collections.
bool LooksLikeABook(const std::string& name) {
  return EndsWithNoCase(name, ".fb2") || EndsWithNoCase(name, ".fbz") || EndsWithNoCase(name, ".zip");
}

void AddFile(const std::string& path, std::deque<tBookSource>& out) {
  if (!IsZipFile(path)) {
    out.push_back({path, path, {}, 0, false, {}});
    return;
  }
  tZipReader zip(path);
  if (!zip.Problem().empty()) {
    out.push_back({path, path, path, 0, false, "the zip archive cannot be read: " + zip.Problem()});
    return;
  }
  const std::vector<std::size_t> books = zip.Books();
  if (books.empty()) {
    out.push_back({path, path, {}, 0, false, {}});  // the command says what it is
    return;
  }
  for (std::size_t i : books) {
    const bool alone = books.size() == 1;
    out.push_back({alone ? path : path + "/" + zip.Members()[i].Name, {}, path, i, alone, {}});
  }
}

}  // namespace

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(HostPath(path), ec);
}

void tLibraryWalk::Enter(const std::string& folder, bool given) {
  tFolder f;
  f.Base = folder.empty() || folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/";
  if (given) f.Given = folder;
  f.BooksBefore = told_;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(HostPath(folder), ec)) {
    std::error_code ec2;
    // Links are not followed: a walk stays in the tree it was given.
    if (e.is_symlink(ec2)) continue;
    const bool dir = e.is_directory(ec2);
    const std::string name = FromHostPath(e.path().filename());
    if (dir || (e.is_regular_file(ec2) && LooksLikeABook(name))) f.Found.emplace_back(name, dir);
  }
  std::sort(f.Found.begin(), f.Found.end());
  folders_.push_back(std::move(f));
}

bool tLibraryWalk::Next(tBookSource& book) {
  for (;;) {
    if (!ready_.empty()) {
      book = std::move(ready_.front());
      ready_.pop_front();
      ++told_;
      return true;
    }
    if (!folders_.empty()) {
      tFolder& f = folders_.back();
      if (f.Next == f.Found.size()) {
        if (!f.Given.empty() && told_ == f.BooksBefore) {
          ready_.push_back({f.Given, f.Given, {}, 0, false, "it is a folder with no book in it"});
        }
        folders_.pop_back();
        continue;
      }
      const auto& [name, dir] = f.Found[f.Next++];
      const std::string path = f.Base + name;
      if (dir) {
        Enter(path, false);
      } else {
        AddFile(path, ready_);
      }
      continue;
    }
    if (path_ == paths_.size()) return false;
    const std::string& path = paths_[path_++];
    if (IsFolder(path)) {
      Enter(path, true);
    } else {
      AddFile(path, ready_);
    }
  }
}

std::vector<tBookSource> BooksOf(const std::vector<std::string>& paths) {
  std::vector<tBookSource> out;
  tLibraryWalk walk(paths);
  for (tBookSource book; walk.Next(book);) out.push_back(std::move(book));
  return out;
}

std::string Fetch(tBookSource& book, std::optional<tScratchFolder>& made) {
  if (book.Archive.empty() || !book.File.empty()) return {};
  if (!made) made.emplace();
  const tScratchFolder& scratch = *made;
  if (!scratch.Made()) return "no temporary folder to read it in";
  tZipReader zip(book.Archive);
  if (!zip.Problem().empty()) return "the zip archive cannot be read: " + zip.Problem();
  const std::string file = scratch.Path() + "book.fb2";
  const std::string why = zip.Extract(book.Member, file);
  if (!why.empty()) return "the zipped book is damaged: " + why;
  book.File = file;
  return {};
}
