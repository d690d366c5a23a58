// Windows side of the platform layer: the ANSI file calls with the access,
// sharing and disposition values the plug-in relies on.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/TempNames.h"

namespace platform {
namespace {

HANDLE H(FileHandle h) { return reinterpret_cast<HANDLE>(h); }
FileHandle F(HANDLE h) { return reinterpret_cast<FileHandle>(h); }

constexpr DWORD kNormalSequential = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

// Writes and reads are issued in pieces a DWORD can count.
constexpr std::size_t kMaxIo = 1u << 30;

// Only files on disk are books, sources or targets: CON, NUL, pipes and the
// like are refused before anything waits on them.
HANDLE DiskFileOnly(HANDLE h) {
  if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

bool IsDiskFileName(const std::string& name) {
  DWORD attrs = GetFileAttributesA(name.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) return false;
  HANDLE h = DiskFileOnly(CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

std::string FullPath(const std::string& name) {
  char buffer[MAX_PATH];
  DWORD n = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr);
  return n == 0 || n >= sizeof buffer ? name : std::string(buffer, n);
}

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// The full path of an existing file under its long name. A host may name a
// book by its short (8.3) name, when the code page cannot spell the long one;
// replacing the book under the short name would rename it to that.
std::wstring LongFullPath(const std::string& name) {
  const std::wstring full = Wide(FullPath(name));
  std::wstring buffer(32768, L'\0');
  DWORD n = GetLongPathNameW(full.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return full;
  buffer.resize(n);
  return buffer;
}

// Rewrites exclude each other with a lock on a byte far past the end of any
// book, which no reader ever reads.
constexpr DWORD kRewriteLockHigh = 0x40000000;

}  // namespace

FileHandle OpenRead(const std::string& name) {
  return F(DiskFileOnly(
      CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, kNormalSequential, nullptr)));
}

bool FileSize(FileHandle h, std::uint64_t& size) {
  DWORD high = 0;
  DWORD low = GetFileSize(H(h), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  size = (static_cast<std::uint64_t>(high) << 32) | low;
  return true;
}

std::size_t FB2PACK_SEAM(ReadAt)(FileHandle h, std::uint64_t offset, void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(count - done < kMaxIo ? count - done : kMaxIo);
    // An offset given with the call: what reads it never seeks.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (!ReadFile(H(h), p + done, want, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

std::size_t FB2PACK_SEAM(Write)(FileHandle h, const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  do {
    DWORD want = static_cast<DWORD>(count - done < kMaxIo ? count - done : kMaxIo);
    DWORD put = 0;
    if (!WriteFile(H(h), p + done, want, &put, nullptr)) break;
    done += put;
    if (put < want) break;
  } while (done < count);
  return done;
}

std::uint64_t FB2PACK_SEAM(CopyRange)(FileHandle from, std::uint64_t offset, std::uint64_t count, FileHandle to,
                                      CopyWay) {
  // Through a fixed buffer, read at offsets: from's position is not relied on.
  std::vector<char> buffer(1 << 20);
  std::uint64_t done = 0;
  while (done < count) {
    const DWORD want =
        count - done < buffer.size() ? static_cast<DWORD>(count - done) : static_cast<DWORD>(buffer.size());
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (!ReadFile(H(from), buffer.data(), want, &got, &at) || got == 0) return done;
    DWORD written = 0;
    if (!WriteFile(H(to), buffer.data(), got, &written, nullptr)) return done;
    done += written;
    if (written < got) return done;
  }
  return done;
}

// Two events hand a write over and back; each also orders the memory the
// other thread reads.
struct WriteBehind::Worker {
  WriteBehind* owner = nullptr;
  HANDLE ready = nullptr, done = nullptr, thread = nullptr;
  bool quit = false;

  static DWORD WINAPI Run(void* self) {
    Worker& w = *static_cast<Worker*>(self);
    for (;;) {
      WaitForSingleObject(w.ready, INFINITE);
      if (w.quit) return 0;
      w.owner->Make();
      SetEvent(w.done);
    }
  }
  ~Worker() {
    if (ready) CloseHandle(ready);
    if (done) CloseHandle(done);
  }
};

bool WriteBehind::Launch() {
  auto worker = std::make_unique<Worker>();
  worker->owner = this;
  worker->ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  worker->done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!worker->ready || !worker->done) return false;
  worker->thread = CreateThread(nullptr, 0, &Worker::Run, worker.get(), 0, nullptr);
  if (!worker->thread) return false;
  worker_ = worker.release();
  return true;
}

void WriteBehind::Hand() { SetEvent(worker_->ready); }

void WriteBehind::Await() { WaitForSingleObject(worker_->done, INFINITE); }

void WriteBehind::Land() {
  if (worker_ == nullptr) return;
  worker_->quit = true;
  SetEvent(worker_->ready);
  WaitForSingleObject(worker_->thread, INFINITE);
  CloseHandle(worker_->thread);
  delete worker_;
  worker_ = nullptr;
}

bool FB2PACK_SEAM(Sync)(FileHandle h) { return FlushFileBuffers(H(h)) != 0; }

// Windows has no call that starts a flush without waiting for it.
void StartFlush(FileHandle, std::uint64_t, std::uint64_t) {}

void Close(FileHandle h) {
  if (h != InvalidHandle) CloseHandle(H(h));
}

std::string FinalPath(const std::string& name) {
  DWORD attrs = GetFileAttributesA(name.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return name;
  HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return name;
  char buffer[MAX_PATH + 8];
  DWORD n = GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (n == 0 || n >= sizeof buffer) return name;
  std::string path(buffer, n);
  if (path.rfind("\\\\?\\", 0) == 0 && path.size() > 6 && path[5] == ':') path.erase(0, 4);
  return path;
}

FileHandle OpenForRewrite(const std::string& name, unsigned waitMs, RewriteOpen& result) {
  const DWORD start = GetTickCount();
  DWORD lastSeen = start;
  for (;;) {
    // Shared for deleting and writing too, so that the replacement can take
    // the name; readers, who share reading only, still keep it from doing so.
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, kNormalSequential, nullptr);
    const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    h = DiskFileOnly(h);
    if (h == INVALID_HANDLE_VALUE) {
      // While another rewrite puts its book in place, the name may be held
      // or, for a moment, missing (replacing is not one step everywhere):
      // that is a busy book, not a missing one.
      const DWORD attrs = GetFileAttributesA(name.c_str());
      const bool folder = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
      bool replacing = !folder && (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                                   (error == ERROR_FILE_NOT_FOUND && GetTickCount() - lastSeen < 200));
      if (!replacing || GetTickCount() - start >= waitMs) {
        result = replacing ? RewriteOpen::Busy : RewriteOpen::NotAFile;
        return InvalidHandle;
      }
      Sleep(10);
      continue;
    }
    lastSeen = GetTickCount();
    DWORD attrs = GetFileAttributesA(name.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) {
      result = RewriteOpen::ReadOnly;  // it can be read, not replaced
      return F(h);
    }
    OVERLAPPED at{};
    at.OffsetHigh = kRewriteLockHigh;
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      // A rewrite that ended meanwhile may have put another file under the name.
      HANDLE named = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
      bool same = named != INVALID_HANDLE_VALUE && SameFile(h, named);
      if (named != INVALID_HANDLE_VALUE) CloseHandle(named);
      if (same) {
        result = RewriteOpen::Opened;
        return F(h);
      }
    }
    CloseHandle(h);
    if (GetTickCount() - start >= waitMs) {
      result = RewriteOpen::Busy;
      return InvalidHandle;
    }
    Sleep(10);
  }
}

bool FB2PACK_SEAM(CreateBeside)(const std::string& folder, const std::string& prefix, unsigned, NewFile& file) {
  // Windows has no unnamed files; a killed rewrite's file is removed by the
  // next rewrite of the same book. The new file shares nothing while open.
  file = NewFile{InvalidHandle, folder, prefix, {}};
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string name = folder + TempName(prefix, UniqueNumber() + static_cast<std::uint32_t>(attempt) * 0x9E3779B9u);
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kNormalSequential, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      file.Handle = F(h);
      file.Name = name;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

int ModeOf(const std::string& name) {
  DWORD attrs = GetFileAttributesA(name.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return -1;
  return (attrs & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
}

// Attributes, security and streams travel with ReplaceFile, in one step.
bool CopyIdentity(const std::string&, FileHandle, bool) { return true; }

bool FB2PACK_SEAM(PlaceOver)(NewFile& file, const std::string& target, FileHandle held) {
  if (file.Handle == InvalidHandle) return false;
  CloseHandle(H(file.Handle));
  file.Handle = InvalidHandle;
  if (held != InvalidHandle) {
    // A reader shares no deleting: asked first, so that a refused replacement
    // leaves nothing behind (some ReplaceFile implementations leave an empty
    // file of their own when they fail).
    HANDLE probe = CreateFileA(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    // Keeps the book's attributes, security descriptor, creation time and
    // streams; fails with a sharing violation while a reader holds it.
    // Full paths: some implementations cannot place their own temporary
    // file for a name without a folder.
    if (!ReplaceFileW(LongFullPath(target).c_str(), Wide(FullPath(file.Name)).c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      return false;
    }
    file.Name.clear();
    return true;
  }
  DWORD attrs = GetFileAttributesA(target.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT) && !IsDiskFileName(target)) {
    return false;  // a folder or a device is in the way
  }
  // Fails with a sharing violation while another handle holds the target open.
  if (!MoveFileExA(file.Name.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
  file.Name.clear();
  return true;
}

void Discard(NewFile& file) {
  Close(file.Handle);
  file.Handle = InvalidHandle;
  if (!file.Name.empty()) DeleteFileA(file.Name.c_str());
  file.Name.clear();
}

void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
  WIN32_FIND_DATAA found{};
  HANDLE find = FindFirstFileA((folder + prefix + kTempWildcard).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    // A live writer holds its file without sharing, so deleting it fails.
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + found.cFileName).c_str());
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

bool RegularFileSize(const std::string& name, std::uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsDiskFileName(name)) {
    return false;
  }
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool IsFileOf(FileHandle h, const std::string& name) {
  // Opened for no access, so that neither a reader nor a writer can refuse it.
  HANDLE other = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  bool same = h != InvalidHandle && SameFile(H(h), other);
  CloseHandle(other);
  return same;
}

void Pause(unsigned ms) { Sleep(ms); }

bool FileNamesAreUtf8() { return GetACP() == CP_UTF8; }

namespace {

// UTF-16 as code points, surrogate pairs joined.
void AppendPoints(const std::wstring& wide, std::u32string& points) {
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = static_cast<char16_t>(wide[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
    }
    points += c;
  }
}

}  // namespace

bool AnsiToUnicode(const std::string& name, std::u32string& points) {
  if (name.empty()) return true;
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), wide.data(), n);
  AppendPoints(wide, points);
  return true;
}

std::string UnicodeToAnsi(char32_t c) {
  wchar_t wide[2];
  int units = 1;
  if (c >= 0x10000) {
    wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    units = 2;
  } else {
    wide[0] = static_cast<wchar_t>(c);
  }
  char out[8];
  BOOL usedDefault = FALSE;
  // No best fit: a character the code page lacks is not turned into a look-alike.
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, out, sizeof out, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return {};
  return std::string(out, static_cast<std::size_t>(n));
}

bool LongFileName(const std::string& path, std::u32string& name) {
  int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  const DWORD size = GetLongPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return false;
  std::wstring full(size, L'\0');
  const DWORD got = GetLongPathNameW(wide.c_str(), full.data(), size);
  if (got == 0 || got >= size) return false;
  full.resize(got);
  const std::size_t cut = full.find_last_of(L"\\/");
  const std::wstring last = cut == std::wstring::npos ? full : full.substr(cut + 1);
  if (last.empty()) return false;
  name.clear();
  AppendPoints(last, name);
  return true;
}

namespace {

// A file name as Windows compares it: in UTF-16, trailing dots and spaces
// dropped, upper-cased one unit at a time without regard to language (the
// ordinal ignore-case comparison of the file system).
std::wstring ComparedForm(const std::string& name, UINT codePage = CP_ACP) {
  std::wstring wide;
  if (int n = MultiByteToWideChar(codePage, 0, name.data(), static_cast<int>(name.size()), nullptr, 0); n > 0) {
    wide.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(codePage, 0, name.data(), static_cast<int>(name.size()), wide.data(), n);
  }
  while (!wide.empty() && (wide.back() == L'.' || wide.back() == L' ')) wide.pop_back();
  if (!wide.empty()) {
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), wide.data(),
                  static_cast<int>(wide.size()), nullptr, nullptr, 0);
  }
  return wide;
}

}  // namespace

std::string FileNameKey(const std::string& name) {
  const std::wstring wide = ComparedForm(name);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::string Utf8FileNameKey(const std::string& name) {
  const std::wstring wide = ComparedForm(name, CP_UTF8);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

bool IsDeviceName(const std::string& name) {
  // The device is named by what stands before the first dot, blanks after it
  // not counted: "con", "CON.png" and "con .tar.gz" all name the console.
  std::wstring base = ComparedForm(name.substr(0, name.find('.')));
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
  for (const wchar_t* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) && base[3] >= L'1' &&
         base[3] <= L'9';
}

void LowerCase(char* text, std::size_t n) {
  if (n > 0) CharLowerBuffA(text, static_cast<DWORD>(n));
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

std::uint32_t UniqueNumber() {
  LARGE_INTEGER t{};
  QueryPerformanceCounter(&t);
  std::uint64_t x = static_cast<std::uint64_t>(t.QuadPart) ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 20) ^
                    GetTickCount();
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return static_cast<std::uint32_t>(x);
}

}  // namespace platform
