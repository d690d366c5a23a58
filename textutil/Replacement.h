// Files replaced in one step: a new file written beside its target and then
// put in the target's place, so that readers see the old file or the new one,
// whole. Rewritten books and extracted entries both go this way.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

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

  // Rewrite: Ok, or why the target cannot be rewritten. Held is the target,
  // open for reading its bytes (also when it is ReadOnly).
  enum class tOpened { Ok, ReadOnly, Busy, NotAFile };
  tOpened Opened = tOpened::Ok;
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
