// What the host prints: names as their bytes, JSON listings, long listings,
// and progress on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Writes text to standard output; false when it could not be written whole.
bool WriteOut(const std::string& text);

// A JSON string of s, always valid UTF-8 (a byte that starts no character
// becomes U+FFFD).
std::string JsonText(const std::string& s);

// One entry of a listing; size, type and damage are known in a long listing
// only, the markings in long and JSON listings.
struct tListed {
  std::string Name;   // as the plug-in gave it
  std::string Shown;  // as the user reads it (UTF-8)
  bool Exact = true;  // every byte of Name is a character
  std::uintmax_t Size = 0;
  std::string Type;    // "PNG", ..., "unknown"
  std::string Damage;  // "cut" (the book ends inside it), "damaged", or none
  bool Cover = false;
  bool SourceCover = false;  // the source book's cover, where it is not the book's
  bool Referenced = true;    // the text refers to it
};

// One name a line, as its bytes; with long, size, type and a marking (cover,
// src-cover, unused) before it, then a total line, then a line for each
// reference to an id no element has (dangling, in text order).
std::string PlainListing(const std::vector<tListed>& entries, bool withDetails,
                         const std::vector<std::string>& dangling = {});
// A JSON array of objects, always valid UTF-8: "name", where the name is not
// UTF-8 also "hex" (its exact bytes), "cover", "source_cover" and
// "referenced", and with details "size", "type" and, when damaged, "damage".
std::string JsonListing(const std::vector<tListed>& entries, bool withDetails);
// Several books' JSON listings as one document: an array with an object for
// each book, {"book": its path, "entries": its listing}, in the order given;
// "entries" is null for a book that could not be listed (why was told).
struct tBookListing {
  std::string Book;
  bool Listed = false;
  std::string Json;  // JsonListing's
};
std::string JsonBooks(const std::vector<tBookListing>& books);

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
