// POSIX side of the platform layer. Windows share modes are imitated with
// advisory flock locks: readers take a shared lock, writers an exclusive one,
// both without waiting, so a file open for reading cannot be written by us.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"

namespace platform {
namespace {

int Fd(FileHandle h) { return static_cast<int>(h); }

// Locks without waiting; a lock that is held elsewhere counts as a sharing
// violation, as on Windows.
bool TryLock(int fd, int kind) {
  for (;;) {
    if (::flock(fd, kind | LOCK_NB) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool IsRegular(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

FileHandle OpenLocked(const std::string& name, int flags, int lock) {
  int fd;
  do {
    fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return InvalidHandle;
  if (!IsRegular(fd) || !TryLock(fd, lock)) {
    ::close(fd);
    return InvalidHandle;
  }
  return fd;
}

bool SizeOf(FileHandle h, std::uint64_t& size) {
  struct stat st {};
  if (h == InvalidHandle || ::fstat(Fd(h), &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

}  // namespace

FileHandle OpenRead(const std::string& name) {
  FileHandle h = OpenLocked(name, O_RDONLY, LOCK_SH);
#ifdef POSIX_FADV_SEQUENTIAL
  if (h != InvalidHandle) ::posix_fadvise(Fd(h), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return h;
}

bool FileInfoSize(FileHandle h, std::uint64_t& size) { return SizeOf(h, size); }
bool FileSize(FileHandle h, std::uint64_t& size) { return SizeOf(h, size); }

bool SeekTo(FileHandle h, std::uint64_t pos) {
  if (h == InvalidHandle || pos > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::lseek(Fd(h), static_cast<off_t>(pos), SEEK_SET) >= 0;
}

bool SeekEnd(FileHandle h) { return h != InvalidHandle && ::lseek(Fd(h), 0, SEEK_END) >= 0; }

std::size_t FB2PACK_SEAM(Read)(FileHandle h, void* buffer, std::size_t count) {
  if (h == InvalidHandle) return 0;
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(Fd(h), p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t FB2PACK_SEAM(Write)(FileHandle h, const void* buffer, std::size_t count) {
  if (h == InvalidHandle) return 0;
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(Fd(h), p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool FB2PACK_SEAM(Sync)(FileHandle h) { return h != InvalidHandle && ::fsync(Fd(h)) == 0; }

void StartFlush(FileHandle h, std::uint64_t offset, std::uint64_t count) {
#ifdef SYNC_FILE_RANGE_WRITE
  if (h != InvalidHandle) {
    ::sync_file_range(Fd(h), static_cast<off_t>(offset), static_cast<off_t>(count), SYNC_FILE_RANGE_WRITE);
  }
#else
  (void)h;
  (void)offset;
  (void)count;
#endif
}

void Close(FileHandle h) {
  if (h != InvalidHandle) ::close(Fd(h));
}

FileHandle OpenAlways(const std::string& name) { return OpenLocked(name, O_WRONLY | O_CREAT, LOCK_EX); }

FileHandle CreateAlways(const std::string& name) {
  // Truncate only once the lock is ours, so a file held by a reader is untouched.
  FileHandle h = OpenLocked(name, O_WRONLY | O_CREAT, LOCK_EX);
  if (h != InvalidHandle && ::ftruncate(Fd(h), 0) != 0) {
    Close(h);
    return InvalidHandle;
  }
  return h;
}

FileHandle FB2PACK_SEAM(CreateNew)(const std::string& name) {
  return OpenLocked(name, O_WRONLY | O_CREAT | O_EXCL, LOCK_EX);
}

bool FB2PACK_SEAM(MoveOver)(const std::string& from, const std::string& to) {
  // Hold the target exclusively across the rename: a reader that has it open
  // keeps it, as Windows refuses to replace a file that is open.
  // Opening for writing also keeps a read-only target as it is, as on Windows.
  int fd = ::open(to.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0 && errno != ENOENT) return false;
  if (fd >= 0 && !TryLock(fd, LOCK_EX)) {
    ::close(fd);
    return false;
  }
  bool ok = ::rename(from.c_str(), to.c_str()) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

bool RemoveFile(const std::string& name) { return ::unlink(name.c_str()) == 0; }

bool CopyPermissions(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) return false;
  return ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

void LowerCase(char* text, std::size_t n) {
  // No 8-bit code page here: only ASCII capitals change, so UTF-8 stays intact.
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] - 'A' + 'a');
  }
}

bool IsLeadByte(unsigned char) { return false; }

std::uint32_t UniqueNumber() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  std::uint64_t x = static_cast<std::uint64_t>(ts.tv_nsec) ^ (static_cast<std::uint64_t>(ts.tv_sec) << 30) ^
                    (static_cast<std::uint64_t>(::getpid()) << 16);
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return static_cast<std::uint32_t>(x);
}

}  // namespace platform
