// The archive handle that the host holds between calls: the book's reader,
// the encoding the book declares, read from its first window, the names
// given so far, what the entry last read needs for its extraction, and the
// buffers and thread extraction writes through.
#pragma once

#include <string>

#include "CharHandlers/CharHandlers.h"
#include "format/BookRead.h"
#include "format/EntryName.h"

class tBook final : public tBookRead {
 public:
  explicit tBook(const std::string& name) : tBookRead(name) {}
  tEntryNames Names;
  bool EntryClosesItself = false;  // the start tag of the entry last read ends with "/"
  tWriteBuffers Writes;            // what extracting its entries reuses
};
