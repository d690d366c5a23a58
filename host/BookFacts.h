// What the host learns of a book beyond the archive operations, through the
// plug-in's further export: its entries with their ids and what the text
// makes of them, the references to images it lacks, and, read whole, each
// entry's size, kind and damage (the image's own structure checked here, on
// the bytes the plug-in decodes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "BookApi.h"
#include "PluginLoader.h"

struct tEntryFacts {
  std::string Name;  // as the plug-in names it
  std::string Id;    // UTF-8
  // The name with every character, UTF-8, where the code page cannot spell
  // Name; else empty (ShownName gives the one to show).
  std::string FullName;
  bool Shown = false, Cover = false, SourceCover = false, Referenced = false;
  // Read whole only:
  std::string ContentType;
  std::string Head;  // the first decoded bytes
  std::uint64_t Size = 0;
  unsigned Damage = 0;             // FB2API_CUT ...
  std::string ImageDamage;         // what is wrong with the image its bytes make
  unsigned Width = 0, Height = 0;  // its size in pixels; 0 when unknown
};

struct tBookFacts {
  std::vector<tEntryFacts> Entries;  // in book order
  std::vector<std::string> Missing;  // ids the text shows that no element has, each once, in text order
  bool Ends = false;                 // not cut short
  bool HasCover = false;
  std::string Cover;
};

// The entry's name as the host shows and writes it (UTF-8, every character).
std::string ShownName(const tEntryFacts& e);

enum class tFactsRead { Ok, NoApi, CannotRead, NoMemory };

// Reads the book the plug-in knows by pluginPath once; whole, every entry is
// decoded too.
tFactsRead ReadBookFacts(const PluginLoader& plugin, const std::string& pluginPath, bool whole, tBookFacts& out);

// A book read once and held for one change through the further export
// (which the plug-in must have): the change is planned on what was read,
// and the book is copied once. Closed when it goes.
class tBookForChange {
 public:
  tBookForChange(const PluginLoader& plugin, const std::string& pluginPath);
  ~tBookForChange();
  tBookForChange(const tBookForChange&) = delete;
  tBookForChange& operator=(const tBookForChange&) = delete;
  int Result = 0;  // the plug-in's result code for the reading
  tBookFacts Facts;
  // DeleteFiles' result.
  int Delete(const std::vector<std::string>& names);
  // The outcome's strings live as long as this.
  tFb2CoverOutcome SetCover(const std::string& file, const std::string& entry);

 private:
  const tFb2Api& api_;
  tFb2Book* book_ = nullptr;
};

// Why a command cannot be done with a plug-in that lacks the further export.
std::string NeedsBookApi(const std::string& command);

struct tImageKind {
  std::string Label;        // "PNG"; empty when the bytes show no known kind (or the plug-in cannot tell)
  std::string ContentType;  // "image/png"
};
tImageKind SniffImage(const PluginLoader& plugin, std::string_view head);
