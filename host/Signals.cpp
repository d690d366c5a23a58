#include "Signals.h"

#include <initializer_list>

#ifdef _WIN32
tSignalsHeld::tSignalsHeld() = default;
tSignalsHeld::~tSignalsHeld() = default;
bool tSignalsHeld::Arrived() const { return false; }
#else
namespace {
sigset_t Ending() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
  return set;
}
}  // namespace

tSignalsHeld::tSignalsHeld() {
  const sigset_t ending = Ending();
  held_ = sigprocmask(SIG_BLOCK, &ending, &old_) == 0;
}

tSignalsHeld::~tSignalsHeld() {
  if (held_) sigprocmask(SIG_SETMASK, &old_, nullptr);
}

bool tSignalsHeld::Arrived() const {
  sigset_t pending;
  if (!held_ || sigpending(&pending) != 0) return false;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    if (sigismember(&pending, s) == 1) return true;
  }
  return false;
}
#endif
