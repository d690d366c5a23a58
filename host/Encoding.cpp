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

// True when the shortened path leads to the file or folder the long one
// does, and back: opened, it is the same one (one volume, one index), and
// its long name is this one. The plug-in both opens it and asks its long name.
bool LeadsBothWays(const std::wstring& wide, const std::string& ansi) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE a = CreateFileW(wide.c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const HANDLE b = CreateFileA(ansi.c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  const bool same = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE && GetFileInformationByHandle(a, &ia) &&
                    GetFileInformationByHandle(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                    ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  if (a != INVALID_HANDLE_VALUE) CloseHandle(a);
  if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
  if (!same) return false;
  const std::wstring shortened = Wide(ansi, CP_ACP);
  std::wstring back(32768, L'\0');
  const DWORD n = GetLongPathNameW(shortened.c_str(), back.data(), static_cast<DWORD>(back.size()));
  return n > 0 && n < back.size() &&
         CompareStringOrdinal(back.data(), static_cast<int>(n), wide.data(), static_cast<int>(wide.size()), TRUE) ==
             CSTR_EQUAL;
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
  // Part by part: each that the code page cannot spell goes by its short
  // name, read from its own folder's listing; the others keep their long
  // names, which lead to one file each.
  std::string result;
  std::size_t start = 0, shortenedUpTo = 0, shortenedAnsi = 0;
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
      WIN32_FIND_DATAW found{};
      const HANDLE h = FindFirstFileW(upTo.c_str(), &found);
      if (h != INVALID_HANDLE_VALUE) FindClose(h);
      if (h == INVALID_HANDLE_VALUE || found.cAlternateFileName[0] == L'\0' || !Ansi(found.cAlternateFileName, spelt)) {
        why = path + ": the system's code page cannot spell " +
              (end == full.size() ? std::string("this name") : "the folder " + Utf8(part)) +
              ", and it has no short (8.3) name to go by";
        return {};
      }
      shortenedUpTo = end;
      shortenedAnsi = result.size() + spelt.size();
    }
    result += spelt;
    if (end == full.size()) break;
    result += '\\';
    start = end + 1;
  }
  // Where short names are made up rather than kept (Wine hashes them), two
  // names in a folder can share one, which then leads to either.
  if (shortenedUpTo != 0 && !LeadsBothWays(full.substr(0, shortenedUpTo), result.substr(0, shortenedAnsi))) {
    why = path + ": the system's code page cannot spell it, and its short (8.3) name leads to another file";
    return {};
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
