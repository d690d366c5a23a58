// How a path is cut into its folder and its name, as data chosen by the style
// of the system that gave the path, so that every part of fb2pack (plug-in,
// command-line host, tests) cuts the same way, and either style can be used,
// and tested, on any system. Header-only, as Utf8.h.
#pragma once

#include <string_view>

#include "platform/Platform.h"

enum class tPathStyle { Posix, Windows };

struct tPathRules {
  std::string_view Separators;  // every byte that ends a folder part
  char Separator;               // the one written between a folder and a name
};

inline constexpr tPathRules kPathRules[] = {
    {"/", '/'},      // Posix
    {"\\/:", '\\'},  // Windows: "C:name" is a name on drive C
};

constexpr const tPathRules& PathRules(tPathStyle style) { return kPathRules[static_cast<int>(style)]; }

inline constexpr tPathStyle kSystemPathStyle = platform::kWindowsFileNames ? tPathStyle::Windows : tPathStyle::Posix;

constexpr const tPathRules& SystemPathRules() { return PathRules(kSystemPathStyle); }

constexpr bool IsSeparator(char c, const tPathRules& rules = SystemPathRules()) {
  return rules.Separators.find(c) != std::string_view::npos;
}
