// The only door from the core to the operating system: files (opened without
// blocking, regular ones only), their replacement in one step with the old
// file's identity, the lock that keeps rewrites apart, a thread that writes
// while its caller goes on (WriteBehind.cpp; each side gives the thread),
// file-name encodings and the code page. PlatformWin.cpp makes the Win32
// calls; PlatformPosix.cpp keeps the effects a caller can observe there (read
// sharing that keeps writers out, exclusive writers).
// Nothing here knows of books or of the host interface.
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

// Whether file names follow Windows rules: drive letters, and backslash as
// well as slash between folders.
#ifdef _WIN32
inline constexpr bool kWindowsFileNames = true;
#else
inline constexpr bool kWindowsFileNames = false;
#endif

using FileHandle = std::intptr_t;
inline constexpr FileHandle InvalidHandle = -1;

// Opens an existing regular file for reading. Others may read it meanwhile,
// nobody may write it. A directory or a file a writer holds gives InvalidHandle.
FileHandle OpenRead(const std::string& name);

// Length of an open file; false when it cannot be taken.
bool FileSize(FileHandle h, std::uint64_t& size);

// Reads up to count bytes from offset bytes into the file; the number read,
// 0 on failure. Reads never depend on the file position (which Windows moves
// and a copy of ranges may move too), so a reader needs no seek.
std::size_t ReadAt(FileHandle h, std::uint64_t offset, void* buffer, std::size_t count);
// Writes count bytes at the file position; the number written.
std::size_t Write(FileHandle h, const void* buffer, std::size_t count);

// How CopyRange may copy: as the system allows (in the kernel where it can,
// else through a buffer), or one way only, which tests force.
enum class CopyWay { Any, KernelOnly, BufferOnly };
// Appends count bytes of from, starting at offset, to to at its file
// position, without moving from's; the number copied. Where the system can,
// the bytes go from file to file in the kernel, never through this process.
std::uint64_t CopyRange(FileHandle from, std::uint64_t offset, std::uint64_t count, FileHandle to,
                        CopyWay way = CopyWay::Any);

// Writes on a thread of its own, one buffer at a time, while the caller
// fills the next: a long extraction decodes on one processor while the
// system copies what was decoded on another. The thread starts with the
// first write and ends with the object. (Test builds with the fault seam
// write at Start, on the caller's thread, so that the plan counts calls in
// the order they are made.)
class WriteBehind {
 public:
  WriteBehind();
  ~WriteBehind();  // waits for the write under way
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  // Starts Write(h, buffer, count); the bytes must stay as they are until
  // Wait returns, and only one write is under way at a time (Wait for the
  // last one first). False, and nothing started, when no thread can be had:
  // the caller writes them itself.
  bool Start(FileHandle h, const void* buffer, std::size_t count);
  // Waits for the write started last; what Write returned (0 when none is
  // under way).
  std::size_t Wait();

 private:
  void Make() { written_ = Write(handle_, buffer_, count_); }
  // Each side of the platform layer gives the thread: Launch starts it
  // (false when none can be had), Hand gives it the write to make, Await
  // waits until it is made, Land ends it and frees worker_, which it alone
  // owns.
  bool Launch();
  void Hand();
  void Await();
  void Land();
  struct Worker;
  Worker* worker_ = nullptr;
  FileHandle handle_ = InvalidHandle;
  const void* buffer_ = nullptr;
  std::size_t count_ = 0, written_ = 0;
  bool busy_ = false;
};

// Makes the written bytes durable before a file is put in another's place.
bool Sync(FileHandle h);
// Starts writing count bytes from offset out to the disk without waiting, so
// that a later Sync has less to wait for; a hint, it never fails.
void StartFlush(FileHandle h, std::uint64_t offset, std::uint64_t count);

// Closes a handle; InvalidHandle is accepted and ignored.
void Close(FileHandle h);

// The file a path finally names, every symbolic link on the way followed;
// the path as given when its last part is no link or cannot be resolved.
std::string FinalPath(const std::string& name);

enum class RewriteOpen { Opened, NotAFile, ReadOnly, Busy };
// Opens an existing regular file for a rewrite: its bytes are read through
// the handle, and it is held against every other rewrite (not against
// readers) until the handle is closed. Waits up to waitMs for a rewrite that
// holds it; the handle is always that of the file the name then names.
// ReadOnly: the handle can read the file, which cannot be replaced.
FileHandle OpenForRewrite(const std::string& name, unsigned waitMs, RewriteOpen& result);

// A file being written to take another's place.
struct NewFile {
  FileHandle Handle = InvalidHandle;
  std::string Folder;  // ends in a separator, or is empty for the current folder
  std::string Prefix;  // of its name in that folder
  std::string Name;    // empty while it has none: unnamed until it is placed
};
// Creates the new file in folder, for writing, with the permission bits mode
// (less the process's mask); unnamed where the system allows it, so that a
// crash leaves nothing behind. Names are prefix, eight hex digits, ".tmp".
bool CreateBeside(const std::string& folder, const std::string& prefix, unsigned mode, NewFile& file);
// The permission bits of the regular file that name itself names (a link is
// not followed), or -1 when it names none.
int ModeOf(const std::string& name);
// Gives the new file the permission bits of the file from names; with whole,
// first its owner, group, extended attributes and ACLs where the process may
// set them (their failure is no failure). False when the bits cannot be given.
bool CopyIdentity(const std::string& from, FileHandle to, bool whole);
// Puts the new file in target's place in one step (its handle is closed):
// readers of target see the old file or the new one, never a mix. held is
// the handle of a rewrite's OpenForRewrite, or InvalidHandle, when target
// itself is replaced (a link there is replaced, not followed). Fails and
// changes nothing while a reader holds target, when target is read-only,
// and when it names something other than a regular file or a link.
bool PlaceOver(NewFile& file, const std::string& target, FileHandle held);
// Removes a new file that was not placed, and closes its handle.
void Discard(NewFile& file);
// Removes the files of folder named prefix, eight hex digits, ".tmp" that no
// live process holds: what a killed rewrite left.
void RemoveLeftovers(const std::string& folder, const std::string& prefix);
// Tells whether a file exists, and its size (the regular file a name
// finally names; false for anything else).
bool RegularFileSize(const std::string& name, std::uint64_t& size);

// True when name (its links followed) is the very file h has open, by
// whatever path: a book must not be added to itself.
bool IsFileOf(FileHandle h, const std::string& name);

// Waits about ms milliseconds.
void Pause(unsigned ms);

// File names are UTF-8 here (true), or in the system's ANSI code page.
bool FileNamesAreUtf8();
// A name in the ANSI code page as code points; false when it is not valid
// there. Only where file names are not UTF-8.
bool AnsiToUnicode(const std::string& name, std::u32string& points);
// One character in the ANSI code page; empty when it has none there.
std::string UnicodeToAnsi(char32_t c);
// The name of the file at path as the file system holds it, as code points:
// on Windows its long name, whatever name (a short 8.3 one) path gives it;
// false where names have no second form, or when there is no such file.
bool LongFileName(const std::string& path, std::u32string& name);

// The form in which the file system compares a file name (in the system's
// file-name encoding): on Windows, without case (ordinal, as Windows compares
// file names) and without trailing dots and spaces, which Windows drops; the
// name itself elsewhere. Two names with one key name one file.
std::string FileNameKey(const std::string& name);
// The same for a UTF-8 name (one the system's code page may not spell).
std::string Utf8FileNameKey(const std::string& name);
// True when a file of this name cannot be made in a folder because it names
// a device (Windows: CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any
// extension, in any case); never elsewhere.
bool IsDeviceName(const std::string& name);

// Lower-cases n bytes in place in the system's 8-bit code page.
void LowerCase(char* text, std::size_t n);
// True when c starts a double-byte character in the system code page.
bool IsLeadByte(unsigned char c);

// The base64 decoders' path the environment asks for (FB2PACK_BASE64: portable,
// ssse3, avx2 or avx512vbmi), so that one machine tests each it has; empty
// when none is asked. Only the test build of the plug-in heeds it
// (TestSwitch.cpp); the shipped one never asks.
std::string Base64PathAsked();
// True in the test build of the plug-in alone (TestSwitch.cpp): there a 32-bit
// vector decoder stops the program when its stack is not aligned as its
// vectors need, so that a test can see the realignment work.
bool StackCheckAsked();

// A number that differs between calls and processes; for names of new files.
std::uint32_t UniqueNumber();

}  // namespace platform
