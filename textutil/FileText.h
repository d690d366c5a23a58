// Whole files read into memory: the files added to a book.
#pragma once

#include <cstdint>
#include <string>

enum class tLoad {
  Ok,
  OpenFailed,  // missing, locked, a directory, a special file, or no permission
  ReadFailed,  // fewer bytes came than the file holds
  TooLarge,    // more than the caller's limit
};

// Reads a whole file of at most maxSize bytes, checked: Ok only when every
// byte arrived; text is empty unless Ok.
tLoad LoadFile(const std::string& name, std::uint64_t maxSize, std::string& text);
