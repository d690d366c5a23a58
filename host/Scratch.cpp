#include "Scratch.h"

#include <filesystem>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <stdlib.h>
#endif

#include "Encoding.h"
#include "FileChecks.h"

namespace fs = std::filesystem;

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
      path_ = FromHostPath(dir) + kPathSeparator;
      return;
    }
  }
#else
  // Made private (0700) in one step: extracted images are the user's.
  std::string pattern = (base / "fb2pack-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern + kPathSeparator;
#endif
}

std::string tScratchFolder::Base() const {
  std::error_code ec;
  return FromHostPath(fs::temp_directory_path(ec));
}

tScratchFolder::~tScratchFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(HostPath(path_), ec);
}
