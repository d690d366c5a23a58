// Which entries the names and patterns of a command line choose.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "PluginLoader.h"
#include "Tell.h"

// True when s holds a character that makes a shell pattern.
bool IsPattern(const std::string& s);

// The entries (as the plug-in names them) that arguments select: an
// argument that is a name exactly as the listing shows it means that entry
// alone, whatever characters it holds; only an argument that names no entry
// is a shell pattern, matched against every name as the user reads it. A
// name the listing shows otherwise (a character the code page lacks shown as
// "_") is found through the book's ids. Gives 1, naming each argument that
// selects nothing, when any does.
// known: the book's facts when they were read already.
struct tBookFacts;
struct tBookPath;
int Select(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, const std::vector<std::string>& names,
           const std::vector<std::string>& patterns, const std::string& nothingDone, std::set<std::string>& chosen,
           const tBookFacts* known = nullptr);

// The entry (as the plug-in names it) whose name in full, or else whose id,
// is what the user typed (a name the code page cannot spell); empty when
// none.
std::string EntryByFullName(const tBookFacts& facts, const std::string& typed);
