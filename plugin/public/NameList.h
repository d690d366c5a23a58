// The host interface's strings: a path or name as its char* parameters take
// it, and its list of names (each name ended by a NUL byte, the list by an
// empty name). The one way to write them (hosts, tests) and to read the list
// (the plug-in).
#pragma once

#include <string>
#include <vector>

// A writable copy of s ended by a NUL byte, since the interface takes char*.
inline std::vector<char> CString(const std::string& s) {
  return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
}

inline std::vector<char> MakeNameList(const std::vector<std::string>& names) {
  std::vector<char> list;
  for (const auto& n : names) {
    list.insert(list.end(), n.begin(), n.end());
    list.push_back('\0');
  }
  list.push_back('\0');
  return list;
}

inline std::vector<std::string> ReadNameList(const char* list) {
  std::vector<std::string> names;
  if (list == nullptr) return names;
  while (*list != '\0') {
    names.emplace_back(list);
    list += names.back().size() + 1;
  }
  return names;
}
