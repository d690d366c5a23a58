#include "TestFiles.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testfiles {

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

std::string SystemName(const std::string& utf8) {
#ifdef _WIN32
  if (GetACP() == CP_UTF8) return utf8;
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  std::string out;
  for (wchar_t w : wide) {
    char bytes[8];
    BOOL lacked = FALSE;
    int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &w, 1, bytes, sizeof bytes, nullptr, &lacked);
    out += m <= 0 || lacked ? std::string("_") : std::string(bytes, static_cast<std::size_t>(m));
  }
  return out;
#else
  return utf8;
#endif
}

ScratchDir::ScratchDir() {
  static unsigned counter = 0;  // test-only: unique folder names within one run
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("fb2pack-test-" + std::to_string(rd()) + "-" + std::to_string(++counter));
    if (std::filesystem::create_directory(path_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name) const { return (path_ / name).string(); }

std::string ScratchDir::Prefix() const { return (path_ / "").string(); }

std::size_t ScratchDir::Count() const {
  std::size_t n = 0;
  for (auto it = std::filesystem::directory_iterator(path_); it != std::filesystem::directory_iterator(); ++it) ++n;
  return n;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::string ReferenceBase64(const std::string& data) {
  static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 3) {
    std::size_t n = data.size() - i < 3 ? data.size() - i : 3;
    unsigned v = 0;
    for (std::size_t k = 0; k < 3; ++k) v = (v << 8) | (k < n ? static_cast<unsigned char>(data[i + k]) : 0u);
    out += a[v >> 18];
    out += a[(v >> 12) & 63];
    out += n > 1 ? a[(v >> 6) & 63] : '=';
    out += n > 2 ? a[v & 63] : '=';
  }
  return out;
}

}  // namespace testfiles
