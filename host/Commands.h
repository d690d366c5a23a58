// The host's commands, each driving the plug-in through its exports.
#pragma once

#include <string>
#include <vector>

#include "host/Diagnosis.h"
#include "host/PluginLoader.h"

struct tListOptions {
  std::string Book;
  bool Json = false;
  bool Long = false;  // size and type of each entry, learnt by extracting it
};

struct tExtractOptions {
  std::string Book;
  std::vector<std::string> Patterns;  // none: every entry
  std::string Folder = ".";
  bool ToStdout = false;
  bool KeepOld = false;
};

struct tAddOptions {
  std::string Book;
  std::vector<std::string> Files;
};

struct tDeleteOptions {
  std::string Book;
  std::vector<std::string> Patterns;
};

int List(const PluginLoader& plugin, const tTell& tell, const tListOptions& o);
int Extract(const PluginLoader& plugin, const tTell& tell, const tExtractOptions& o);
int Add(const PluginLoader& plugin, const tTell& tell, const tAddOptions& o);
int Delete(const PluginLoader& plugin, const tTell& tell, const tDeleteOptions& o);
int Detect(const PluginLoader& plugin, const tTell& tell, const std::vector<std::string>& files);
int Caps(const PluginLoader& plugin);
