#include "ApiHost.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace api {

const PluginLoader& Plugin() {
  static std::unique_ptr<PluginLoader> plugin = [] {
    auto p = std::make_unique<PluginLoader>();
#ifdef FB2PACK_TEST_PLUGIN
    std::string path = ProgramFolder() + FB2PACK_TEST_PLUGIN;
#else
    const char* env = std::getenv("FB2PACK_PLUGIN");
    std::string path = env && *env ? env : ProgramFolder() + PluginFileName();
#endif
    if (!p->Load(path)) throw std::runtime_error(p->Error());
    return p;
  }();
  return *plugin;
}

std::vector<char> List(const std::vector<std::string>& names) { return MakeNameList(names); }

Archive::Archive(const std::string& path) : path_(CString(path)) {
  data_.ArcName = path_.data();
  data_.OpenResult = -7;  // must stay unless opening fails
  handle_ = Plugin().OpenArchive(&data_);
}

Archive::~Archive() {
  if (handle_) Plugin().CloseArchive(handle_);
}

int Archive::Next(tHeaderData& header) {
  std::memset(&header, 0x5A, sizeof header);
  return Plugin().ReadHeader(handle_, &header);
}

int Archive::Process(int operation, const char* destPath, const char* destName) {
  std::vector<char> p = destPath ? CString(destPath) : std::vector<char>();
  std::vector<char> n = destName ? CString(destName) : std::vector<char>();
  return Plugin().ProcessFile(handle_, operation, destPath ? p.data() : nullptr, destName ? n.data() : nullptr);
}

std::vector<std::string> Names(const std::string& book) {
  std::vector<std::string> names;
  Archive a(book);
  tHeaderData h;
  while (a.Handle() && a.Next(h) == 0) {
    names.emplace_back(h.FileName);
    a.Process(PK_SKIP, nullptr, nullptr);
  }
  return names;
}

int Pack(const std::string& book, const std::string& srcPath, const std::vector<std::string>& names, int flags) {
  auto b = CString(book);
  auto s = CString(srcPath);
  auto l = List(names);
  return Plugin().PackFiles(b.data(), nullptr, s.data(), l.data(), flags);
}

int Delete(const std::string& book, const std::vector<std::string>& names) {
  auto b = CString(book);
  auto l = List(names);
  return Plugin().DeleteFiles(b.data(), l.data());
}

std::string Book(const std::string& binaries, bool namespaces) {
  std::string root = namespaces ? "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
                                  "xmlns:l=\"http://www.w3.org/1999/xlink\">"
                                : "<FictionBook>";
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + root +
         "\r\n<body><p>\xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82</p></body>\r\n" + binaries + "</FictionBook>\r\n";
}

}  // namespace api
