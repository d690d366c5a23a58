// Whole files in and out of memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The bytes from offset up to, not including, the smaller of limit and the
// file's length; empty when the file cannot be opened or read.
std::string ReadFileText(const std::string& name, std::int32_t offset, std::int32_t limit);

// Creates or truncates the file and writes text into it; failures are silent.
void WriteFileText(const std::string& name, const std::string& text);

enum class tFileStatus {
  Ok,
  OpenFailed,    // missing, locked, a directory, or no permission
  ReadFailed,    // fewer bytes came than the file holds
  TooLarge,      // 2 GiB or more: it cannot be held as one text
  CreateFailed,  // the new file could not be created
  WriteFailed,   // the new file could not be written or put in place
};

// Reads a whole file, checked: Ok only when every byte arrived.
tFileStatus LoadFile(const std::string& name, std::string& text);

// Writes text to a new file beside name and then puts it in name's place,
// keeping name's permission bits; on any failure name is left as it was and
// the new file is removed.
tFileStatus SaveFileReplacing(const std::string& name, const std::string& text);
// The same for a text given as parts, written one after another, so that an
// edited text need not be joined in memory first.
tFileStatus SaveFileReplacing(const std::string& name, const std::vector<std::string_view>& parts);

// Creates a new, empty file in the folder of target, under a name no other
// file has; its name is returned in created. InvalidHandle when none can be made.
std::intptr_t CreateSibling(const std::string& target, std::string& created);
