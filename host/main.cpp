// fb2pack: the command-line host. It loads the plug-in by path and drives it
// through its exported functions in the order a file manager does. This file
// reads the command line and finds the plug-in; the commands do the rest.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

#include "Commands.h"
#include "Diagnosis.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "Library.h"
#include "Output.h"
#include "PluginLoader.h"
#include "Signals.h"
#include "Zip.h"

#ifndef FB2PACK_VERSION
#define FB2PACK_VERSION "0.0.0"
#endif
#if __has_include("fb2pack_commit.h")
#include "fb2pack_commit.h"  // FB2PACK_COMMIT, written at build time
#endif

namespace fs = std::filesystem;

namespace {

std::string VersionText() {
  std::string v = std::string("fb2pack ") + FB2PACK_VERSION;
#ifdef FB2PACK_COMMIT
  if (std::string(FB2PACK_COMMIT).size() > 0) v += std::string(" (") + FB2PACK_COMMIT + ")";
#endif
  return v;
}

// The places the plug-in is looked for, in order: beside the program; on
// Linux also where the package installs it, relative to the program first so
// an unpacked package works in place.
std::vector<std::string> PluginPlaces() {
  std::vector<std::string> places = {ProgramFolder() + PluginFileName()};
#ifndef _WIN32
  places.push_back(ProgramFolder() + "../" FB2PACK_PLUGIN_FOLDER "/" FB2PACK_PLUGIN_FILE);
  places.push_back(FB2PACK_INSTALL_PREFIX "/" FB2PACK_PLUGIN_FOLDER "/" FB2PACK_PLUGIN_FILE);
#endif
  return places;
}

int LoadPlugin(PluginLoader& plugin, const tTell& tell, const std::string& given) {
  if (!given.empty()) return plugin.Load(given) ? 0 : tell.Fail(plugin.Error());
  std::string looked;
  for (const std::string& place : PluginPlaces()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(HostPath(place), ec))
      return plugin.Load(place) ? 0 : tell.Fail(plugin.Error());
    looked += (looked.empty() ? "" : ", ") + place;
  }
  return tell.Fail(std::string("cannot find the plug-in ") + PluginFileName() + "; looked for " + looked +
                   " (--plugin PATH names another)");
}

// The arguments after the program's name, in UTF-8: on Windows read as
// UTF-16, so that any name can be given; paths are put in the plug-in's
// code page where it is called.
bool Arguments(int argc, char** argv, std::vector<std::string>& args) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wide == nullptr) return false;
  for (int i = 1; i < n; ++i) {
    const int len = static_cast<int>(std::wcslen(wide[i]));
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide[i], len, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(m > 0 ? m : 0), '\0');
    if (m > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], len, utf8.data(), m, nullptr, nullptr);
    args.push_back(std::move(utf8));
  }
  LocalFree(wide);
  return true;
#else
  args.assign(argv + 1, argv + argc);
  return true;
#endif
}

// True when the two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream x(HostPath(a), std::ios::binary), y(HostPath(b), std::ios::binary);
  std::vector<char> p(1 << 16), q(1 << 16);
  while (x && y) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin())) return false;
  }
  return x.eof() && y.eof();
}

// Runs an edit of the book o names: a plain book in place; the one book of a
// zip archive in a copy, which then takes its member's place in the archive
// written anew. A zip of many books, or a folder, is refused, left as it is.
template <class Options, class Edit>
int InBook(const tTell& tell, Options& o, Edit&& edit) {
  if (IsFolder(o.Book)) return tell.Fail(o.Book + ": it is a folder; name a book in it");
  if (!IsZipFile(o.Book)) return edit();
  std::vector<tBookSource> books = BooksOf({o.Book});
  if (!books[0].Problem.empty()) return tell.Fail(o.Book + ": " + books[0].Problem + "; it is unchanged");
  if (books[0].Archive.empty()) return edit();  // no book in it: the edit says what it is
  if (books.size() > 1) {
    return tell.Fail(o.Book + ": it holds " + std::to_string(books.size()) +
                     " books, and fb2pack changes a zip that holds one; it is unchanged (unzip the book to edit it)");
  }
  // Declared first, gone last: an interrupt waits until the copies are removed.
  tSignalsHeld held;
  tArchiveHold hold(o.Book);
  if (!hold.Held()) return tell.Fail(o.Book + ": another program is changing the archive; it is unchanged");
  std::optional<tScratchFolder> scratch;
  if (std::string why = Fetch(books[0], scratch); !why.empty()) return tell.Fail(o.Book + ": " + why);
  o.File = books[0].File;
  // Kept to tell whether the edit changed the book.
  std::error_code ec;
  const std::string before = scratch->Path() + "before.fb2";
  fs::copy_file(HostPath(o.File), HostPath(before), ec);
  if (ec) return tell.Fail("cannot copy the book in the temporary folder: " + ec.message());
  if (int rc = edit(); rc != 0) return rc;
  if (SameBytes(before, o.File)) return 0;
  if (std::string why = RewriteMember(o.Book, books[0].Member, o.File); !why.empty()) {
    return tell.Fail(o.Book + ": " + why + "; it is unchanged");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Names are raw bytes; every build prints the same bytes.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args;
  if (!Arguments(argc, argv, args)) return tTell().Fail("cannot read the command line");
  if (args.empty()) return Usage("no command given");
  for (const std::string& a : args) {
    // An unset variable in a script must not become the current folder or the root.
    if (a.empty()) return Usage("an empty argument names no file or folder");
  }

  CLI::App app("Opens an FB2 e-book as an archive whose entries are its <binary> images.", "fb2pack");
  app.set_version_flag("--version", VersionText(), "print the version and the commit it was built from");
  app.set_help_flag("-h,--help", "print this help");
  app.footer("exit status: 0 done, 1 failed, 2 wrong usage\n`fb2pack COMMAND --help` tells more of a command.");
  std::string pluginPath;
  tTell tell;
  app.add_option("--plugin", pluginPath, "the plug-in to load (default: the one beside this program)");
  app.add_flag("-v,--verbose", tell.Verbose, "add the plug-in's result codes to messages");
  app.require_subcommand(1);
  // "/w/book.fb2" is a path from the drive's root on Windows too, never an option.
  app.allow_windows_style_options(false);
  // Global options after the command too: a command passes what it does not know to the program.
  app.fallthrough();

  bool recursive = false;  // folders are walked whether asked or not
  tListOptions list;
  std::vector<std::string> listed;
  CLI::App* cList = app.add_subcommand("list", "print the entries, one name a line, in book order");
  cList->add_option("BOOK", listed, "the books (a heading line before each when there are several)")->required();
  cList->add_flag("--json", list.Json, "a JSON array of objects with a name (and, with -l, size and type)");
  cList->add_flag("-l,--long", list.Long, "each entry's size in bytes and type of image, and a total");
  cList->add_flag("-r,--recursive", recursive, "walk folders (as a folder given is walked anyway)");

  tExtractOptions extract;
  CLI::App* cExtract = app.add_subcommand("extract", "write the named entries (all when none is named) as DIR/NAME");
  cExtract->add_option("BOOK", extract.Book, "the book")->required();
  cExtract->add_option("NAME", extract.Patterns, "entry names or shell patterns ('*.png'), as list prints them");
  cExtract->add_option("-C,--directory", extract.Folder, "the folder to write into (default: the current one)");
  cExtract->add_flag("-O,--to-stdout", extract.ToStdout, "write the entries' bytes to standard output instead");
  cExtract->add_flag("-k,--keep-old-files", extract.KeepOld, "leave existing files alone, and name them");
  bool coversOnly = false;
  cExtract->add_flag("--covers", coversOnly,
                     "write each book's cover as DIR/BOOK.EXT; then every argument is a book, zip or folder");
  cExtract->add_flag("-r,--recursive", recursive, "walk folders (as a folder given is walked anyway)");

  tAddOptions add;
  CLI::App* cAdd = app.add_subcommand("add", "add files as entries named by their file names, replacing those");
  cAdd->add_option("BOOK", add.Book, "the book")->required();
  cAdd->add_option("FILE", add.Files, "the files to add")->required();

  tDeleteOptions del;
  CLI::App* cDelete = app.add_subcommand("delete", "remove the named entries (names as list prints them)");
  cDelete->add_option("BOOK", del.Book, "the book")->required();
  cDelete->add_option("NAME", del.Patterns, "entry names or shell patterns ('*.png')")->required();

  tCoverOptions cover;
  CLI::App* cCover = app.add_subcommand("set-cover", "make an entry, or a file added as add does, the book's cover");
  cCover->add_option("BOOK", cover.Book, "the book")->required();
  cCover
      ->add_option("NAME|FILE", cover.What,
                   "an entry's name as list prints it, or a file to add (a path with a folder is always a file)")
      ->required();

  tTestOptions test;
  CLI::App* cTest = app.add_subcommand("test", "decode every entry, writing nothing, and tell what is damaged");
  cTest->add_option("BOOK", test.Books, "the books, zipped books (.fb2.zip, .fbz), zips of books, folders")->required();
  cTest->add_flag("-q,--quiet", test.Quiet, "only the damaged books, then a summary line");
  cTest->add_flag("-r,--recursive", recursive, "walk folders (as a folder given is walked anyway)");

  tCoversOptions covers;
  CLI::App* cCovers = app.add_subcommand("covers", "for each book, its cover: name, type and size, or what is wrong");
  cCovers->add_option("BOOK", covers.Books, "the books, zipped books (.fb2.zip, .fbz), zips of books, folders")
      ->required();
  cCovers->add_flag("--json", covers.Json, "a JSON array of objects, one for each book");
  cCovers->add_flag("-r,--recursive", recursive, "walk folders (as a folder given is walked anyway)");

  std::vector<std::string> detect;
  CLI::App* cDetect = app.add_subcommand("detect", "tell whether each file is recognised as a book");
  cDetect->add_option("FILE", detect, "the files to look at")->required();

  CLI::App* cCaps = app.add_subcommand("caps", "print the plug-in's capability bits");

  std::string helpOn;
  CLI::App* cHelp = app.add_subcommand("help", "print this help, or a command's");
  cHelp->add_option("COMMAND", helpOn, "the command to tell of");

  // The first word that is no option names the command; one that names none is told as such.
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--plugin") {
      ++i;
    } else if (args[i].empty() || args[i][0] != '-') {
      bool known = false;
      for (const CLI::App* c : app.get_subcommands({})) known = known || c->check_name(args[i]);
      if (!known) return Usage("unknown command " + args[i]);
      break;
    }
  }
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return Usage(e.what());
  }

  if (cHelp->parsed()) {
    if (helpOn.empty()) {
      // The program's own summary: app.help() would tell of the command parsed, help itself.
      std::fputs(app.get_formatter()->make_help(&app, "fb2pack", CLI::AppFormatMode::Normal).c_str(), stdout);
      return 0;
    }
    try {
      std::fputs(app.get_subcommand(helpOn)->help("fb2pack").c_str(), stdout);
    } catch (const CLI::OptionNotFound&) {
      return Usage("no command named " + helpOn);
    }
    return 0;
  }

  PluginLoader plugin;
  if (int rc = LoadPlugin(plugin, tell, pluginPath); rc != 0) return rc;
  if (cList->parsed()) {
    int status = 0;
    // Declared first, gone last: an interrupt waits until the folder is removed.
    tSignalsHeld held;
    std::optional<tScratchFolder> scratch;  // where zipped books are read
    std::vector<tBookSource> sources = BooksOf(listed);
    // A book that is not readable as a file is told in its place.
    auto fetch = [&](tBookSource& source) {
      std::string why = source.Problem.empty() ? Fetch(source, scratch) : source.Problem;
      if (!why.empty()) status |= tell.Fail(source.Shown + ": " + why);
      list.Book = source.Shown;
      list.File = source.File;
      return why.empty();
    };
    if (list.Json && sources.size() > 1) {
      // One document, naming each book.
      std::vector<tBookListing> books;
      for (tBookSource& source : sources) {
        books.push_back({source.Shown, false, {}});
        if (!fetch(source)) continue;
        list.Into = &books.back().Json;
        status |= List(plugin, tell, list);
        books.back().Listed = !books.back().Json.empty();
      }
      if (!WriteText(stdout, JsonBooks(books))) return tell.Fail("cannot write the listing");
      return status;
    }
    for (std::size_t i = 0; i < sources.size(); ++i) {
      // As head does with several files.
      if (sources.size() > 1) WriteText(stdout, std::string(i ? "\n" : "") + "==> " + sources[i].Shown + " <==\n");
      if (fetch(sources[i])) status |= List(plugin, tell, list);
    }
    return status;
  }
  if (cExtract->parsed() && coversOnly) {
    if (extract.ToStdout) return Usage("--covers writes files: it takes no -O");
    std::vector<std::string> paths = {extract.Book};
    paths.insert(paths.end(), extract.Patterns.begin(), extract.Patterns.end());
    return ExtractCovers(plugin, tell, extract, paths);
  }
  if (cExtract->parsed()) {
    // A zipped book is that book; a zip of many is none of them.
    tSignalsHeld held;
    std::optional<tScratchFolder> scratch;
    std::vector<tBookSource> sources = BooksOf({extract.Book});
    if (sources.size() > 1 || !sources[0].Problem.empty() || (!sources[0].Archive.empty() && !sources[0].Alone)) {
      if (sources.size() > 1 && !IsFolder(extract.Book)) {
        return tell.Fail(extract.Book + ": it holds " + std::to_string(sources.size()) +
                         " books; name one, unzipped, to extract from it");
      }
      if (sources.size() > 1) return tell.Fail(extract.Book + ": it is a folder");
      return tell.Fail(extract.Book + ": " + sources[0].Problem);
    }
    if (std::string why = Fetch(sources[0], scratch); !why.empty()) return tell.Fail(extract.Book + ": " + why);
    extract.File = sources[0].File;
    return Extract(plugin, tell, extract);
  }
  if (cAdd->parsed()) return InBook(tell, add, [&] { return Add(plugin, tell, add); });
  if (cDelete->parsed()) return InBook(tell, del, [&] { return Delete(plugin, tell, del); });
  if (cDetect->parsed()) return Detect(plugin, tell, detect);
  if (cTest->parsed()) return Test(plugin, tell, test);
  if (cCover->parsed()) return InBook(tell, cover, [&] { return SetCover(plugin, tell, cover); });
  if (cCovers->parsed()) return Covers(plugin, tell, covers);
  if (cCaps->parsed()) return Caps(plugin);
  return Usage("no command given");
}
