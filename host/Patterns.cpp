#include "Patterns.h"

#include <cstddef>

#include "textutil/Utf8.h"

namespace {

// The length of the character at s[i]: a whole UTF-8 sequence, else a byte.
std::size_t CharLength(std::string_view s, std::size_t i) {
  const std::size_t n = Utf8Length(s, i);
  return n ? n : 1;
}

// Matches the character c against the set that starts after "[" at p[at];
// gives the position after its "]", or npos when the set is not closed (the
// "[" is then an ordinary character).
std::size_t MatchSet(std::string_view p, std::size_t at, std::string_view c, bool& matched) {
  bool negate = at < p.size() && (p[at] == '!' || p[at] == '^');
  if (negate) ++at;
  bool found = false;
  bool first = true;
  while (at < p.size() && (p[at] != ']' || first)) {
    first = false;
    std::size_t n = CharLength(p, at);
    std::string_view lo = p.substr(at, n);
    at += n;
    if (at + 1 < p.size() && p[at] == '-' && p[at + 1] != ']') {
      std::size_t m = CharLength(p, at + 1);
      std::string_view hi = p.substr(at + 1, m);
      at += 1 + m;
      if (lo <= c && c <= hi && c.size() == lo.size()) found = true;
    } else if (c == lo) {
      found = true;
    }
  }
  if (at >= p.size()) return std::string_view::npos;
  matched = found != negate;
  return at + 1;
}

}  // namespace

bool MatchesPattern(std::string_view p, std::string_view name) {
  std::size_t pi = 0, ni = 0;
  // Where the last "*" stood, and how much of the name it had taken.
  std::size_t starP = std::string_view::npos, starN = 0;
  while (ni < name.size()) {
    const std::size_t n = CharLength(name, ni);
    const std::string_view c = name.substr(ni, n);
    if (pi < p.size()) {
      if (p[pi] == '*') {
        starP = ++pi;
        starN = ni;
        continue;
      }
      if (p[pi] == '?') {
        ++pi;
        ni += n;
        continue;
      }
      if (p[pi] == '[') {
        bool matched = false;
        std::size_t after = MatchSet(p, pi + 1, c, matched);
        if (after != std::string_view::npos) {
          if (matched) {
            pi = after;
            ni += n;
            continue;
          }
        } else if (c == "[") {
          ++pi;
          ++ni;
          continue;
        }
      } else {
        std::size_t at = p[pi] == '\\' && pi + 1 < p.size() ? pi + 1 : pi;
        std::size_t m = CharLength(p, at);
        if (p.substr(at, m) == c) {
          pi = at + m;
          ni += n;
          continue;
        }
      }
    }
    // No match here: let the last "*" take one more character.
    if (starP == std::string_view::npos) return false;
    pi = starP;
    starN += CharLength(name, starN);
    ni = starN;
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}
