// What the host prints: names as their bytes, JSON listings, long listings,
// and progress on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// One entry of a listing; size and type are known in a long listing only.
struct tListed {
  std::string Name;
  std::uintmax_t Size = 0;
  std::string Type;  // "PNG", ..., "unknown"
};

// One name a line, as its bytes; with long, size and type before it and a
// total line after.
std::string PlainListing(const std::vector<tListed>& entries, bool withDetails);
// A JSON array of objects, always valid UTF-8: "name", where the name is not
// UTF-8 also "hex" (its exact bytes), and with details "size" and "type".
std::string JsonListing(const std::vector<tListed>& entries, bool withDetails);

// Shows how far a long walk has come, on a terminal only.
class tProgress {
 public:
  tProgress();
  ~tProgress();
  tProgress(const tProgress&) = delete;
  tProgress& operator=(const tProgress&) = delete;
  void Step(const char* verb, long done, const std::string& name);

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
};
