// Shell-style name patterns, as unzip takes them for the entries it extracts.
#pragma once

#include <string_view>

// True when name matches pattern: "*" any run of characters, "?" one
// character, "[set]" one character of the set ("[!set]" or "[^set]" one not
// in it, "a-z" a range), "\" takes the next character as it stands. A
// character is a UTF-8 sequence where the name holds one, else a byte.
bool MatchesPattern(std::string_view pattern, std::string_view name);
