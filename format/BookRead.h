// A book opened for reading: its reader, and the encoding that its first
// window declares, by which its ids are read. Every walk over a book opens
// it this way.
#pragma once

#include <string>

#include "reader/DiskRead.h"
#include "textutil/Charset.h"

class tBookRead : public tDiskRead {
 public:
  explicit tBookRead(const std::string& path) : tDiskRead(path), Charset(Declared()) {}
  // Through a handle that stays its owner's, as tDiskRead's.
  tBookRead(platform::FileHandle borrowed, const std::string& path) : tDiskRead(borrowed, path), Charset(Declared()) {}

  const tCharset Charset;

 private:
  tCharset Declared() const { return DeclaredCharset(reinterpret_cast<const char*>(Window.get()), WindowLength); }
};
