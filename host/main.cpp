// fb2pack: the command-line host. It loads the plug-in by path and drives it
// through its exported functions in the order a file manager does.
#include <chrono>
#include <cstdio>
#include <cstring>
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

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

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

// Names one after another, each ended by NUL, the list ended by an empty name.
std::vector<char> NameList(const std::vector<std::string>& names) {
  std::vector<char> list;
  for (const auto& n : names) {
    list.insert(list.end(), n.begin(), n.end());
    list.push_back('\0');
  }
  list.push_back('\0');
  return list;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04x", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
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

// Walks every entry: visit(name) returns the operation for it (skip or
// extract) and the destination; done(name, result) hears how it went.
template <class Visit>
int Walk(const PluginLoader& plugin, const std::string& book, Visit&& visit) {
  Archive archive(plugin, book);
  if (!archive.Handle()) return Fail(book + ": " + Describe(archive.OpenResult() ? archive.OpenResult() : E_BAD_DATA));
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
      out += "{\"name\": " + JsonString(names[i]) + "}";
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
      if (i + 1 >= args.size()) return Usage("extract: -C needs a folder");
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
  if (dir.empty() || !IsSeparator(dir.back())) dir += kSeparator;
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
    if (rc != 0) {
      Fail(dir + name + ": " + Describe(rc));
      return 1;
    }
    return 0;
  });
  for (const auto& w : wanted) {
    if (found.count(w) == 0) status |= Fail(book + ": no entry named " + w);
  }
  return status;
}

// Says why adding to or deleting from a book failed; the book is unchanged.
int RewriteFailed(const std::string& book, int rc) {
  switch (rc) {
    case E_ECREATE: return Fail(book + ": cannot create the new book beside it; the book is unchanged (E_ECREATE)");
    case E_EOPEN:
      return Fail(book + ": another program is changing the book and did not finish in time; the book is unchanged"
                         " (E_EOPEN)");
    case E_NO_MEMORY:
      return Fail(book + ": the book would grow past 2 GiB, more than can be opened again; the book is unchanged"
                         " (E_NO_MEMORY)");
    case E_EWRITE:
      return Fail(book +
                  ": cannot write the new book or put it in place (is it open elsewhere, or read-only?);"
                  " the book is unchanged (E_EWRITE)");
    default: return Fail(book + ": " + Describe(rc));
  }
}

// Splits a path into its folder (with its separator) and its file name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  return {path.substr(0, cut), path.substr(cut)};
}

bool Readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char c;
  bool ok = std::fread(&c, 1, 1, f) == 1 || std::feof(f);
  std::fclose(f);
  return ok;
}

int CmdAdd(const PluginLoader& plugin, const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("add takes a book and one or more files");
  const std::string book = args[0];
  // The host hands over a source folder and names relative to it, one call a folder.
  std::map<std::string, std::vector<std::string>> byFolder;
  std::vector<std::string> order;
  for (std::size_t i = 1; i < args.size(); ++i) {
    auto [folder, name] = SplitPath(args[i]);
    if (name.empty()) return Fail(args[i] + ": a folder, not a file");
    if (!byFolder.count(folder)) order.push_back(folder);
    byFolder[folder].push_back(name);
  }
  std::vector<char> bookBuf = Buffer(book);
  for (const auto& folder : order) {
    std::vector<char> src = Buffer(folder);
    std::vector<char> list = NameList(byFolder[folder]);
    int rc = plugin.PackFiles(bookBuf.data(), nullptr, src.data(), list.data(), 0);
    if (rc == E_EREAD) {
      for (const auto& n : byFolder[folder]) {
        if (!Readable(folder + n)) return Fail(folder + n + ": cannot read it; the book is unchanged (E_EREAD)");
      }
    }
    if (rc != 0) return RewriteFailed(book, rc);
  }
  return 0;
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
  std::vector<char> list = NameList(names);
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

  PluginLoader plugin;
  if (!plugin.Load(pluginPath.empty() ? DefaultPlugin() : pluginPath)) return Fail(plugin.Error());
  return it->second(plugin, rest);
}
