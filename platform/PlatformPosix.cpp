// POSIX side of the platform layer. Windows share modes are imitated with
// advisory flock locks: readers take a shared lock, writers an exclusive one,
// both without waiting, so a file open for reading cannot be written by us.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/TempNames.h"

// Books and sources are measured and sought past 2 GiB in 32-bit builds too.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

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

int OpenNoWait(const std::string& name, int flags, mode_t mode = 0666) {
  int fd;
  do {
    fd = ::open(name.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens without blocking: a FIFO or a device would otherwise wait for a
// peer. Only regular files are kept, then set back to blocking input and output.
int OpenRegular(const std::string& name, int flags) {
  int fd = OpenNoWait(name, flags | O_NONBLOCK);
  if (fd < 0) return -1;
  if (!IsRegular(fd) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

FileHandle OpenLocked(const std::string& name, int flags, int lock) {
  int fd = OpenRegular(name, flags);
  if (fd < 0) return InvalidHandle;
  if (!TryLock(fd, lock)) {
    ::close(fd);
    return InvalidHandle;
  }
  return fd;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Rewrites exclude each other with a write lock of the open file description
// (readers use flock, which such locks do not meet): it holds between two
// calls in one process as between processes.
bool TryRewriteLock(int fd) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
#else
  return ::fcntl(fd, F_SETLK, &fl) == 0;
#endif
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

bool FileSize(FileHandle h, std::uint64_t& size) { return SizeOf(h, size); }

std::size_t FB2PACK_SEAM(ReadAt)(FileHandle h, std::uint64_t offset, void* buffer, std::size_t count) {
  if (h == InvalidHandle || offset > static_cast<std::uint64_t>(INT64_MAX) - count) return 0;
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(Fd(h), p + done, count - done, static_cast<off_t>(offset + done));
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

// A mutex and a condition: a side that finds the other's flag set goes on
// without a system call, and one that waits sleeps without spinning.
struct WriteBehind::Worker {
  std::mutex lock;
  std::condition_variable changed;
  bool ready = false, done = false, quit = false;
  std::thread thread;
};

bool WriteBehind::Launch() {
  auto worker = std::make_unique<Worker>();
  try {
    worker->thread = std::thread([this, w = worker.get()] {
      for (;;) {
        {
          std::unique_lock<std::mutex> hold(w->lock);
          w->changed.wait(hold, [w] { return w->ready || w->quit; });
          if (w->quit) return;
          w->ready = false;
        }
        Make();
        {
          std::lock_guard<std::mutex> hold(w->lock);
          w->done = true;
        }
        w->changed.notify_all();
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  worker_ = worker.release();
  return true;
}

void WriteBehind::Hand() {
  {
    std::lock_guard<std::mutex> hold(worker_->lock);
    worker_->ready = true;
  }
  worker_->changed.notify_all();
}

void WriteBehind::Await() {
  std::unique_lock<std::mutex> hold(worker_->lock);
  worker_->changed.wait(hold, [this] { return worker_->done; });
  worker_->done = false;
}

void WriteBehind::Land() {
  if (worker_ == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(worker_->lock);
    worker_->quit = true;
  }
  worker_->changed.notify_all();
  worker_->thread.join();
  delete worker_;
  worker_ = nullptr;
}

bool FB2PACK_SEAM(Sync)(FileHandle h) { return h != InvalidHandle && ::fsync(Fd(h)) == 0; }

std::uint64_t FB2PACK_SEAM(CopyRange)(FileHandle from, std::uint64_t offset, std::uint64_t count, FileHandle to,
                                      CopyWay way) {
  std::uint64_t done = 0;
#ifdef __linux__
  if (way == CopyWay::Any) {
    // The kernel copies page to page: bytes that move to another place in
    // their page (everything after a delete or an insert) go quicker through
    // the buffer.
    const off_t to_at = ::lseek(Fd(to), 0, SEEK_CUR);
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    if (to_at < 0 || page == 0 || (static_cast<std::uint64_t>(to_at) - offset) % page != 0) way = CopyWay::BufferOnly;
  }
  if (way != CopyWay::BufferOnly) {
    loff_t at = static_cast<loff_t>(offset);
    while (done < count) {
      const std::size_t chunk = count - done < (1u << 30) ? static_cast<std::size_t>(count - done) : (1u << 30);
      const ssize_t n = ::copy_file_range(Fd(from), &at, Fd(to), nullptr, chunk, 0);
      if (n > 0) {
        done += static_cast<std::uint64_t>(n);
        continue;
      }
      if (n == 0) return done;  // the source ended early
      if (errno == EINTR) continue;
      // Refused between these files or by this kernel: the buffer does it.
      const bool refused = errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                           errno == ETXTBSY || errno == EPERM;
      if (!refused || done > 0 || way == CopyWay::KernelOnly) return done;
      break;
    }
    if (done == count) return done;
  }
#endif
  if (way == CopyWay::KernelOnly) return done;
  std::vector<char> buffer(1 << 18);
  while (done < count) {
    const std::size_t want = count - done < buffer.size() ? static_cast<std::size_t>(count - done) : buffer.size();
    const ssize_t got = ::pread(Fd(from), buffer.data(), want, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return done;
    std::size_t written = 0;
    while (written < static_cast<std::size_t>(got)) {
      const ssize_t w = ::write(Fd(to), buffer.data() + written, static_cast<std::size_t>(got) - written);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return done + written;
      written += static_cast<std::size_t>(w);
    }
    done += written;
  }
  return done;
}

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

std::string FinalPath(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
  char* resolved = ::realpath(name.c_str(), nullptr);
  if (resolved == nullptr) return name;
  std::string path(resolved);
  std::free(resolved);
  return path;
}

FileHandle OpenForRewrite(const std::string& name, unsigned waitMs, RewriteOpen& result) {
  struct timespec start {};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    int fd = OpenRegular(name, O_RDWR);
    if (fd < 0) {
      int err = errno;
      result = RewriteOpen::NotAFile;
      if (err == EACCES || err == EROFS || err == EPERM || err == ETXTBSY) {
        // Readable but not writable: it can be read, not replaced.
        int ro = OpenRegular(name, O_RDONLY);
        if (ro >= 0) {
          result = RewriteOpen::ReadOnly;
          return ro;
        }
      }
      return InvalidHandle;
    }
    if (TryRewriteLock(fd)) {
      // The lock is on the file; a rewrite that ended meanwhile may have put
      // another file under the name.
      struct stat held {
      }, named{};
      if (::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 && SameFile(held, named)) {
        result = RewriteOpen::Opened;
        return fd;
      }
    }
    ::close(fd);
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    long long elapsed = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= static_cast<long long>(waitMs)) {
      result = RewriteOpen::Busy;
      return InvalidHandle;
    }
    Pause(10);
  }
}

bool FB2PACK_SEAM(CreateBeside)(const std::string& folder, const std::string& prefix, unsigned mode, NewFile& file) {
  file = NewFile{InvalidHandle, folder, prefix, {}};
  const mode_t m = static_cast<mode_t>(mode & 0777);
#ifdef O_TMPFILE
  int fd = OpenNoWait(folder.empty() ? "." : folder, O_TMPFILE | O_WRONLY, m);
  if (fd >= 0) {
    TryLock(fd, LOCK_EX);  // held by a live process, once it has a name
    file.Handle = fd;
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
#endif
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string name = folder + TempName(prefix, UniqueNumber() + static_cast<std::uint32_t>(attempt) * 0x9E3779B9u);
    int fd2 = OpenNoWait(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, m);
    if (fd2 >= 0) {
      TryLock(fd2, LOCK_EX);
      file.Handle = fd2;
      file.Name = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

int ModeOf(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

bool CopyIdentity(const std::string& from, FileHandle to, bool whole) {
  struct stat st {};
  if (to == InvalidHandle || ::lstat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (whole) {
    // Owner first: a change of owner clears set-id bits, set again below.
    if (::fchown(Fd(to), st.st_uid, st.st_gid) != 0) (void)!::fchown(Fd(to), static_cast<uid_t>(-1), st.st_gid);
    // Extended attributes, and with them ACLs, as far as they may be set.
    int src = OpenRegular(from, O_RDONLY);
    if (src >= 0) {
      ssize_t n = ::flistxattr(src, nullptr, 0);
      std::vector<char> names(n > 0 ? static_cast<std::size_t>(n) : 0);
      n = names.empty() ? 0 : ::flistxattr(src, names.data(), names.size());
      std::vector<char> value;
      for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
        const char* key = names.data() + at;
        ssize_t len = ::fgetxattr(src, key, nullptr, 0);
        if (len < 0) continue;
        value.resize(static_cast<std::size_t>(len) + 1);
        len = ::fgetxattr(src, key, value.data(), value.size());
        if (len >= 0) (void)::fsetxattr(Fd(to), key, value.data(), static_cast<std::size_t>(len), 0);
      }
      ::close(src);
    }
  }
  return ::fchmod(Fd(to), st.st_mode & 07777) == 0;
}

bool FB2PACK_SEAM(PlaceOver)(NewFile& file, const std::string& target, FileHandle held) {
  if (file.Handle == InvalidHandle) return false;
  if (file.Name.empty()) {
    // An unnamed file gets its name only now, complete and flushed.
    std::string self = "/proc/self/fd/" + std::to_string(file.Handle);
    for (int attempt = 0; attempt < 64 && file.Name.empty(); ++attempt) {
      std::string name = file.Folder + TempName(file.Prefix, UniqueNumber() + static_cast<std::uint32_t>(attempt));
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          ::linkat(Fd(file.Handle), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        file.Name = name;
      } else if (errno != EEXIST) {
        return false;
      }
    }
    if (file.Name.empty()) return false;
  }
  // Hold the target exclusively across the rename: a reader that has it open
  // keeps it, as Windows refuses to replace a file that is open. Opening it
  // for writing also keeps a read-only target as it is, as on Windows.
  int fd = -1;
  if (held != InvalidHandle) {
    if (!TryLock(Fd(held), LOCK_EX)) return false;
  } else {
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode)) {
        fd = OpenNoWait(target, O_WRONLY | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) return false;
        if (!TryLock(fd, LOCK_EX)) {
          ::close(fd);
          return false;
        }
      } else if (!S_ISLNK(st.st_mode)) {
        return false;  // a folder, FIFO or device is in the way
      }
    } else if (errno != ENOENT) {
      return false;
    }
  }
  // Once renamed, the new file is the book a waiting rewrite opens next; held
  // as a book until closed here, it cannot be taken while this side still
  // holds it, which would make that rewrite's own replacement fail.
  (void)TryRewriteLock(Fd(file.Handle));
  bool ok = ::rename(file.Name.c_str(), target.c_str()) == 0;
  if (fd >= 0) ::close(fd);
  if (held != InvalidHandle) ::flock(Fd(held), LOCK_UN);
  if (ok) {
    ::close(Fd(file.Handle));
    file.Handle = InvalidHandle;
    file.Name.clear();
  }
  return ok;
}

void Discard(NewFile& file) {
  if (!file.Name.empty()) ::unlink(file.Name.c_str());
  Close(file.Handle);
  file.Handle = InvalidHandle;
  file.Name.clear();
}

void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> found;
  while (const struct dirent* e = ::readdir(dir)) {
    if (IsTempName(e->d_name, prefix)) found.push_back(folder + e->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : found) {
    // A live writer holds its file locked; only files nobody holds go.
    int fd = OpenNoWait(name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    if (TryLock(fd, LOCK_EX) && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(name.c_str(), &named) == 0 && SameFile(held, named)) {
      ::unlink(name.c_str());
    }
    ::close(fd);
  }
}

bool RegularFileSize(const std::string& name, std::uint64_t& size) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool IsFileOf(FileHandle h, const std::string& name) {
  struct stat held {
  }, named{};
  return h != InvalidHandle && ::fstat(Fd(h), &held) == 0 && ::stat(name.c_str(), &named) == 0 && SameFile(held, named);
}

void Pause(unsigned ms) {
  struct timespec t {};
  t.tv_sec = static_cast<time_t>(ms / 1000);
  t.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

bool FileNamesAreUtf8() { return true; }
bool AnsiToUnicode(const std::string&, std::u32string&) { return false; }
std::string UnicodeToAnsi(char32_t) { return {}; }
bool LongFileName(const std::string&, std::u32string&) { return false; }

std::string FileNameKey(const std::string& name) { return name; }

std::string Utf8FileNameKey(const std::string& name) { return name; }
bool IsDeviceName(const std::string&) { return false; }

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
