// Loads a packer plug-in by path and finds its ten exports, as a file
// manager does, and its further export when it has one; nothing of the
// plug-in is linked in.
#pragma once

#include <string>

#include "BookApi.h"
#include "iwcxhead.h"

class PluginLoader {
 public:
  PluginLoader() = default;
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;
  ~PluginLoader();

  // False, with a reason in Error(), when the library cannot be loaded or
  // lacks one of the ten functions.
  bool Load(const std::string& path);
  const std::string& Error() const { return error_; }
  // Any other exported symbol; null when there is none.
  void* Symbol(const char* name) const;

  tOpenArchiveFn OpenArchive = nullptr;
  tReadHeaderFn ReadHeader = nullptr;
  tProcessFileFn ProcessFile = nullptr;
  tCloseArchiveFn CloseArchive = nullptr;
  tPackFilesFn PackFiles = nullptr;
  tDeleteFilesFn DeleteFiles = nullptr;
  tGetPackerCapsFn GetPackerCaps = nullptr;
  tSetChangeVolProcFn SetChangeVolProc = nullptr;
  tSetProcessDataProcFn SetProcessDataProc = nullptr;
  tCanYouHandleThisFileFn CanYouHandleThisFile = nullptr;
  // The plug-in's further export, for what a file manager never asks; null
  // when it has none of this version.
  const tFb2Api* BookApi = nullptr;

 private:
  void* library_ = nullptr;
  std::string error_;
};

// The plug-in's file name for this build of the host: the 64-bit Windows
// host looks for the name with "64" appended to the extension.
const char* PluginFileName();

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();
