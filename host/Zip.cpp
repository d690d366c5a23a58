#include "Zip.h"

#include <unzip.h>

#include <cstdio>
#include <fstream>

#include "Encoding.h"
#ifdef _WIN32
#include <iowin32.h>
#endif

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& end) {
  if (s.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    char c = s[s.size() - end.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != end[i]) return false;
  }
  return true;
}

}  // namespace

bool IsZipFile(const std::string& path) {
  std::ifstream f(HostPath(path), std::ios::binary);
  char head[4] = {};
  f.read(head, sizeof head);
  // A local file header, or the end record of an archive with no member.
  return f.gcount() == 4 && head[0] == 'P' && head[1] == 'K' &&
         ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
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
    char name[4096];
    if (unzGetCurrentFileInfo64(zip_, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
      problem_ = "its central directory is damaged";
      return;
    }
    tZipMember m;
    m.Name = name;
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
