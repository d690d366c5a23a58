// Declarations of the packer plug-in interface that file managers use to
// drive fb2pack: the records they hand over, the result codes, operation
// codes, flags and capability bits. Only the offsets asserted after the
// records are relied on; the other fields are declared so the records have
// the host's size.
#pragma once

#include <cstddef>

#if defined(_WIN32)
#define WCX_API __stdcall
#define WCX_EXPORT __declspec(dllexport)
#else
#define WCX_API
#define WCX_EXPORT __attribute__((visibility("default")))
#endif

// Result codes.
enum : int {
  E_SUCCESS = 0,
  E_END_ARCHIVE = 10,
  E_NO_MEMORY = 11,
  E_BAD_DATA = 12,
  E_BAD_ARCHIVE = 13,
  E_UNKNOWN_FORMAT = 14,
  E_EOPEN = 15,
  E_ECREATE = 16,
  E_ECLOSE = 17,
  E_EREAD = 18,
  E_EWRITE = 19,
  E_SMALL_BUF = 20,
  E_EABORTED = 21,
  E_NO_FILES = 22,
  E_TOO_MANY_FILES = 23,
  E_NOT_SUPPORTED = 24,
};

// Open modes (not read by the plug-in).
enum : int { PK_OM_LIST = 0, PK_OM_EXTRACT = 1 };

// ProcessFile operations.
enum : int { PK_SKIP = 0, PK_TEST = 1, PK_EXTRACT = 2 };

// PackFiles flags.
enum : int { PK_PACK_MOVE_FILES = 1, PK_PACK_SAVE_PATHS = 2 };

// Capability bits.
enum : int {
  PK_CAPS_NEW = 1,
  PK_CAPS_MODIFY = 2,
  PK_CAPS_MULTIPLE = 4,
  PK_CAPS_DELETE = 8,
  PK_CAPS_OPTIONS = 16,
  PK_CAPS_MEMPACK = 32,
  PK_CAPS_BY_CONTENT = 64,
  PK_CAPS_SEARCHTEXT = 128,
  PK_CAPS_HIDE = 256,
};

inline constexpr int kPackerCaps =
    PK_CAPS_NEW | PK_CAPS_MODIFY | PK_CAPS_MULTIPLE | PK_CAPS_DELETE | PK_CAPS_BY_CONTENT | PK_CAPS_HIDE;
static_assert(kPackerCaps == 335);

inline constexpr std::size_t kHeaderNameSize = 260;

struct tOpenArchiveData {
  char* ArcName;
  int OpenMode;
  int OpenResult;
  char* CmtBuf;
  int CmtBufSize;
  int CmtSize;
  int CmtState;
};

struct tHeaderData {
  char ArcName[kHeaderNameSize];
  char FileName[kHeaderNameSize];
  int Flags;
  int PackSize;
  int UnpSize;
  int HostOS;
  int FileCRC;
  int FileTime;
  int UnpVer;
  int Method;
  int FileAttr;
  char* CmtBuf;
  int CmtBufSize;
  int CmtSize;
  int CmtState;
};

// Both host callbacks share this shape; the plug-in never calls them.
using tChangeVolProc = int(WCX_API*)(char* name, int size);
using tProcessDataProc = int(WCX_API*)(char* name, int size);

using ArchiveHandle = void*;

static_assert(offsetof(tHeaderData, ArcName) == 0);
static_assert(offsetof(tHeaderData, FileName) == 260);
static_assert(offsetof(tOpenArchiveData, ArcName) == 0);
static_assert(offsetof(tOpenArchiveData, OpenResult) == (sizeof(void*) == 4 ? 8 : 12));

// The ten exports as a host sees them through the export table.
using tOpenArchiveFn = ArchiveHandle(WCX_API*)(tOpenArchiveData*);
using tReadHeaderFn = int(WCX_API*)(ArchiveHandle, tHeaderData*);
using tProcessFileFn = int(WCX_API*)(ArchiveHandle, int, char*, char*);
using tCloseArchiveFn = int(WCX_API*)(ArchiveHandle);
using tPackFilesFn = int(WCX_API*)(char*, char*, char*, char*, int);
using tDeleteFilesFn = int(WCX_API*)(char*, char*);
using tGetPackerCapsFn = int(WCX_API*)();
using tSetChangeVolProcFn = void(WCX_API*)(ArchiveHandle, tChangeVolProc);
using tSetProcessDataProcFn = void(WCX_API*)(ArchiveHandle, tProcessDataProc);
using tCanYouHandleThisFileFn = int(WCX_API*)(char*);

#ifdef FB2PACK_BUILDING_PLUGIN
// The ten exports, under their plain names.
extern "C" {
WCX_EXPORT ArchiveHandle WCX_API OpenArchive(tOpenArchiveData* ArchiveData);
WCX_EXPORT int WCX_API ReadHeader(ArchiveHandle hArcData, tHeaderData* HeaderData);
WCX_EXPORT int WCX_API ProcessFile(ArchiveHandle hArcData, int Operation, char* DestPath, char* DestName);
WCX_EXPORT int WCX_API CloseArchive(ArchiveHandle hArcData);
WCX_EXPORT int WCX_API PackFiles(char* PackedFile, char* SubPath, char* SrcPath, char* AddList, int Flags);
WCX_EXPORT int WCX_API DeleteFiles(char* PackedFile, char* DeleteList);
WCX_EXPORT int WCX_API GetPackerCaps();
WCX_EXPORT void WCX_API SetChangeVolProc(ArchiveHandle hArcData, tChangeVolProc pChangeVolProc);
WCX_EXPORT void WCX_API SetProcessDataProc(ArchiveHandle hArcData, tProcessDataProc pProcessDataProc);
WCX_EXPORT int WCX_API CanYouHandleThisFile(char* FileName);
}
#endif
