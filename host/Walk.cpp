#include "Walk.h"

#include "Encoding.h"
#include "FileChecks.h"
#include "NameList.h"

tHostArchive::tHostArchive(const PluginLoader& plugin, const std::string& path)
    : plugin_(plugin), path_(CString(PluginPath(path, why_))) {
  if (!why_.empty()) return;
  tOpenArchiveData data{};
  data.ArcName = path_.data();
  data.OpenMode = PK_OM_LIST;
  handle_ = plugin_.OpenArchive(&data);
  result_ = data.OpenResult;
}

tHostArchive::~tHostArchive() {
  if (handle_) plugin_.CloseArchive(handle_);
}

int ListNames(const PluginLoader& plugin, const tTell& tell, const std::string& book, std::vector<std::string>& names) {
  return Walk(plugin, tell, book, [&](const std::string& name, ArchiveHandle h) {
    names.push_back(name);
    plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
    return 0;
  });
}

int CheckBook(const PluginLoader& plugin, const tTell& tell, const std::string& book, bool hasEntries) {
  std::string why;
  std::vector<char> name = CString(PluginPath(book, why));
  if (!why.empty()) return tell.Fail(why);
  if (plugin.CanYouHandleThisFile(name.data()) != 0) return 0;
  if (hasEntries) {
    tell.Warn(book + ": not recognised as an FB2 book by its content; showing the images found in it");
    return 0;
  }
  std::string what = WhatItIsInstead(book);
  return tell.Fail(book + ": not an FB2 book" + (what.empty() ? "" : ": " + what));
}
