// Messages to the user, and the looking at files that names their causes:
// the plug-in's result codes cannot say which of several causes it met, so
// the host looks at the files itself, before and after a call.
#pragma once

#include <cstdint>
#include <string>

// How messages are told: result-code names (E_EREAD) only when verbose.
struct tTell {
  bool Verbose = false;
  // "fb2pack: why" on standard error; gives 1, the failure exit status.
  int Fail(const std::string& why, int code = 0) const;
  // "fb2pack: why" on standard error, nothing more.
  void Warn(const std::string& why) const;
};

// "fb2pack: why" and a pointer to help on standard error; gives 2.
int Usage(const std::string& why);

// The name of a result code, as the host interface names it.
std::string CodeName(int code);

// Splits a path after its last separator: the folder (with the separator,
// or empty) and the file name.
std::pair<std::string, std::string> SplitPath(const std::string& path);

// What stands in the way of using path as an existing file; empty when the
// host sees nothing wrong.
std::string FileProblem(const std::string& path, bool forWriting);
// Why nothing could be created in folder for bytes more bytes; empty when
// the host sees nothing wrong.
std::string FolderProblem(const std::string& folder, std::uintmax_t bytes);
// True when the disk that holds folder is full, or as good as full: what a
// failed write there most likely met.
bool DiskFull(const std::string& folder);
// Why the plug-in found nothing in a file it does not take for a book: what
// the file is instead ("a zip archive ..."); empty when it cannot tell.
std::string WhatItIsInstead(const std::string& path);

// Says why adding to or deleting from a book failed; the book is unchanged.
int RewriteFailed(const tTell& tell, const std::string& book, int rc, std::uintmax_t added = 0);
// Says why an entry could not be extracted to dest.
int ExtractFailed(const tTell& tell, const std::string& book, const std::string& name, const std::string& dest, int rc);

std::uintmax_t SizeOf(const std::string& path);
