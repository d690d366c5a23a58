#include <memory>
#include <string>

#include "format/BookFormat.h"
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
  char head[kHeadSize];
  std::size_t got = platform::ReadAt(h, 0, head, sizeof head);
  platform::Close(h);
  return HeadIsBook(std::string_view(head, got));
}

}  // namespace fb2pack
