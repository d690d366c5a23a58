#include "Encoding.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>
#endif

#include "textutil/Utf8.h"

#ifdef _WIN32
namespace {

std::wstring Wide(const std::string& s, UINT codePage, bool* exact = nullptr) {
  if (s.empty()) return {};
  const DWORD strict = codePage == CP_UTF8 || exact != nullptr ? MB_ERR_INVALID_CHARS : 0;
  int n = MultiByteToWideChar(codePage, strict, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0 && strict != 0) {
    if (exact != nullptr) *exact = false;
    n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
  }
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, strict, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

// w in the ANSI code page; false when some character is not in it (no
// look-alikes).
bool Ansi(const std::wstring& w, std::string& out) {
  out.clear();
  if (w.empty()) return true;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              &lossy);
  if (n <= 0 || lossy) return false;
  out.assign(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      &lossy);
  return !lossy;
}

}  // namespace

std::string PluginPath(const std::string& path, std::string& why) {
  const std::wstring given = Wide(path, CP_UTF8);
  std::string out;
  if (Ansi(given, out)) {
    // Spelt whole: only the current folder, which the path leans on, may not be.
    if (given.size() >= 2 && (given[1] == L':' || (given[0] == L'\\' && given[1] == L'\\'))) return out;
  }
  DWORD n = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  n = n ? GetFullPathNameW(given.c_str(), n, full.data(), nullptr) : 0;
  if (n == 0) {
    why = path + ": cannot make a full path of it";
    return {};
  }
  full.resize(n);
  // Part by part: each that the code page cannot spell goes by its short name.
  std::string result;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = full.size();
    const std::wstring part = full.substr(start, end - start);
    std::string spelt;
    if (!Ansi(part, spelt)) {
      const std::wstring upTo = full.substr(0, end);
      // What is not there has no short name either: told as missing.
      if (GetFileAttributesW(upTo.c_str()) == INVALID_FILE_ATTRIBUTES) {
        why = path + ": " +
              (end == full.size() ? std::string("no such file") : "the folder " + Utf8(part) + " does not exist");
        return {};
      }
      DWORD m = GetShortPathNameW(upTo.c_str(), nullptr, 0);
      std::wstring shortPath(m, L'\0');
      m = m ? GetShortPathNameW(upTo.c_str(), shortPath.data(), m) : 0;
      shortPath.resize(m);
      const std::size_t cut = shortPath.find_last_of(L"\\/");
      const std::wstring shortPart = cut == std::wstring::npos ? shortPath : shortPath.substr(cut + 1);
      if (m == 0 || shortPart == part || !Ansi(shortPart, spelt)) {
        why = path + ": the system's code page cannot spell " +
              (end == full.size() ? std::string("this name") : "the folder " + Utf8(part)) +
              ", and it has no short (8.3) name to go by";
        return {};
      }
    }
    result += spelt;
    if (end == full.size()) break;
    result += '\\';
    start = end + 1;
  }
  return result;
}

std::string FromPlugin(const std::string& bytes, bool& exact) {
  exact = true;
  return Utf8(Wide(bytes, CP_ACP, &exact));
}

bool CodePageSpellsAll() { return GetACP() == CP_UTF8; }

std::string FromZipName(const std::string& bytes, bool flaggedUtf8) {
  return flaggedUtf8 || IsUtf8(bytes) ? bytes : Utf8(Wide(bytes, CP_OEMCP));
}

bool ToPlugin(const std::string& name, std::string& out) { return Ansi(Wide(name, CP_UTF8), out); }

std::filesystem::path HostPath(const std::string& path) { return std::filesystem::path(Wide(path, CP_UTF8)); }

std::string FromHostPath(const std::filesystem::path& path) { return Utf8(path.wstring()); }

bool WriteText(std::FILE* stream, const std::string& text) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
    std::fflush(stream);
    const std::wstring w = Wide(text, CP_UTF8);
    DWORD written = 0;
    return w.empty() ||
           (WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &written, nullptr) && written == w.size());
  }
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
}

#else

std::string PluginPath(const std::string& path, std::string&) { return path; }

std::string FromPlugin(const std::string& bytes, bool& exact) {
  exact = IsUtf8(bytes);
  return bytes;
}

bool CodePageSpellsAll() { return true; }

std::string FromZipName(const std::string& bytes, bool) { return bytes; }

bool ToPlugin(const std::string& name, std::string& out) {
  out = name;
  return true;
}

std::filesystem::path HostPath(const std::string& path) { return std::filesystem::path(path); }

std::string FromHostPath(const std::filesystem::path& path) { return path.string(); }

bool WriteText(std::FILE* stream, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
}

#endif

std::string FromPlugin(const std::string& bytes) {
  bool exact = true;
  return FromPlugin(bytes, exact);
}
