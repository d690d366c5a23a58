#include "Walk.h"

#include "Encoding.h"
#include "FileChecks.h"
#include "NameList.h"

tHostArchive::tHostArchive(const PluginLoader& plugin, const tBookPath& book)
    : plugin_(plugin), why_(book.Why), path_(CString(book.ForPlugin)) {
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

int ListNames(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, std::vector<std::string>& names) {
  return Walk(plugin, tell, book, [&](const std::string& name, ArchiveHandle h) {
    names.push_back(name);
    plugin.ProcessFile(h, PK_SKIP, nullptr, nullptr);
    return 0;
  });
}

int CheckBook(const PluginLoader& plugin, const tTell& tell, const tBookPath& book, bool hasEntries) {
  if (book.ForPlugin.empty()) return tell.Fail(book.Why);
  const std::string why = NotABook(plugin, book);
  if (why.empty()) return 0;
  if (hasEntries) {
    tell.Warn(book.Given + ": not recognised as an FB2 book by its content; showing the images found in it");
    return 0;
  }
  return tell.Fail(book.Given + ": " + why);
}

std::string NotABook(const PluginLoader& plugin, const tBookPath& book) {
  std::vector<char> name = CString(book.ForPlugin);
  if (plugin.CanYouHandleThisFile(name.data()) != 0) return {};
  const std::string what = WhatItIsInstead(book.File);
  return "not an FB2 book" + (what.empty() ? "" : ": " + what);
}
