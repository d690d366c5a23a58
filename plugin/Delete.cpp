#include "plugin/Delete.h"

#include "plugin/Operations.h"
#include "plugin/public/NameList.h"

namespace fb2pack {

int DeleteFrom(tHeldBook& book, const tNameSet& names) {
  std::vector<tRange> kept;
  if (int rc = KeptRanges(book, names, kept); rc != E_SUCCESS) return rc;
  return SaveBook(book, kept, {});
}

int DeleteEntries(const char* packedFile, const char* deleteList) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tHeldBook book(packedFile);
  if (int rc = HoldBook(book); rc != E_SUCCESS) return rc;
  const std::vector<std::string> names = ReadNameList(deleteList);
  return DeleteFrom(book, tNameSet(names.begin(), names.end()));
}

}  // namespace fb2pack
