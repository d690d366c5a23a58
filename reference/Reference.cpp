#include "reference/Reference.h"

void tFinder::SetPattern(const std::string& pattern) {
  if (pattern.empty() || pattern.size() > kMaxPattern) {
    Status = -1;
    return;
  }
  Pattern = pattern;
  Status = 0;
  Index = 1;
  const std::size_t m = Pattern.size();
  Table.assign(m, '\0');
  // Table[q-1] for the 1-based q of the usual formulation.
  for (std::size_t q = 2; q <= m; ++q) {
    std::size_t k = static_cast<std::uint8_t>(Table[q - 2]);
    while (k > 0 && Pattern[q - 1] != Pattern[k]) k = static_cast<std::uint8_t>(Table[k - 1]);
    Table[q - 1] = static_cast<char>(Pattern[q - 1] == Pattern[k] ? k + 1 : 0);
  }
}
