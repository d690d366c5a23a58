// The signals that end the program, held back while the host has files of
// its own to remove.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

// Holds back the signals that end the program (interrupt, terminate, hang-up)
// for as long as it lives, so that a walk can end between entries and leave
// nothing behind: Arrived() tells when one came; it is delivered when this
// object goes. Nothing is held on Windows.
class tSignalsHeld {
 public:
  tSignalsHeld();
  ~tSignalsHeld();
  tSignalsHeld(const tSignalsHeld&) = delete;
  tSignalsHeld& operator=(const tSignalsHeld&) = delete;
  bool Arrived() const;

 private:
  bool held_ = false;
#ifndef _WIN32
  sigset_t old_;  // the mask before
#endif
};
