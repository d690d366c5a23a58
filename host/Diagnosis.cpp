#include "Diagnosis.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "Encoding.h"
#include "HostServices.h"
#include "iwcxhead.h"

namespace fs = std::filesystem;

int tTell::Fail(const std::string& why, int code) const {
  std::string line = "fb2pack: " + why;
  if (Verbose && code != 0) line += " (" + CodeName(code) + ")";
  WriteText(stderr, line + "\n");
  return 1;
}

void tTell::Warn(const std::string& why) const { WriteText(stderr, "fb2pack: " + why + "\n"); }

int Usage(const std::string& why) {
  WriteText(stderr, "fb2pack: " + why + "\n(see fb2pack --help)\n");
  return 2;
}

std::string CodeName(int code) {
  switch (code) {
    case E_END_ARCHIVE: return "E_END_ARCHIVE";
    case E_NO_MEMORY: return "E_NO_MEMORY";
    case E_BAD_DATA: return "E_BAD_DATA";
    case E_BAD_ARCHIVE: return "E_BAD_ARCHIVE";
    case E_UNKNOWN_FORMAT: return "E_UNKNOWN_FORMAT";
    case E_EOPEN: return "E_EOPEN";
    case E_ECREATE: return "E_ECREATE";
    case E_ECLOSE: return "E_ECLOSE";
    case E_EREAD: return "E_EREAD";
    case E_EWRITE: return "E_EWRITE";
    case E_NOT_SUPPORTED: return "E_NOT_SUPPORTED";
    default: return "result " + std::to_string(code);
  }
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t cut = fb2pack::FileNameStart(path);
  return {path.substr(0, cut), path.substr(cut)};
}

namespace {

std::string FolderOf(const std::string& path) {
  std::string folder = SplitPath(path).first;
  return folder.empty() ? std::string(".") : folder;
}

bool Readable(const std::string& path) {
  std::ifstream f(HostPath(path), std::ios::binary);
  return f.good();
}

bool Writable(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  return (fs::status(HostPath(path), ec).permissions() & fs::perms::owner_write) != fs::perms::none;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

// Why path names nothing: a missing file, a link to one, or a loop of links;
// empty when it names something.
std::string Missing(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::status(HostPath(path), ec);
  if (ec == std::errc::too_many_symbolic_link_levels) return "a loop of symbolic links";
  if (fs::exists(st)) return "";
  std::error_code lec;
  if (fs::is_symlink(fs::symlink_status(HostPath(path), lec))) {
    std::error_code rec;
    const fs::path target = fs::read_symlink(HostPath(path), rec);
    return "a symbolic link to a file that does not exist" + (rec ? std::string() : " (" + FromHostPath(target) + ")");
  }
  return "no such file";
}

}  // namespace

std::string FileProblem(const std::string& path, bool forWriting) {
  if (std::string why = Missing(path); !why.empty()) return why;
  std::error_code ec;
  fs::file_status st = fs::status(HostPath(path), ec);
  if (fs::is_directory(st)) return "it is a folder, not a file";
  if (!fs::is_regular_file(st)) return "it is not a regular file";
  if (!Readable(path)) return "no permission to read it";
  if (forWriting && !Writable(path)) return "it is read-only";
  return "";
}

std::string FolderProblem(const std::string& folder, std::uintmax_t bytes) {
  std::error_code ec;
  fs::file_status st = fs::status(HostPath(folder), ec);
  if (std::string why = Missing(folder); !why.empty()) {
    return "the folder " + folder + " does not exist" + (why == "no such file" ? "" : ": " + why);
  }
  if (!fs::is_directory(st)) return folder + " is not a folder";
  if (!Writable(folder)) return "no permission to create files in " + folder + ", or it is read-only";
  fs::space_info space = fs::space(HostPath(folder), ec);
  if (!ec && space.available < bytes) return "not enough free space in " + folder;
  return "";
}

bool DiskFull(const std::string& folder) {
  std::error_code ec;
  const fs::space_info space = fs::space(HostPath(folder.empty() ? "." : folder), ec);
  // Less than a typical image is left: no write of one can succeed.
  return !ec && space.available < (1u << 20);
}

std::string WhatItIsInstead(const std::string& path) {
  std::ifstream f(HostPath(path), std::ios::binary);
  char head[4] = {};
  f.read(head, sizeof head);
  const std::string_view got(head, static_cast<std::size_t>(f.gcount()));
  if (got.substr(0, 4) == std::string_view("PK\x03\x04", 4)) {
    return "it is a zip archive (books often travel zipped: unzip it first)";
  }
  if (got.substr(0, 2) == "\xFF\xFE" || got.substr(0, 2) == "\xFE\xFF")
    return "it is UTF-16 text, which fb2pack does not read";
  return "";
}

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  std::uintmax_t n = fs::file_size(HostPath(path), ec);
  return ec ? 0 : n;
}

int RewriteFailed(const tTell& tell, const std::string& book, int rc, std::uintmax_t added) {
  const std::string unchanged = "; the book is unchanged";
  std::string why;
  switch (rc) {
    case E_UNKNOWN_FORMAT:
      why = FileProblem(book, false);
      if (why.empty()) {
        why = WhatItIsInstead(book);
        if (why.empty()) {
          why = "not an FB2 book: no <FictionBook root tag in its first " + std::to_string(fb2pack::RootTagWithin()) +
                " bytes, or no </FictionBook end tag";
        } else {
          why = "not an FB2 book: " + why;
        }
      }
      return tell.Fail(book + ": " + why + unchanged, rc);
    case E_EREAD:
      why = FileProblem(book, false);
      return tell.Fail(book + ": " + (why.empty() ? "it could not be read whole" : why) + unchanged, rc);
    case E_ECREATE:
      why = FolderProblem(FolderOf(book), SizeOf(book) + added);
      return tell.Fail(book + ": cannot create the new book beside it" + (why.empty() ? "" : ": " + why) + unchanged,
                       rc);
    case E_EWRITE:
      why = FileProblem(book, true);
      if (why.empty()) why = FolderProblem(FolderOf(book), SizeOf(book) + added);
      if (why.empty()) why = "it is open in another program (a listing or a viewer), or the disk failed";
      return tell.Fail(book + ": cannot write the new book or put it in its place: " + why + unchanged, rc);
    case E_EOPEN:
      return tell.Fail(book + ": another program is changing the book and did not finish in time" + unchanged, rc);
    case E_NO_MEMORY:
      return tell.Fail(book + ": the book would grow past what can be opened again (" +
                           std::to_string((fb2pack::MaxBookSize() + 1) >> 30) + " GiB)" + unchanged,
                       rc);
    case E_BAD_ARCHIVE: return tell.Fail(book + ": an entry to remove has no end tag of its own" + unchanged, rc);
    case E_NOT_SUPPORTED: return tell.Fail(book + ": the plug-in does not support this" + unchanged, rc);
    default: return tell.Fail(book + ": the plug-in failed" + unchanged, rc);
  }
}

int ExtractFailed(const tTell& tell, const std::string& book, const std::string& name, const std::string& dest,
                  int rc) {
  const std::string shown = FromPlugin(name);
  if (rc == E_BAD_ARCHIVE) {
    return tell.Fail(book + ": " + shown + ": the book ends inside this entry (it was cut short); what could be read" +
                         " was written to " + dest,
                     rc);
  }
  if (rc == E_BAD_DATA) {
    return tell.Fail(book + ": " + shown +
                         ": this entry is damaged (bytes that are not base64, symbols after its end, or a tag"
                         " inside it); what could be decoded was written to " +
                         dest,
                     rc);
  }
  std::string why;
#ifdef _WIN32
  if (HostPath(dest).wstring().size() > 259) why = "the path is longer than Windows allows (259)";
#else
  if (name.size() > 255) why = "the name is longer than the file system allows (255 bytes)";
#endif
  std::error_code ec;
  const fs::file_status there = fs::symlink_status(HostPath(dest), ec);
  if (why.empty() && fs::exists(there) && !fs::is_regular_file(there) && !fs::is_symlink(there)) {
    why = "a folder or another non-file is in the way";
  }
  if (why.empty() && fs::is_regular_file(there) && !Writable(dest)) why = "the file there is read-only";
  if (why.empty()) why = FolderProblem(FolderOf(dest), 0);
  if (why.empty() && DiskFull(FolderOf(dest))) why = "the disk is full";
  if (why.empty()) why = rc == E_EWRITE ? "it could not be written whole" : "it could not be created";
  return tell.Fail(dest + ": " + why, rc);
}
