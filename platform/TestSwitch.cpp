// The switch that lets one machine test each of its base64 paths. Compiled into the
// shipped plug-in, where it never asks, and once more into its test build,
// where the environment decides.
#include "platform/Platform.h"

#ifdef FB2PACK_FAULTS
#include <cstdlib>
#endif

namespace platform {

std::string Base64PathAsked() {
#ifdef FB2PACK_FAULTS
  const char* value = std::getenv("FB2PACK_BASE64");
  return value != nullptr ? value : "";
#else
  return "";
#endif
}

bool StackCheckAsked() {
#ifdef FB2PACK_FAULTS
  return true;
#else
  return false;
#endif
}

}  // namespace platform
