// A private folder for files the host extracts to read them itself,
// removed with all in it when the object goes.
#pragma once

#include <string>

class tScratchFolder {
 public:
  tScratchFolder();
  ~tScratchFolder();
  tScratchFolder(const tScratchFolder&) = delete;
  tScratchFolder& operator=(const tScratchFolder&) = delete;
  bool Made() const { return !path_.empty(); }
  // The folder it was made in, to name it.
  std::string Base() const;
  // The folder with a trailing separator.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
