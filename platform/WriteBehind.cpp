#include "platform/Platform.h"

namespace platform {

WriteBehind::WriteBehind() = default;

WriteBehind::~WriteBehind() {
  Wait();
  Land();
}

bool WriteBehind::Start(FileHandle h, const void* buffer, std::size_t count) {
  Wait();
#ifndef FB2PACK_FAULTS
  if (worker_ == nullptr && !Launch()) return false;
#endif
  handle_ = h;
  buffer_ = buffer;
  count_ = count;
#ifdef FB2PACK_FAULTS
  Make();
#else
  Hand();
#endif
  busy_ = true;
  return true;
}

std::size_t WriteBehind::Wait() {
  if (!busy_) return 0;
#ifndef FB2PACK_FAULTS
  Await();
#endif
  busy_ = false;
  return written_;
}

}  // namespace platform
