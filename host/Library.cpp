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

void AddFile(const std::string& path, std::vector<tBookSource>& out) {
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

void Walk(const std::string& folder, std::vector<tBookSource>& out) {
  std::error_code ec;
  std::vector<std::pair<std::string, bool>> found;  // name, is a folder
  for (const fs::directory_entry& e : fs::directory_iterator(HostPath(folder), ec)) {
    std::error_code ec2;
    // Links are not followed: a walk stays in the tree it was given.
    if (e.is_symlink(ec2)) continue;
    const bool dir = e.is_directory(ec2);
    const std::string name = FromHostPath(e.path().filename());
    if (dir || (e.is_regular_file(ec2) && LooksLikeABook(name))) found.emplace_back(name, dir);
  }
  std::sort(found.begin(), found.end());
  const std::string base = folder.empty() || folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/";
  for (const auto& [name, dir] : found) {
    if (dir) {
      Walk(base + name, out);
    } else {
      AddFile(base + name, out);
    }
  }
}

}  // namespace

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(HostPath(path), ec);
}

std::vector<tBookSource> BooksOf(const std::vector<std::string>& paths) {
  std::vector<tBookSource> out;
  for (const std::string& path : paths) {
    if (IsFolder(path)) {
      const std::size_t before = out.size();
      Walk(path, out);
      if (out.size() == before) out.push_back({path, path, {}, 0, false, "it is a folder with no book in it"});
    } else {
      AddFile(path, out);
    }
  }
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
