// The switch that lets one machine test both base64 paths. Compiled into the
// shipped plug-in, where it never asks, and once more into its test build,
// where the environment decides.
#include "platform/Platform.h"

#ifdef FB2PACK_FAULTS
#include <cstdlib>
#include <string_view>
#endif

namespace platform {

bool PortableBase64Forced() {
#ifdef FB2PACK_FAULTS
  const char* value = std::getenv("FB2PACK_BASE64");
  return value != nullptr && std::string_view(value) == "portable";
#else
  return false;
#endif
}

}  // namespace platform
