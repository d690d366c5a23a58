// A test host: loads the built plug-in by path, as a file manager does, and
// offers the calls the scenarios make. It never links the plug-in's code.
#pragma once

#include <string>
#include <vector>

#include "host/PluginLoader.h"
#include "plugin/public/NameList.h"
#include "textutil/PathRules.h"

namespace api {

inline const std::string kSep(1, SystemPathRules().Separator);

// The start and end of a small book; elements go between them.
inline const std::string kHead = "<?xml version=\"1.0\"?>\r\n<FictionBook xmlns=\"x\">\r\n";
inline const std::string kTail = "</FictionBook>\r\n";

// The plug-in under test: FB2PACK_PLUGIN, or the one built beside the tests.
const PluginLoader& Plugin();

// A name list: each name ended by NUL, the list by an empty name.
std::vector<char> List(const std::vector<std::string>& names);

// One open archive, closed at the end of its scope.
class Archive {
 public:
  explicit Archive(const std::string& path);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  ArchiveHandle Handle() const { return handle_; }
  int OpenResult() const { return data_.OpenResult; }

  // ReadHeader into a header pre-filled with a marker byte.
  int Next(tHeaderData& header);
  int Process(int operation, const char* destPath, const char* destName);

 private:
  std::vector<char> path_;
  tOpenArchiveData data_{};
  ArchiveHandle handle_ = nullptr;
};

// Every name of a book, walking with skip.
std::vector<std::string> Names(const std::string& book);

int Pack(const std::string& book, const std::string& srcPath, const std::vector<std::string>& names, int flags = 0);
int Delete(const std::string& book, const std::vector<std::string>& names);

// A book around the given elements: declaration, root tag, body, elements.
std::string Book(const std::string& binaries, bool namespaces = true);

}  // namespace api
