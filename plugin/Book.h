// The archive handle that the host holds between calls: the book's reader,
// the encoding the book declares, read from its first window, the names
// given so far, and what the entry last read needs for its extraction.
#pragma once

#include <string>

#include "format/EntryName.h"
#include "reader/SeqRead.h"
#include "textutil/Charset.h"

class tBook final : public tDiskRead {
 public:
  explicit tBook(const std::string& name)
      : tDiskRead(name), Charset(DeclaredCharset(reinterpret_cast<const char*>(Window), WindowLength)) {}
  tCharset Charset;
  tEntryNames Names;
  bool EntryClosesItself = false;  // the start tag of the entry last read ends with "/"
};
