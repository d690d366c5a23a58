#include "PluginLoader.h"

#include <filesystem>

#include "Encoding.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <cstring>

namespace {

template <class Fn>
void Bind(Fn& fn, void* symbol) {
  static_assert(sizeof(Fn) == sizeof(void*));
  std::memcpy(&fn, &symbol, sizeof fn);
}

}  // namespace

PluginLoader::~PluginLoader() {
  if (library_ == nullptr) return;
#ifdef _WIN32
  FreeLibrary(static_cast<HMODULE>(library_));
#else
  dlclose(library_);
#endif
}

void* PluginLoader::Symbol(const char* name) const {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library_), name));
#else
  return dlsym(library_, name);
#endif
}

bool PluginLoader::Load(const std::string& path) {
#ifdef _WIN32
  // The host's paths are UTF-8: loaded by its UTF-16 form, from any folder.
  library_ = LoadLibraryW(HostPath(path).wstring().c_str());
  if (library_ == nullptr) {
    error_ = "cannot load the plug-in " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
#else
  // A bare file name would be searched for on the library path; the host
  // means the file it names.
  std::string where = path.find('/') == std::string::npos ? "./" + path : path;
  library_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) {
    const char* why = dlerror();
    error_ = "cannot load the plug-in " + path + (why ? std::string(": ") + why : std::string());
    return false;
  }
#endif
  struct Entry {
    const char* name;
    void* symbol;
  };
  Entry entries[] = {
      {"OpenArchive", Symbol("OpenArchive")},
      {"ReadHeader", Symbol("ReadHeader")},
      {"ProcessFile", Symbol("ProcessFile")},
      {"CloseArchive", Symbol("CloseArchive")},
      {"PackFiles", Symbol("PackFiles")},
      {"DeleteFiles", Symbol("DeleteFiles")},
      {"GetPackerCaps", Symbol("GetPackerCaps")},
      {"SetChangeVolProc", Symbol("SetChangeVolProc")},
      {"SetProcessDataProc", Symbol("SetProcessDataProc")},
      {"CanYouHandleThisFile", Symbol("CanYouHandleThisFile")},
  };
  for (const Entry& e : entries) {
    if (e.symbol == nullptr) {
      error_ = "the plug-in " + path + " does not export " + e.name;
      return false;
    }
  }
  Bind(OpenArchive, entries[0].symbol);
  Bind(ReadHeader, entries[1].symbol);
  Bind(ProcessFile, entries[2].symbol);
  Bind(CloseArchive, entries[3].symbol);
  Bind(PackFiles, entries[4].symbol);
  Bind(DeleteFiles, entries[5].symbol);
  Bind(GetPackerCaps, entries[6].symbol);
  Bind(SetChangeVolProc, entries[7].symbol);
  Bind(SetProcessDataProc, entries[8].symbol);
  Bind(CanYouHandleThisFile, entries[9].symbol);
  // The further export is optional: without it only the archive operations work.
  tFb2ApiFn api = nullptr;
  Bind(api, Symbol(FB2API_EXPORT_NAME));
  if (api != nullptr) {
    const tFb2Api* table = api(FB2API_VERSION);
    if (table != nullptr && table->Version == FB2API_VERSION && table->Size >= sizeof(tFb2Api)) BookApi = table;
  }
  return true;
}

const char* PluginFileName() { return FB2PACK_PLUGIN_FILE; }

std::string ProgramFolder() {
#ifdef _WIN32
  wchar_t path[32768];
  DWORD n = GetModuleFileNameW(nullptr, path, 32767);
  std::string s = FromHostPath(std::filesystem::path(std::wstring(path, n < 32767 ? n : 0)));
  std::size_t cut = s.find_last_of("\\/");
#else
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string s(path, n > 0 ? static_cast<std::size_t>(n) : 0);
  std::size_t cut = s.rfind('/');
#endif
  return cut == std::string::npos ? std::string() : s.substr(0, cut + 1);
}
