// Files replaced in one step: a new file written beside its target and then
// put in the target's place, so that readers see the old file or the new one,
// whole. Rewritten books and extracted entries both go this way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "textutil/FileText.h"

// A new file written beside a target and then put in the target's place in
// one step, so that readers see the old file or the new one, whole. Unless
// it was put in place, the new file is removed when this object goes.
class tReplacement {
 public:
  enum tKind {
    // The target name itself is replaced (a link there is replaced, never
    // followed); the permission bits of a file it replaces are kept.
    Extraction,
    // The file the target finally names is rewritten: it is held against
    // every other rewrite from construction on (waiting a few seconds for
    // one that holds it), and keeps its whole identity.
    Rewrite,
  };
  static constexpr unsigned kRewriteWaitMs = 5000;

  tReplacement(const std::string& target, tKind kind);
  ~tReplacement();
  tReplacement(const tReplacement&) = delete;
  tReplacement& operator=(const tReplacement&) = delete;

  // Rewrite: Ok, or why the target cannot be rewritten (OpenFailed, Busy,
  // ReadOnly). Held is the target, open for reading its bytes.
  tFileStatus Opened = tFileStatus::Ok;
  platform::FileHandle Held = platform::InvalidHandle;
  std::string Target;  // the file that is replaced

  // Creates the new file, no more open to others than the file it replaces.
  bool Create();
  platform::FileHandle Handle() const { return New.Handle; }
  // Appends bytes to the new file; false once any write has failed.
  bool Write(const char* bytes, std::size_t n);
  // Appends n bytes of the file from, starting at offset; the same.
  bool Copy(platform::FileHandle from, std::uint64_t offset, std::uint64_t n);
  // Flushes the new file to disk, gives it the target's identity and puts it
  // in the target's place. NotWritten: it could not be written or flushed;
  // NotPlaced: it could not take the target's place. Either way the target
  // is as it was.
  enum tCommit { Committed, NotWritten, NotPlaced };
  tCommit Commit();

 private:
  tKind Kind;
  platform::NewFile New;
  std::uint64_t Written = 0;
  bool Failed = false;
};

// Writes text to a new file beside name and then puts it in name's place,
// keeping name's identity; on any failure name is left as it was and the new
// file is removed.
tFileStatus SaveFileReplacing(const std::string& name, const std::string& text);
// The same for a text given as parts, written one after another, so that an
// edited text need not be joined in memory first.
tFileStatus SaveFileReplacing(const std::string& name, const std::vector<std::string_view>& parts);
