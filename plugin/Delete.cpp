// Deleting entries: the book copied without their elements (each with its
// line, where it stands alone on one).
#include "format/BookFormat.h"
#include "plugin/Operations.h"
#include "plugin/Rewrite.h"
#include "plugin/public/NameList.h"

namespace fb2pack {

int DeleteEntries(const char* packedFile, const char* deleteList) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tHeldBook book(packedFile);
  if (int rc = HoldBook(book); rc != E_SUCCESS) return rc;
  std::vector<std::string> names = ReadNameList(deleteList);
  std::vector<tRange> kept;
  if (int rc = KeptRanges(book, tNameSet(names.begin(), names.end()), kept); rc != E_SUCCESS) return rc;
  return SaveBook(book, kept, {});
}

}  // namespace fb2pack
