#include <cstring>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "plugin/Operations.h"

namespace fb2pack {

tBook* OpenBook(tOpenArchiveData& data) {
  auto book = std::make_unique<tBook>(data.ArcName ? std::string(data.ArcName) : std::string());
  if (book->Size == 0) {
    data.OpenResult = E_BAD_DATA;
    return nullptr;
  }
  return book.release();
}

bool IsBook(const char* fileName) {
  if (fileName == nullptr) return false;
  platform::FileHandle h = platform::OpenRead(fileName);
  if (h == platform::InvalidHandle) return false;
  char head[1024];
  std::size_t got = platform::Read(h, head, sizeof head);
  platform::Close(h);
  // The root tag with or without attributes: "<FictionBook" followed by ">"
  // or a blank, all of it within the first 1024 bytes.
  static const char kRoot[] = "<FictionBook";
  const std::size_t n = sizeof kRoot - 1;
  for (std::size_t i = 0; i + n < got; ++i) {
    if (std::memcmp(head + i, kRoot, n) != 0) continue;
    char after = head[i + n];
    if (after == '>' || after == ' ' || after == '\t' || after == '\r' || after == '\n') return true;
  }
  return false;
}

}  // namespace fb2pack
