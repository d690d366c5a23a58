#include "textutil/StrUtil.h"

#include <cstring>

#include "platform/Platform.h"

std::string Unquote(const std::string& s) {
  if (s.size() < 2) return s;
  char q = s[0];
  if (q != '\'' && q != '"') return s;
  std::size_t last = s.rfind(q);  // never npos: s[0] is q
  return last <= 1 ? std::string() : s.substr(1, last - 1);
}

std::string ValueOf(const std::string& list, const std::string& key) {
  std::string result;
  std::size_t at = 0;
  while (at < list.size() && result.empty()) {
    std::size_t end = list.find("\r\n", at);
    std::size_t stop = end == std::string::npos ? list.size() : end;
    std::size_t len = stop - at;
    if (len >= key.size() + 1 && list.compare(at, key.size(), key) == 0 && list[at + key.size()] == '=') {
      result.assign(list, at + key.size() + 1, len - key.size() - 1);
    }
    at = end == std::string::npos ? list.size() : end + 2;
  }
  return result;
}

std::size_t NameStart(const std::string& path, std::string_view separators) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    auto c = static_cast<unsigned char>(path[i]);
    if (platform::IsLeadByte(c) && i + 1 < path.size()) {
      ++i;  // the trail byte may look like a separator; it is not one
    } else if (separators.find(static_cast<char>(c)) != std::string_view::npos) {
      start = i + 1;
    }
  }
  return start;
}
