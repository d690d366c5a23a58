// The host interface's list of names: each name ended by a NUL byte, the list
// by an empty name. The one way to write it (hosts, tests) and to read it
// (the plug-in).
#pragma once

#include <string>
#include <vector>

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
