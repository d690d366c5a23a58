// Zip archives as libraries keep books: one book to an archive (.fb2.zip,
// .fbz), or a collection of many. Read with minizip; a member's bytes are
// checked against its CRC as they are read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when the file starts as a zip archive does.
bool IsZipFile(const std::string& path);

struct tZipMember {
  std::string Name;  // as the host shows it (FromZipName)
  std::uint64_t Size = 0;
  bool Folder = false;
  bool IsBook() const;  // named *.fb2
};

// Writes the archive anew with member i's bytes taken from the file at from:
// every other member copied as it is stored, the archive's comment and the
// member's name, time, attributes and extra fields kept, the member
// compressed again. Written beside the archive, flushed, and put in its
// place in one step. Empty when done, else why not (the archive unchanged).
std::string RewriteMember(const std::string& archive, std::size_t i, const std::string& from);

// Holds a zip archive against every other edit of it through fb2pack, for as
// long as it lives; waits up to 5 s for one under way.
class tArchiveHold {
 public:
  explicit tArchiveHold(const std::string& path);
  ~tArchiveHold();
  tArchiveHold(const tArchiveHold&) = delete;
  tArchiveHold& operator=(const tArchiveHold&) = delete;
  bool Held() const { return held_; }

 private:
  bool held_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// An archive open for reading, closed when it goes.
class tZipReader {
 public:
  explicit tZipReader(const std::string& path);
  ~tZipReader();
  tZipReader(const tZipReader&) = delete;
  tZipReader& operator=(const tZipReader&) = delete;
  // Empty when it was read; else why not ("not a zip archive", "its central
  // directory is damaged").
  const std::string& Problem() const { return problem_; }
  const std::vector<tZipMember>& Members() const { return members_; }
  // The members that are books, by their place in Members().
  std::vector<std::size_t> Books() const;
  // Writes member i to the file at path (the host's); empty when its bytes
  // came out whole, else what is wrong with them ("its CRC is wrong").
  std::string Extract(std::size_t i, const std::string& path);

 private:
  void* zip_ = nullptr;
  std::string problem_;
  std::vector<tZipMember> members_;
};
