#include "Walk.h"

#include <filesystem>
#include <random>

#ifndef _WIN32
#include <stdlib.h>
#endif

#include "Encoding.h"
#include "HostServices.h"
#include "NameList.h"

namespace fs = std::filesystem;

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

int OpenFailed(const tTell& tell, const std::string& book, int rc) {
  std::string why = FileProblem(book, false);
  if (why.empty()) {
    std::error_code ec;
    why = fs::file_size(HostPath(book), ec) == 0 && !ec ? "it is empty" : "the plug-in cannot open it";
  }
  return tell.Fail(book + ": " + why, rc ? rc : E_BAD_DATA);
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

tScratchFolder::tScratchFolder() {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return;
#ifdef _WIN32
  std::random_device seed;
  std::mt19937 gen(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path dir = base / ("fb2pack-" + std::to_string(gen()));
    if (fs::create_directory(dir, ec) && !ec) {
      path_ = FromHostPath(dir) + fb2pack::PathSeparator();
      return;
    }
  }
#else
  // Made private (0700) in one step: extracted images are the user's.
  std::string pattern = (base / "fb2pack-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern + fb2pack::PathSeparator();
#endif
}

std::string tScratchFolder::Base() const {
  std::error_code ec;
  return FromHostPath(fs::temp_directory_path(ec));
}

#ifdef _WIN32
tSignalsHeld::tSignalsHeld() = default;
tSignalsHeld::~tSignalsHeld() = default;
bool tSignalsHeld::Arrived() const { return false; }
#else
namespace {
sigset_t Ending() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
  return set;
}
}  // namespace

tSignalsHeld::tSignalsHeld() {
  const sigset_t ending = Ending();
  held_ = sigprocmask(SIG_BLOCK, &ending, &old_) == 0;
}

tSignalsHeld::~tSignalsHeld() {
  if (held_) sigprocmask(SIG_SETMASK, &old_, nullptr);
}

bool tSignalsHeld::Arrived() const {
  sigset_t pending;
  if (!held_ || sigpending(&pending) != 0) return false;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    if (sigismember(&pending, s) == 1) return true;
  }
  return false;
}
#endif

tScratchFolder::~tScratchFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(HostPath(path_), ec);
}
