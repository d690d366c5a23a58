// The plug-in's operations behind the exports. Exports.cpp is the only
// caller: it keeps exceptions and null handles from crossing to the host.
#pragma once

#include "plugin/Book.h"
#include "plugin/public/iwcxhead.h"

namespace fb2pack {

tBook* OpenBook(tOpenArchiveData& data);
bool IsBook(const char* fileName);
int ReadNextHeader(tBook& book, tHeaderData& header);
int ProcessEntry(tBook& book, int operation, const char* destPath, const char* destName);
int DeleteEntries(const char* packedFile, const char* deleteList);
int PackEntries(const char* packedFile, const char* srcPath, const char* addList, int flags);

}  // namespace fb2pack
