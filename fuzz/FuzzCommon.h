// Helpers shared by the fuzz targets: a private scratch folder per process
// and whole-file access with the standard library.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fuzz {

// Aborts with a message: libFuzzer keeps the input that got here.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

#define FUZZ_CHECK(cond)              \
  do {                                \
    if (!(cond)) ::fuzz::Fail(#cond); \
  } while (0)

// One scratch folder for the life of the fuzzing process, emptied per input.
inline const std::filesystem::path& Scratch() {
  static const std::filesystem::path dir = [] {
    auto p = std::filesystem::temp_directory_path() / ("fb2pack-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return dir;
}

inline void Empty(const std::filesystem::path& dir) {
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove_all(e.path(), ec);
}

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void Spit(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzz
