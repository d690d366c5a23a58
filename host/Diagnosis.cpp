#include "Diagnosis.h"

#include <filesystem>
#include <system_error>

#include "Encoding.h"
#include "FileChecks.h"
#include "iwcxhead.h"
#include "textutil/Utf8.h"

namespace fs = std::filesystem;

int RewriteFailed(const PluginLoader& plugin, const tTell& tell, const std::string& book, int rc,
                  std::uintmax_t added) {
  const std::string unchanged = "; the book is unchanged";
  const tFb2Api* api = plugin.BookApi;
  std::string why;
  switch (rc) {
    case E_UNKNOWN_FORMAT:
      why = FileProblem(book, false);
      if (why.empty()) {
        why = WhatItIsInstead(book);
        const std::string head = api ? ReadHead(book, api->RootTagWithin()) : std::string();
        if (why.empty() && api && api->IsBookHead(head.data(), head.size())) {
          // Its head is a book's: the rest is missing, as test says.
          why = "it is cut short: it ends before its </FictionBook> end tag (fb2pack test tells more)";
        } else if (why.empty()) {
          why = "not an FB2 book: no <FictionBook root tag in its first " +
                (api ? std::to_string(api->RootTagWithin()) + " bytes" : std::string("bytes")) +
                ", or no </FictionBook end tag";
        } else {
          why = "not an FB2 book: " + why;
        }
      }
      return tell.Fail(book + ": " + why + unchanged, rc);
    case E_EREAD:
      why = FileProblem(book, false);
      return tell.Fail(book + ": " + (why.empty() ? "it could not be read whole" : why) + unchanged, rc);
    case E_ECREATE:
      why = FolderProblem(SplitPath(book).first, SizeOf(book) + added);
      return tell.Fail(book + ": cannot create the new book beside it" + (why.empty() ? "" : ": " + why) + unchanged,
                       rc);
    case E_EWRITE:
      why = FileProblem(book, true);
      if (why.empty()) why = FolderProblem(SplitPath(book).first, SizeOf(book) + added);
      if (why.empty()) why = "it is open in another program (a listing or a viewer), or the disk failed";
      return tell.Fail(book + ": cannot write the new book or put it in its place: " + why + unchanged, rc);
    case E_EOPEN:
      return tell.Fail(book + ": another program is changing the book and did not finish in time" + unchanged, rc);
    case E_NO_MEMORY:
      return tell.Fail(book + ": the book would grow past what can be opened again" +
                           (api ? " (" + std::to_string((api->MaxBookSize() + 1) >> 30) + " GiB)" : std::string()) +
                           unchanged,
                       rc);
    case E_BAD_ARCHIVE: return tell.Fail(book + ": an entry to remove has no end tag of its own" + unchanged, rc);
    case E_NOT_SUPPORTED: return tell.Fail(book + ": the plug-in does not support this" + unchanged, rc);
    default: return tell.Fail(book + ": the plug-in failed" + unchanged, rc);
  }
}

int AddFailed(const PluginLoader& plugin, const tTell& tell, const std::string& book,
              const std::vector<std::string>& files, int rc) {
  std::uintmax_t added = 0;  // the most the book grows by
  for (const std::string& file : files) {
    if (plugin.BookApi) added += plugin.BookApi->AddedElementSize(SplitPath(file).second.size(), SizeOf(file));
  }
  if (rc == E_EREAD) {
    for (const std::string& file : files) {
      std::string why = FileProblem(file, false);
      const std::string name = SplitPath(file).second;
      if (why.empty() && !kWindowsHost && !IsUtf8(name)) {
        why = "its name is not valid UTF-8, so the book could not name it faithfully (rename the file)";
      }
      if (!why.empty()) return tell.Fail(file + ": " + why + "; the book is unchanged", rc);
    }
  }
  return RewriteFailed(plugin, tell, book, rc, added);
}

int ExtractFailed(const tTell& tell, const std::string& book, const std::string& shown, const std::string& dest,
                  int rc) {
  if (rc == E_BAD_ARCHIVE) {
    return tell.Fail(book + ": " + shown + ": the book ends inside this entry (it was cut short); what could be read" +
                         " was written to " + dest,
                     rc);
  }
  if (rc == E_BAD_DATA) {
    return tell.Fail(book + ": " + shown +
                         ": this entry is damaged (bytes that are not base64, symbols after its end, or a tag"
                         " inside it); what could be decoded was written to " +
                         dest,
                     rc);
  }
  std::string why;
#ifdef _WIN32
  if (HostPath(dest).wstring().size() > 259) why = "the path is longer than Windows allows (259)";
#else
  if (shown.size() > 255) why = "the name is longer than the file system allows (255 bytes)";
#endif
  std::error_code ec;
  const fs::file_status there = fs::symlink_status(HostPath(dest), ec);
  if (why.empty() && fs::exists(there) && !fs::is_regular_file(there) && !fs::is_symlink(there)) {
    why = "a folder or another non-file is in the way";
  }
  if (why.empty() && fs::is_regular_file(there) && !Writable(dest)) why = "the file there is read-only";
  if (why.empty()) why = FolderProblem(SplitPath(dest).first, 0);
  if (why.empty() && DiskFull(SplitPath(dest).first)) why = "the disk is full";
  if (why.empty()) why = rc == E_EWRITE ? "it could not be written whole" : "it could not be created";
  return tell.Fail(dest + ": " + why, rc);
}

int OpenFailed(const tTell& tell, const std::string& shown, const std::string& file, int rc) {
  std::string why = FileProblem(file, false);
  if (why.empty()) {
    std::error_code ec;
    why = fs::file_size(HostPath(file), ec) == 0 && !ec ? "it is empty" : "the plug-in cannot open it";
  }
  return tell.Fail(shown + ": " + why, rc ? rc : E_BAD_DATA);
}
