// The ten functions the host calls. Nothing thrown inside may reach the host:
// every failure leaves here as a result code.
#include <new>

#include "plugin/Guarded.h"
#include "plugin/Operations.h"

using namespace fb2pack;

extern "C" {

ArchiveHandle WCX_API OpenArchive(tOpenArchiveData* ArchiveData) {
  if (ArchiveData == nullptr) return nullptr;
  try {
    return OpenBook(*ArchiveData);
  } catch (const std::bad_alloc&) {
    ArchiveData->OpenResult = E_NO_MEMORY;
  } catch (...) {
    ArchiveData->OpenResult = E_BAD_DATA;
  }
  return nullptr;
}

int WCX_API ReadHeader(ArchiveHandle hArcData, tHeaderData* HeaderData) {
  if (hArcData == nullptr || HeaderData == nullptr) return E_NOT_SUPPORTED;
  return Guarded([&] { return ReadNextHeader(*static_cast<tBook*>(hArcData), *HeaderData); });
}

int WCX_API ProcessFile(ArchiveHandle hArcData, int Operation, char* DestPath, char* DestName) {
  if (hArcData == nullptr) return E_NOT_SUPPORTED;
  return Guarded([&] { return ProcessEntry(*static_cast<tBook*>(hArcData), Operation, DestPath, DestName); });
}

int WCX_API CloseArchive(ArchiveHandle hArcData) {
  delete static_cast<tBook*>(hArcData);
  return E_SUCCESS;
}

int WCX_API PackFiles(char* PackedFile, char* /*SubPath*/, char* SrcPath, char* AddList, int Flags) {
  return Guarded([&] { return PackEntries(PackedFile, SrcPath, AddList, Flags); });
}

int WCX_API DeleteFiles(char* PackedFile, char* DeleteList) {
  return Guarded([&] { return DeleteEntries(PackedFile, DeleteList); });
}

int WCX_API GetPackerCaps() { return kPackerCaps; }

void WCX_API SetChangeVolProc(ArchiveHandle, tChangeVolProc) {}

void WCX_API SetProcessDataProc(ArchiveHandle, tProcessDataProc) {}

int WCX_API CanYouHandleThisFile(char* FileName) {
  try {
    return IsBook(FileName) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
