// How a new file written to take another's place is named: the replaced
// file's prefix, eight hex digits, ".tmp". One pattern for both sides of the
// platform layer, for creating such files and for finding those a killed
// rewrite left.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr char kHexDigits[] = "0123456789abcdef";
inline constexpr char kTempSuffix[] = ".tmp";
// The same as a Windows wildcard, after the prefix.
inline constexpr char kTempWildcard[] = "????????.tmp";

// n as eight lower-case hex digits.
inline std::string Hex8(std::uint32_t n) {
  std::string s(8, '0');
  for (int i = 7; i >= 0; --i, n >>= 4) s[static_cast<std::size_t>(i)] = kHexDigits[n & 15];
  return s;
}

inline std::string TempName(const std::string& prefix, std::uint32_t n) { return prefix + Hex8(n) + kTempSuffix; }

// True when name (without a folder) is TempName(prefix, some number).
inline bool IsTempName(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 12 || name.compare(0, prefix.size(), prefix) != 0) return false;
  if (name.compare(name.size() - 4, 4, kTempSuffix) != 0) return false;
  for (std::size_t i = prefix.size(); i < prefix.size() + 8; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace platform
