// Why an operation failed, told to the user: the plug-in's result codes
// cannot say which of several causes it met, so the host looks at the files
// itself (FileChecks.h) after the call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PluginLoader.h"
#include "Tell.h"

// Says why adding to or deleting from a book failed; the book is unchanged.
int RewriteFailed(const PluginLoader& plugin, const tTell& tell, const std::string& book, int rc,
                  std::uintmax_t added = 0);
// Says why adding files failed: a file's own trouble when the host sees one.
int AddFailed(const PluginLoader& plugin, const tTell& tell, const std::string& book,
              const std::vector<std::string>& files, int rc);
// Says why an entry (shown: its name as the host shows it) could not be
// extracted to dest.
int ExtractFailed(const tTell& tell, const std::string& book, const std::string& shown, const std::string& dest,
                  int rc);

// Says why a book could not be opened; gives 1.
int OpenFailed(const tTell& tell, const std::string& shown, const std::string& file, int rc);
