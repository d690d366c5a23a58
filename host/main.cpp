// fb2pack: the command-line host. It loads the plug-in by path and drives it
// through its exported functions in the order a file manager does.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "host/PluginLoader.h"
#include "plugin/NameList.h"
#include "textutil/PathRules.h"

#ifndef FB2PACK_VERSION
#define FB2PACK_VERSION "0.0.0"
#endif

namespace {

const char kUsage[] =
    "usage: fb2pack [--plugin PATH] COMMAND [ARGS]\n"
    "\n"
    "Opens an FB2 e-book as an archive whose entries are its <binary> images.\n"
    "\n"
    "commands:\n"
    "  list BOOK [--json]              print the entries, one name a line, in book order\n"
    "  extract BOOK [NAME...] [-C DIR] write the named entries (all when none is named)\n"
    "                                  as DIR/NAME, decoded; DIR defaults to .\n"
    "  add BOOK FILE...                add each file as an entry named by its file name,\n"
    "                                  replacing an entry of that name\n"
    "  delete BOOK NAME...             remove the named entries (names as list prints them)\n"
    "  detect FILE...                  tell whether each file is recognised as a book\n"
    "  caps                            print the plug-in's capability bits\n"
    "\n"
    "options:\n"
    "  --plugin PATH   the plug-in to load (default: the one beside this program)\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "exit status: 0 done, 1 failed, 2 wrong usage\n";

int Usage(const std::string& why) {
  std::fprintf(stderr, "fb2pack: %s\n(see fb2pack --help)\n", why.c_str());
  return 2;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "fb2pack: %s\n", why.c_str());
  return 1;
}

// What a result code means, in words, for the operation that returned it.
std::string Describe(int code) {
  switch (code) {
    case E_NO_MEMORY: return "not enough memory (E_NO_MEMORY)";
    case E_BAD_DATA: return "cannot open the book, or it is empty (E_BAD_DATA)";
    case E_BAD_ARCHIVE: return "an entry to remove has no end tag of its own; the book is unchanged (E_BAD_ARCHIVE)";
    case E_UNKNOWN_FORMAT:
      return "not an FB2 book: no <FictionBook root tag in its first 1024 bytes, or no </FictionBook end"
             " (E_UNKNOWN_FORMAT)";
    case E_ECREATE: return "cannot create the file (E_ECREATE)";
    case E_EREAD: return "cannot read a file (E_EREAD)";
    case E_EWRITE: return "cannot write the file or put it in place (E_EWRITE)";
    case E_NOT_SUPPORTED: return "not supported (E_NOT_SUPPORTED)";
    default: return "error " + std::to_string(code);
  }
}

// A writable copy, since the interface takes char*.
std::vector<char> Buffer(const std::string& s) { return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1); }

// The length of the UTF-8 sequence that starts at s[i], or 0 when none does.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  auto cont = [&](std::size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
  unsigned c = b(i);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(i + 1) || !cont(i + 2)) return 0;
    unsigned d = b(i + 1);
    if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F)) return 0;  // overlong, surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    unsigned d = b(i + 1);
    if ((c == 0xF0 && d < 0x90) || (c == 0xF4 && d > 0x8F)) return 0;
    return 4;
  }
  return 0;
}

// A JSON string of s, always valid UTF-8: a byte that starts no UTF-8
// character becomes U+FFFD, and valid is set false.
std::string JsonString(const std::string& s, bool& valid) {
  std::string out = "\"";
  valid = true;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = Utf8Length(s, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      valid = false;
      ++i;
    } else if (s[i] == '"' || s[i] == '\\') {
      out += '\\';
      out += s[i++];
    } else if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04x", b);
      out += hex;
      ++i;
    } else {
      out.append(s, i, n);
      i += n;
    }
  }
  return out + "\"";
}

// A listing entry: the name, and where it is not UTF-8 its exact bytes.
std::string JsonEntry(const std::string& name) {
  bool valid = true;
  std::string entry = "{\"name\": " + JsonString(name, valid);
  if (!valid) {
    static const char kHex[] = "0123456789abcdef";
    entry += ", \"hex\": \"";
    for (char c : name) {
      entry += kHex[static_cast<unsigned char>(c) >> 4];
      entry += kHex[static_cast<unsigned char>(c) & 15];
    }
    entry += "\"";
  }
  return entry + "}";
}

// Shows how far a long walk has come, on a terminal only.
class Progress {
 public:
  Progress() : enabled_(isatty(fileno(stderr)) != 0), start_(std::chrono::steady_clock::now()) {}
  ~Progress() {
    if (shown_) std::fprintf(stderr, "\r%60s\r", "");
  }
  void Step(const char* verb, long done, const std::string& name) {
    if (!enabled_) return;
    if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    shown_ = true;
    std::fprintf(stderr, "\r%s %ld: %.40s%10s", verb, done, name.c_str(), "");
    std::fflush(stderr);
  }

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
};

// One open archive, closed when it goes out of scope.
class Archive {
 public:
  Archive(const PluginLoader& p, const std::string& path) : plugin_(p), path_(Buffer(path)) {
    tOpenArchiveData data{};
    data.ArcName = path_.data();
    data.OpenMode = PK_OM_LIST;
    handle_ = plugin_.OpenArchive(&data);
    result_ = data.OpenResult;
  }
  ~Archive() {
    if (handle_) plugin_.CloseArchive(handle_);
  }
  ArchiveHandle Handle() const { return handle_; }
  int OpenResult() const { return result_; }

 private:
  const PluginLoader& plugin_;
  std::vector<char> path_;
  ArchiveHandle handle_ = nullptr;
  int result_ = 0;
};

bool Readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char c;
  bool ok = std::fread(&c, 1, 1, f) == 1 || std::feof(f);
  std::fclose(f);
  return ok;
}

// The plug-in's codes cannot say which of several causes it met; the host
// looks at the files itself, before and after the call, to name the cause.
namespace fs = std::filesystem;

bool Writable(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  return (fs::status(path, ec).permissions() & fs::perms::owner_write) != fs::perms::none;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

std::string FolderOf(const std::string& path) {
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  return cut == 0 ? std::string(".") : path.substr(0, cut);
}

// What stands in the way of using path as an existing file; empty when the
// host sees nothing wrong.
std::string FileProblem(const std::string& path, bool forWriting) {
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) return "no such file";
  if (fs::is_directory(st)) return "it is a folder, not a file";
  if (!fs::is_regular_file(st)) return "it is not a regular file";
  if (!Readable(path)) return "no permission to read it";
  if (forWriting && !Writable(path)) return "it is read-only";
  return "";
}

// Why nothing could be created in folder for bytes more bytes; empty when
// the host sees nothing wrong.
std::string FolderProblem(const std::string& folder, std::uintmax_t bytes) {
  std::error_code ec;
  fs::file_status st = fs::status(folder, ec);
  if (!fs::exists(st)) return "the folder " + folder + " does not exist";
  if (!fs::is_directory(st)) return folder + " is not a folder";
  if (!Writable(folder)) return "no permission to create files in " + folder + ", or it is read-only";
  fs::space_info space = fs::space(folder, ec);
  if (!ec && space.available < bytes) return "not enough free space in " + folder;
  return "";
}

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  std::uintmax_t n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

// Says why adding to or deleting from a book failed; the book is unchanged.
int RewriteFailed(const std::string& book, int rc, std::uintmax_t added = 0) {
  const std::string unchanged = "; the book is unchanged";
  std::string why;
  switch (rc) {
    case E_UNKNOWN_FORMAT:
      why = FileProblem(book, false);
      if (why.empty()) return Fail(book + ": " + Describe(rc));
      return Fail(book + ": " + why + unchanged + " (E_UNKNOWN_FORMAT)");
    case E_EREAD:
      why = FileProblem(book, false);
      return Fail(book + ": " + (why.empty() ? "it could not be read whole" : why) + unchanged + " (E_EREAD)");
    case E_ECREATE:
      why = FolderProblem(FolderOf(book), SizeOf(book) + added);
      return Fail(book + ": cannot create the new book beside it" + (why.empty() ? "" : ": " + why) + unchanged +
                  " (E_ECREATE)");
    case E_EWRITE:
      why = FileProblem(book, true);
      if (why.empty()) why = FolderProblem(FolderOf(book), SizeOf(book) + added);
      if (why.empty()) why = "it is open in another program (a listing or a viewer), or the disk failed";
      return Fail(book + ": cannot write the new book or put it in its place: " + why + unchanged + " (E_EWRITE)");
    case E_EOPEN:
      return Fail(book + ": another program is changing the book and did not finish in time" + unchanged +
                  " (E_EOPEN)");
    case E_NO_MEMORY:
      return Fail(book + ": the book would grow past 2 GiB, more than can be opened again" + unchanged +
                  " (E_NO_MEMORY)");
    default: return Fail(book + ": " + Describe(rc));
  }
}

// Says why an entry could not be extracted to dest.
int ExtractFailed(const std::string& dest, int rc, [[maybe_unused]] const std::string& name) {
  std::string why;
#ifdef _WIN32
  if (dest.size() > 259) why = "the path is longer than Windows allows (259)";
#else
  if (name.size() > 255) why = "the name is longer than the file system allows (255 bytes)";
#endif
  std::error_code ec;
  const fs::file_status there = fs::symlink_status(dest, ec);
  if (why.empty() && fs::exists(there) && !fs::is_regular_file(there) && !fs::is_symlink(there)) {
    why = "a folder or another non-file is in the way";
  }
  if (why.empty() && fs::is_regular_file(there) && !Writable(dest)) why = "the file there is read-only";
  if (why.empty()) why = FolderProblem(FolderOf(dest), 0);
  const std::string what = Describe(rc);
  if (why.empty()) return Fail(dest + ": " + what);
  return Fail(dest + ": " + why + " " + what.substr(what.rfind('(')));
}

// Walks every entry: visit(name) returns the operation for it (skip or
// extract) and the destination; done(name, result) hears how it went.
template <class Visit>
int Walk(const PluginLoader& plugin, const std::string& book, Visit&& visit) {
  Archive archive(plugin, book);
  if (!archive.Handle()) {
    std::string why = FileProblem(book, false);
    if (why.empty()) return Fail(book + ": " + Describe(archive.OpenResult() ? archive.OpenResult() : E_BAD_DATA));
    return Fail(book + ": " + why + " (E_BAD_DATA)");
  }
  plugin.SetChangeVolProc(archive.Handle(), nullptr);
  plugin.SetProcessDataProc(archive.Handle(), nullptr);
  int status = 0;
  for (;;) {
    tHeaderData header{};
    if (plugin.ReadHeader(archive.Handle(), &header) != 0) break;  // the end of the list
    header.FileName[sizeof header.FileName - 1] = '\0';
    status |= visit(std::string(header.FileName), archive.Handle());
  }
  return status;
}

int CmdList(const PluginLoader& plugin, const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> rest;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("list: unknown option " + a);
    } else {
      rest.push_back(a);
    }
  }
  if (rest.size() != 1) return Usage("list takes one book");
  std::vector<std::string> names;
  int status = Walk(plugin, rest[0], [&](const std::string& name, ArchiveHandle h) {
    names.push_back(name);
    plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
    return 0;
  });
  if (status) return status;
  if (json) {
    std::string out = "[";
    for (std::size_t i = 0; i < names.size(); ++i) {
      out += i ? ",\n " : "\n ";
      out += JsonEntry(names[i]);
    }
    out += names.empty() ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  } else {
    for (const auto& n : names) {
      std::fwrite(n.data(), 1, n.size(), stdout);
      std::fputc('\n', stdout);
    }
  }
  return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the listing");
}

int CmdExtract(const PluginLoader& plugin, const std::vector<std::string>& args) {
  std::string dir = ".";
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-C") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return Usage("extract: -C needs a folder");
      dir = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-' && rest.empty()) {
      return Usage("extract: unknown option " + args[i]);
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.empty()) return Usage("extract takes a book and, optionally, entry names");
  const std::string book = rest[0];
  std::set<std::string> wanted(rest.begin() + 1, rest.end());
  std::set<std::string> found;
  if (dir.empty() || !IsSeparator(dir.back())) dir += SystemPathRules().Separator;
  std::vector<char> destPath = Buffer(dir);
  Progress progress;
  long done = 0;
  int status = Walk(plugin, book, [&](const std::string& name, ArchiveHandle h) {
    if (!wanted.empty() && wanted.count(name) == 0) {
      plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
      return 0;
    }
    found.insert(name);
    std::vector<char> destName = Buffer(name);
    int rc = plugin.ProcessFile(h, PK_EXTRACT, destPath.data(), destName.data());
    progress.Step("extracted", ++done, name);
    if (rc == E_BAD_ARCHIVE) {
      Fail(book + ": " + name + ": the book ends inside this entry (it was cut short); what could be read was" +
           " written to " + dir + name);
      return 1;
    }
    if (rc == E_BAD_DATA) {
      Fail(book + ": " + name + ": this entry holds bytes that are not base64 (it is damaged); what could be" +
           " decoded was written to " + dir + name);
      return 1;
    }
    if (rc != 0) {
      ExtractFailed(dir + name, rc, name);
      return 1;
    }
    return 0;
  });
  for (const auto& w : wanted) {
    if (found.count(w) == 0) status |= Fail(book + ": no entry named " + w);
  }
  return status;
}

// Splits a path into its folder (with its separator) and its file name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  return {path.substr(0, cut), path.substr(cut)};
}

// True when the file name at the end of path can be written into a book as
// it is named here: valid UTF-8 where file names are UTF-8.
bool NameIsFaithful(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return true;
#else
  const std::string name = SplitPath(path).second;
  for (std::size_t i = 0; i < name.size();) {
    std::size_t n = Utf8Length(name, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
#endif
}

int CmdAdd(const PluginLoader& plugin, const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("add takes a book and one or more files");
  const std::string book = args[0];
  // One call with every file: the book changes once, with all of them or none.
  // No source folder is given, so each name carries its own path.
  std::set<std::string> seen;
  std::vector<std::string> files;
  std::uintmax_t added = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    auto [folder, name] = SplitPath(args[i]);
    if (name.empty()) return Usage(args[i] + ": a folder, not a file");
    std::error_code ec;
    if (fs::equivalent(book, args[i], ec)) {
      // As tar does with its own archive: "add book.fb2 *" adds the rest.
      std::fprintf(stderr, "fb2pack: %s: it is the book itself; not added\n", args[i].c_str());
      continue;
    }
    if (!seen.insert(name).second) return Usage("two files named " + name + ": a book holds one entry of a name");
    added += SizeOf(args[i]);
    files.push_back(args[i]);
  }
  if (files.empty()) return 1;
  std::vector<char> bookBuf = Buffer(book);
  std::vector<char> src = Buffer("");
  std::vector<char> list = MakeNameList(files);
  int rc = plugin.PackFiles(bookBuf.data(), nullptr, src.data(), list.data(), 0);
  if (rc == E_EREAD) {
    for (const std::string& file : files) {
      std::string why = FileProblem(file, false);
      if (why.empty() && !NameIsFaithful(file)) {
        why = "its name is not valid UTF-8, so the book could not name it faithfully (rename the file)";
      }
      if (!why.empty()) return Fail(file + ": " + why + "; the book is unchanged (E_EREAD)");
    }
  }
  return rc == 0 ? 0 : RewriteFailed(book, rc, added * 4 / 3 + 1024);
}

int CmdDelete(const PluginLoader& plugin, const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("delete takes a book and one or more entry names");
  const std::string book = args[0];
  std::set<std::string> present;
  int status = Walk(plugin, book, [&](const std::string& name, ArchiveHandle h) {
    present.insert(name);
    plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
    return 0;
  });
  if (status) return status;
  std::vector<std::string> names(args.begin() + 1, args.end());
  for (const auto& n : names) {
    if (present.count(n) == 0) status |= Fail(book + ": no entry named " + n);
  }
  if (status) return status;
  std::vector<char> bookBuf = Buffer(book);
  std::vector<char> list = MakeNameList(names);
  int rc = plugin.DeleteFiles(bookBuf.data(), list.data());
  return rc == 0 ? 0 : RewriteFailed(book, rc);
}

int CmdDetect(const PluginLoader& plugin, const std::vector<std::string>& args) {
  if (args.empty()) return Usage("detect takes one or more files");
  int status = 0;
  for (const auto& f : args) {
    std::vector<char> name = Buffer(f);
    bool yes = plugin.CanYouHandleThisFile(name.data()) != 0;
    std::printf("%s: %s\n", f.c_str(), yes ? "FB2 book" : "not recognised");
    if (!yes) status = 1;
  }
  return status;
}

int CmdCaps(const PluginLoader& plugin, const std::vector<std::string>& args) {
  if (!args.empty()) return Usage("caps takes no arguments");
  int caps = plugin.GetPackerCaps();
  static const struct {
    int bit;
    const char* name;
  } kBits[] = {{PK_CAPS_NEW, "PK_CAPS_NEW"},
               {PK_CAPS_MODIFY, "PK_CAPS_MODIFY"},
               {PK_CAPS_MULTIPLE, "PK_CAPS_MULTIPLE"},
               {PK_CAPS_DELETE, "PK_CAPS_DELETE"},
               {PK_CAPS_OPTIONS, "PK_CAPS_OPTIONS"},
               {PK_CAPS_MEMPACK, "PK_CAPS_MEMPACK"},
               {PK_CAPS_BY_CONTENT, "PK_CAPS_BY_CONTENT"},
               {PK_CAPS_SEARCHTEXT, "PK_CAPS_SEARCHTEXT"},
               {PK_CAPS_HIDE, "PK_CAPS_HIDE"}};
  std::printf("%d\n", caps);
  for (const auto& b : kBits) {
    if (caps & b.bit) std::printf("  %4d %s\n", b.bit, b.name);
  }
  return 0;
}

// The plug-in beside the program; on Linux also where the package installs
// it, relative to the program first so an unpacked package works in place.
std::string DefaultPlugin() {
  std::string beside = ProgramFolder() + PluginFileName();
#ifndef _WIN32
  for (const std::string& where :
       {beside, ProgramFolder() + "../lib/fb2pack/fb2pack.wcx", std::string("/usr/lib/fb2pack/fb2pack.wcx")}) {
    if (Readable(where)) return where;
  }
#endif
  return beside;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Names are raw bytes; every build prints the same bytes.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string pluginPath;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (args[i] == "--version") {
      std::printf("fb2pack %s\n", FB2PACK_VERSION);
      return 0;
    }
    if (args[i] == "--plugin") {
      if (i + 1 >= args.size()) return Usage("--plugin needs a path");
      pluginPath = args[++i];
      continue;
    }
    break;
  }
  if (i >= args.size()) return Usage("no command given");
  const std::string command = args[i];
  std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());

  using Command = int (*)(const PluginLoader&, const std::vector<std::string>&);
  static const std::map<std::string, Command> kCommands = {
      {"list", CmdList},     {"extract", CmdExtract}, {"add", CmdAdd},
      {"delete", CmdDelete}, {"detect", CmdDetect},   {"caps", CmdCaps},
  };
  auto it = kCommands.find(command);
  if (it == kCommands.end()) return Usage("unknown command " + command);
  for (const auto& a : rest) {
    // An unset variable in a script must not become the current folder or the root.
    if (a.empty()) return Usage(command + ": an empty argument names no file or folder");
  }

  PluginLoader plugin;
  if (!plugin.Load(pluginPath.empty() ? DefaultPlugin() : pluginPath)) return Fail(plugin.Error());
  return it->second(plugin, rest);
}
