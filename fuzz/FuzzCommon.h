// Helpers shared by the fuzz targets: a private scratch folder per process
// and whole-file access with the standard library.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A copy of the input whose last byte is the last of a page, with an
// unmapped page after it: a read past the input faults at once, where a heap
// copy would let it go unseen into the allocation's slack.
class tFencedCopy {
 public:
  tFencedCopy(const std::uint8_t* data, std::size_t size) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    mapped_ = (size + page - 1) / page * page + page;
    void* base = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) Fail("mmap");
    base_ = static_cast<char*>(base);
    if (::mprotect(base_ + mapped_ - page, page, PROT_NONE) != 0) Fail("mprotect");
    data_ = base_ + mapped_ - page - size;
    if (size > 0) std::memcpy(data_, data, size);
  }
  ~tFencedCopy() { ::munmap(base_, mapped_); }
  tFencedCopy(const tFencedCopy&) = delete;
  tFencedCopy& operator=(const tFencedCopy&) = delete;
  const char* Data() const { return data_; }

 private:
  char* base_ = nullptr;
  char* data_ = nullptr;
  std::size_t mapped_ = 0;
};

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
