// The only door from the core to the operating system. The Windows side makes
// the Win32 calls with the access, sharing and disposition values the plug-in
// has always used; the POSIX side keeps the effects a caller can observe
// (read sharing that keeps writers out, exclusive writers, no truncation on
// an appending open).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Test builds route a few calls through a fault-injection seam; in the
// shipped plug-in the names below are the real calls.
#ifdef FB2PACK_FAULTS
#define FB2PACK_SEAM(name) Real##name
#else
#define FB2PACK_SEAM(name) name
#endif

namespace platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle InvalidHandle = -1;

// Opens an existing regular file for reading. Others may read it meanwhile,
// nobody may write it. A directory or a file a writer holds gives InvalidHandle.
FileHandle OpenRead(const std::string& name);

// Length of an open file (the reader's query); false when it cannot be taken.
bool FileInfoSize(FileHandle h, std::uint64_t& size);
// Length of an open file (the whole-file reader's query).
bool FileSize(FileHandle h, std::uint64_t& size);

// Places the file position at pos bytes from the start.
bool SeekTo(FileHandle h, std::uint64_t pos);
// Places the file position at the end of the file.
bool SeekEnd(FileHandle h);

// Reads up to count bytes at the file position; the number read, 0 on failure.
std::size_t Read(FileHandle h, void* buffer, std::size_t count);
// Writes count bytes at the file position; the number written.
std::size_t Write(FileHandle h, const void* buffer, std::size_t count);

// Makes the written bytes durable before a file is put in another's place.
bool Sync(FileHandle h);
// Starts writing count bytes from offset out to the disk without waiting, so
// that a later Sync has less to wait for; a hint, it never fails.
void StartFlush(FileHandle h, std::uint64_t offset, std::uint64_t count);

// Closes a handle; InvalidHandle is accepted and ignored.
void Close(FileHandle h);

// Opens or creates a file for writing without truncating it and without
// sharing it while it is open; the position is left at the start.
FileHandle OpenAlways(const std::string& name);
// Creates a file or truncates an existing one, for writing with read sharing.
FileHandle CreateAlways(const std::string& name);
// Creates a file that must not exist yet, for writing, without sharing.
FileHandle CreateNew(const std::string& name);

// Puts the file from over the file to, in one step: readers of to see the
// old file or the new one, never a mix. Fails (and changes nothing) while
// another handle holds to open, as a reader or a writer.
bool MoveOver(const std::string& from, const std::string& to);
// Removes a file; false when it cannot.
bool RemoveFile(const std::string& name);
// Gives to the permission bits of from; false when they cannot be copied.
bool CopyPermissions(const std::string& from, const std::string& to);

// Lower-cases n bytes in place in the system's 8-bit code page.
void LowerCase(char* text, std::size_t n);
// True when c starts a double-byte character in the system code page.
bool IsLeadByte(unsigned char c);

// A number that differs between calls and processes; for names of new files.
std::uint32_t UniqueNumber();

}  // namespace platform
