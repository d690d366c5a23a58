// Windows side of the platform layer: the ANSI file calls with the access,
// sharing and disposition values the plug-in relies on.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/Platform.h"

namespace platform {
namespace {

HANDLE H(FileHandle h) { return reinterpret_cast<HANDLE>(h); }
FileHandle F(HANDLE h) { return reinterpret_cast<FileHandle>(h); }

constexpr DWORD kNormalSequential = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

// Writes and reads are issued in pieces a DWORD can count.
constexpr std::size_t kMaxIo = 1u << 30;

}  // namespace

FileHandle OpenRead(const std::string& name) {
  return F(
      CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, kNormalSequential, nullptr));
}

bool FileInfoSize(FileHandle h, std::uint64_t& size) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(H(h), &info)) return false;
  size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

bool FileSize(FileHandle h, std::uint64_t& size) {
  DWORD high = 0;
  DWORD low = GetFileSize(H(h), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  size = (static_cast<std::uint64_t>(high) << 32) | low;
  return true;
}

bool SeekTo(FileHandle h, std::uint64_t pos) {
  LONG high = static_cast<LONG>(pos >> 32);
  DWORD low = SetFilePointer(H(h), static_cast<LONG>(pos & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool SeekEnd(FileHandle h) {
  LONG high = 0;
  DWORD low = SetFilePointer(H(h), 0, &high, FILE_END);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

std::size_t FB2PACK_SEAM(Read)(FileHandle h, void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(count - done < kMaxIo ? count - done : kMaxIo);
    DWORD got = 0;
    if (!ReadFile(H(h), p + done, want, &got, nullptr) || got == 0) break;
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

bool FB2PACK_SEAM(Sync)(FileHandle h) { return FlushFileBuffers(H(h)) != 0; }

// Windows has no call that starts a flush without waiting for it.
void StartFlush(FileHandle, std::uint64_t, std::uint64_t) {}

void Close(FileHandle h) {
  if (h != InvalidHandle) CloseHandle(H(h));
}

FileHandle OpenAlways(const std::string& name) {
  return F(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle CreateAlways(const std::string& name) {
  return F(
      CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, kNormalSequential, nullptr));
}

FileHandle FB2PACK_SEAM(CreateNew)(const std::string& name) {
  return F(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kNormalSequential, nullptr));
}

bool FB2PACK_SEAM(MoveOver)(const std::string& from, const std::string& to) {
  // Fails with a sharing violation while another handle holds the target open.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& name) { return DeleteFileA(name.c_str()) != 0; }

bool CopyPermissions(const std::string& from, const std::string& to) {
  DWORD attrs = GetFileAttributesA(from.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return false;
  // A read-only book cannot be replaced at all; the visible attributes travel.
  DWORD keep = attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  return SetFileAttributesA(to.c_str(), keep ? keep : FILE_ATTRIBUTE_NORMAL) != 0;
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
