// The host's own look at files and folders, which names the causes the
// plug-in's result codes cannot tell apart. A folder given as "" is the
// current one.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "textutil/PathRules.h"

// The host's paths follow its system's rules, as the plug-in's do.
inline constexpr bool kWindowsHost = platform::kWindowsFileNames;
inline constexpr char kPathSeparator = SystemPathRules().Separator;
constexpr bool IsPathSeparator(char c) { return IsSeparator(c); }

// True when name ends with end, letters compared without case (".FB2.ZIP").
bool EndsWithNoCase(const std::string& name, const std::string& end);

// Splits a path after its last separator, as the plug-in cuts names: the
// folder (with the separator, or empty) and the file name.
std::pair<std::string, std::string> SplitPath(const std::string& path);

// The first bytes of a file, at most limit; what can be read. The file is
// opened without standing in the way of a rewrite of it elsewhere.
std::string ReadHead(const std::string& path, std::size_t limit);

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

// True when the process may write path.
bool Writable(const std::string& path);

std::uintmax_t SizeOf(const std::string& path);
