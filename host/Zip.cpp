#include "Zip.h"

#include <unzip.h>
#include <zip.h>

#include <cstdio>
#include <fstream>

#include "Encoding.h"
#include "FileChecks.h"
#include "platform/TempNames.h"
#ifdef _WIN32
#include <iowin32.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

bool IsZipFile(const std::string& path) {
  // Read without standing in the way of a rewrite of the file elsewhere.
  const std::string head = ReadHead(path, 4);
  // A local file header, or the end record of an archive with no member.
  return head == std::string("PK\x03\x04", 4) || head == std::string("PK\x05\x06", 4);
}

bool tZipMember::IsBook() const { return !Folder && EndsWithNoCase(Name, ".fb2"); }

tZipReader::tZipReader(const std::string& path) {
  zlib_filefunc64_def io;
#ifdef _WIN32
  // The host's paths are UTF-8: the archive is opened by its UTF-16 form.
  fill_win32_filefunc64W(&io);
  const std::wstring wide = HostPath(path).wstring();
  zip_ = unzOpen2_64(wide.c_str(), &io);
#else
  fill_fopen64_filefunc(&io);
  zip_ = unzOpen2_64(path.c_str(), &io);
#endif
  if (zip_ == nullptr) {
    problem_ = "not a zip archive, or its central directory is damaged";
    return;
  }
  for (int rc = unzGoToFirstFile(zip_); rc == UNZ_OK; rc = unzGoToNextFile(zip_)) {
    unz_file_info64 info{};
    std::string name;
    bool read = unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK;
    if (read) {
      // Its whole name, bytes after a NUL included: no two members' names may blur into one.
      name.resize(info.size_filename);
      read = unzGetCurrentFileInfo64(zip_, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                                     0) == UNZ_OK;
    }
    if (!read) {
      problem_ = "its central directory is damaged";
      return;
    }
    tZipMember m;
    // Bit 11: the name is UTF-8.
    m.Name = FromZipName(name, (info.flag & 0x800) != 0);
    m.Size = info.uncompressed_size;
    m.Folder = !m.Name.empty() && (m.Name.back() == '/' || m.Name.back() == '\\');
    members_.push_back(std::move(m));
  }
}

tZipReader::~tZipReader() {
  if (zip_ != nullptr) unzClose(zip_);
}

std::vector<std::size_t> tZipReader::Books() const {
  std::vector<std::size_t> books;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (members_[i].IsBook()) books.push_back(i);
  }
  return books;
}

std::string tZipReader::Extract(std::size_t i, const std::string& path) {
  if (zip_ == nullptr || i >= members_.size()) return "no such member";
  if (unzGoToFirstFile(zip_) != UNZ_OK) return "its central directory is damaged";
  for (std::size_t k = 0; k < i; ++k) {
    if (unzGoToNextFile(zip_) != UNZ_OK) return "its central directory is damaged";
  }
  if (unzOpenCurrentFile(zip_) != UNZ_OK) return "its local header is damaged, or it is stored in a way not read here";
  std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
  std::vector<char> buffer(1 << 16);
  std::string why;
  for (;;) {
    const int n = unzReadCurrentFile(zip_, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (n == 0) break;
    if (n < 0) {
      why = n == UNZ_CRCERROR ? "its CRC is wrong" : "its compressed data is damaged";
      break;
    }
    out.write(buffer.data(), n);
  }
  // The CRC is checked when the member is closed, once all of it was read.
  const int closed = unzCloseCurrentFile(zip_);
  if (why.empty() && closed == UNZ_CRCERROR) why = "its CRC is wrong";
  if (why.empty() && closed != UNZ_OK) why = "its compressed data is damaged";
  out.close();
  if (why.empty() && !out) why = "it cannot be written to the temporary folder";
  return why;
}

namespace {

// The functions minizip opens files with: by UTF-16 names on Windows.
void FileFunctions(zlib_filefunc64_def& io) {
#ifdef _WIN32
  fill_win32_filefunc64W(&io);
#else
  fill_fopen64_filefunc(&io);
#endif
}

#ifdef _WIN32
using tNativePath = std::wstring;
tNativePath Native(const std::string& path) { return HostPath(path).wstring(); }
#else
using tNativePath = std::string;
tNativePath Native(const std::string& path) { return path; }
#endif

// Copies the current member of from, as it is stored, into to.
bool CopyStored(unzFile from, zipFile to) {
  unz_file_info64 info{};
  std::vector<char> name(65536), comment(65536);
  if (unzGetCurrentFileInfo64(from, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, comment.data(),
                              static_cast<uLong>(comment.size())) != UNZ_OK) {
    return false;
  }
  std::vector<char> extra(info.size_file_extra);
  if (unzGetCurrentFileInfo64(from, nullptr, nullptr, 0, extra.data(), static_cast<uLong>(extra.size()), nullptr, 0) !=
      UNZ_OK) {
    return false;
  }
  int method = 0, level = 0;
  if (unzOpenCurrentFile2(from, &method, &level, 1) != UNZ_OK) return false;
  std::vector<char> local(static_cast<std::size_t>(
      unzGetLocalExtrafield(from, nullptr, 0) > 0 ? unzGetLocalExtrafield(from, nullptr, 0) : 0));
  if (!local.empty()) unzGetLocalExtrafield(from, local.data(), static_cast<unsigned>(local.size()));
  zip_fileinfo fi{};
  fi.dosDate = info.dosDate;
  fi.internal_fa = info.internal_fa;
  fi.external_fa = info.external_fa;
  const bool big = info.uncompressed_size >= 0xFFFFFFFFu || info.compressed_size >= 0xFFFFFFFFu;
  bool ok = zipOpenNewFileInZip4_64(to, name.data(), &fi, local.data(), static_cast<uInt>(local.size()), extra.data(),
                                    static_cast<uInt>(extra.size()), info.size_file_comment ? comment.data() : nullptr,
                                    method, level, 1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    info.version, info.flag & 0x0800u, big ? 1 : 0) == ZIP_OK;
  std::vector<char> buffer(1 << 16);
  for (int n; ok && (n = unzReadCurrentFile(from, buffer.data(), static_cast<unsigned>(buffer.size()))) != 0;) {
    ok = n > 0 && zipWriteInFileInZip(to, buffer.data(), static_cast<unsigned>(n)) == ZIP_OK;
  }
  ok = unzCloseCurrentFile(from) == UNZ_OK && ok;
  return zipCloseFileInZipRaw64(to, info.uncompressed_size, info.crc) == ZIP_OK && ok;
}

// Writes the current member of from anew, its bytes read from the file at
// path, compressed with deflate.
bool WriteAnew(unzFile from, zipFile to, const std::string& path) {
  unz_file_info64 info{};
  std::vector<char> name(65536), comment(65536);
  if (unzGetCurrentFileInfo64(from, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, comment.data(),
                              static_cast<uLong>(comment.size())) != UNZ_OK) {
    return false;
  }
  std::ifstream in(HostPath(path), std::ios::binary);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(HostPath(path), ec);
  zip_fileinfo fi{};
  fi.dosDate = info.dosDate;
  fi.internal_fa = info.internal_fa;
  fi.external_fa = info.external_fa;
  // The name keeps its flag for UTF-8 (bit 11).
  bool ok = !ec && in &&
            zipOpenNewFileInZip4_64(to, name.data(), &fi, nullptr, 0, nullptr, 0,
                                    info.size_file_comment ? comment.data() : nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    info.version, info.flag & 0x0800u, size >= 0xFFFFFFFFu ? 1 : 0) == ZIP_OK;
  std::vector<char> buffer(1 << 16);
  while (ok && in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<unsigned>(in.gcount());
    if (n > 0) ok = zipWriteInFileInZip(to, buffer.data(), n) == ZIP_OK;
  }
  return zipCloseFileInZip(to) == ZIP_OK && ok && in.eof();
}

// Flushes the file at path to the disk.
bool Flush(const std::string& path) {
#ifdef _WIN32
  HANDLE h = CreateFileW(HostPath(path).wstring().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = FlushFileBuffers(h) != 0;
  CloseHandle(h);
  return ok;
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
#endif
}

// Puts the file at from in the place of the one at to, in one step.
bool PutInPlace(const std::string& from, const std::string& to) {
#ifdef _WIN32
  // ReplaceFile takes the place of a file this program holds open, as a move
  // cannot, and keeps its attributes; full paths, as some implementations
  // need them for a file of their own beside it.
  std::error_code ec;
  const std::wstring target = std::filesystem::absolute(HostPath(to), ec).wstring();
  const std::wstring made = std::filesystem::absolute(HostPath(from), ec).wstring();
  return !ec && ReplaceFileW(target.c_str(), made.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
#else
  return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

std::string RewriteMember(const std::string& archive, std::size_t i, const std::string& from) {
  zlib_filefunc64_def io;
  FileFunctions(io);
  const tNativePath in = Native(archive);
  unzFile old = unzOpen2_64(in.c_str(), &io);
  if (old == nullptr) return "the zip archive cannot be read";
  std::vector<char> comment(65536);
  const int commentLength = unzGetGlobalComment(old, comment.data(), static_cast<uLong>(comment.size()));
  // Beside the archive, under a name of the pattern rewrites use.
  const std::size_t cut = archive.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? std::string() : archive.substr(0, cut + 1);
  const std::string prefix = ".~" + archive.substr(cut == std::string::npos ? 0 : cut + 1) + ".";
  const std::string temp = folder + platform::TempName(prefix, static_cast<std::uint32_t>(std::random_device()()));
  const tNativePath out = Native(temp);
  zipFile made = zipOpen2_64(out.c_str(), APPEND_STATUS_CREATE, nullptr, &io);
  bool ok = made != nullptr;
  std::size_t k = 0;
  for (int rc = unzGoToFirstFile(old); ok && rc == UNZ_OK; rc = unzGoToNextFile(old), ++k) {
    ok = k == i ? WriteAnew(old, made, from) : CopyStored(old, made);
  }
  unzClose(old);
  if (made != nullptr) {
    ok = zipClose(made, commentLength > 0 ? std::string(comment.data(), static_cast<std::size_t>(commentLength)).c_str()
                                          : nullptr) == ZIP_OK &&
         ok;
  }
  ok = ok && k > i && Flush(temp) && PutInPlace(temp, archive);
  if (!ok) {
    std::error_code ec;
    std::filesystem::remove(HostPath(temp), ec);
    return "the zip archive could not be written anew beside it";
  }
  return {};
}

tArchiveHold::tArchiveHold(const std::string& path) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
#ifdef _WIN32
  HANDLE h = CreateFileW(HostPath(path).wstring().c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  handle_ = h;
  for (;;) {
    // A byte far past the end of any archive, which no reader reads.
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      held_ = true;
      return;
    }
    if (std::chrono::steady_clock::now() >= until) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
#else
  for (;;) {
    if (fd_ < 0) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      // Held, unless another edit put a new archive in its place meanwhile:
      // then the new one is held.
      struct stat held {
      }, named{};
      if (::fstat(fd_, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        held_ = true;
        return;
      }
      ::close(fd_);
      fd_ = -1;
      continue;
    }
    if (std::chrono::steady_clock::now() >= until) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
#endif
}

tArchiveHold::~tArchiveHold() {
#ifdef _WIN32
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
#else
  if (fd_ >= 0) ::close(fd_);
#endif
}
