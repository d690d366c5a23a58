// Whole files in and out of memory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// The bytes from offset up to, not including, the smaller of limit and the
// file's length; empty when the file cannot be opened or read.
std::string ReadFileText(const std::string& name, std::int32_t offset, std::int32_t limit);

// Creates or truncates the file and writes text into it; failures are silent.
void WriteFileText(const std::string& name, const std::string& text);

enum class tFileStatus {
  Ok,
  OpenFailed,    // missing, locked, a directory, a special file, or no permission
  ReadFailed,    // fewer bytes came than the file holds
  TooLarge,      // 2 GiB or more: it cannot be held as one text
  CreateFailed,  // the new file could not be created
  WriteFailed,   // the new file could not be written or put in place
  Busy,          // another rewrite holds the file and did not end in time
  ReadOnly,      // the file can be read but not replaced
};

// The largest text a file may hold to be read whole.
inline constexpr std::uint64_t kMaxText = 0x7FFFFFFF;

// Reads a whole file, checked: Ok only when every byte arrived.
tFileStatus LoadFile(const std::string& name, std::string& text);
// The same through an open handle, from its first byte.
tFileStatus LoadFile(platform::FileHandle h, std::string& text);
