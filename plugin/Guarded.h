// How the exports keep what is thrown inside from reaching the host.
#pragma once

#include <new>

#include "plugin/public/iwcxhead.h"

namespace fb2pack {

// Runs f, giving its result code, or the code for what it threw.
template <class F>
int Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return E_NO_MEMORY;
  } catch (...) {
    return E_BAD_DATA;
  }
}

}  // namespace fb2pack
