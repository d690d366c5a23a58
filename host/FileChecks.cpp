#include "FileChecks.h"

#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "Encoding.h"
#include "textutil/Ascii.h"

namespace fs = std::filesystem;

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t cut = path.find_last_of(SystemPathRules().Separators) + 1;  // 0 when none
  return {path.substr(0, cut), path.substr(cut)};
}

namespace {

std::string Here(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

bool Readable(const std::string& path) {
  std::ifstream f(HostPath(path), std::ios::binary);
  return f.good();
}

}  // namespace

std::string ReadHead(const std::string& path, std::size_t limit) {
  std::string head(limit, '\0');
#ifdef _WIN32
  // Shared for writing and deleting too, as a POSIX read is: a rewrite of the
  // book elsewhere may put its new book in place meanwhile.
  HANDLE h = CreateFileW(HostPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD got = 0;
  if (h == INVALID_HANDLE_VALUE) return {};
  if (!ReadFile(h, head.data(), static_cast<DWORD>(limit), &got, nullptr)) got = 0;
  CloseHandle(h);
  head.resize(got);
#else
  std::ifstream f(HostPath(path), std::ios::binary);
  f.read(head.data(), static_cast<std::streamsize>(limit));
  head.resize(static_cast<std::size_t>(f.gcount()));
#endif
  return head;
}

bool Writable(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  return (fs::status(HostPath(path), ec).permissions() & fs::perms::owner_write) != fs::perms::none;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

namespace {

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

std::string FolderProblem(const std::string& given, std::uintmax_t bytes) {
  const std::string folder = Here(given);
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
  const fs::space_info space = fs::space(HostPath(Here(folder)), ec);
  // Less than a typical image is left: no write of one can succeed.
  return !ec && space.available < (1u << 20);
}

std::string WhatItIsInstead(const std::string& path) {
  std::ifstream f(HostPath(path), std::ios::binary);
  char head[4] = {};
  f.read(head, sizeof head);
  const std::string_view got(head, static_cast<std::size_t>(f.gcount()));
  if (got == std::string_view("PK\x03\x04", 4)) {  // a zip archive's local file header
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

bool EndsWithNoCase(const std::string& name, const std::string& end) {
  if (name.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    if (AsciiLower(name[name.size() - end.size() + i]) != AsciiLower(end[i])) return false;
  }
  return true;
}
