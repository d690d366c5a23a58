#include "Output.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "Encoding.h"
#include "textutil/Utf8.h"

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// A JSON string of s, always valid UTF-8: a byte that starts no UTF-8
// character becomes U+FFFD, and valid is set false.
std::string JsonString(const std::string& s, bool& valid) {
  std::string out = "\"";
  valid = true;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = Utf8Length(s, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      valid = false;
      ++i;
    } else if (s[i] == '"' || s[i] == '\\') {
      out += '\\';
      out += s[i++];
    } else if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04x", b);
      out += hex;
      ++i;
    } else {
      out.append(s, i, n);
      i += n;
    }
  }
  return out + "\"";
}

std::string JsonEntry(const tListed& e, bool withDetails) {
  bool valid = true;
  std::string entry = "{\"name\": " + JsonString(e.Shown, valid);
  if (!valid || !e.Exact) {
    entry += ", \"hex\": \"";
    for (char c : e.Name) {
      entry += kHexDigits[static_cast<unsigned char>(c) >> 4];
      entry += kHexDigits[static_cast<unsigned char>(c) & 15];
    }
    entry += "\"";
  }
  entry += std::string(", \"cover\": ") + (e.Cover ? "true" : "false") +
           ", \"source_cover\": " + (e.SourceCover ? "true" : "false") +
           ", \"referenced\": " + (e.Referenced ? "true" : "false");
  if (withDetails) entry += ", \"size\": " + std::to_string(e.Size) + ", \"type\": " + JsonString(e.Type, valid);
  if (withDetails && !e.Damage.empty()) entry += ", \"damage\": " + JsonString(e.Damage, valid);
  return entry + "}";
}

}  // namespace

namespace {
std::string PadLeft(const std::string& s, std::size_t width) {
  return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}
std::string PadRight(const std::string& s, std::size_t width) {
  return s.size() < width ? s + std::string(width - s.size(), ' ') : s;
}
}  // namespace

std::string PlainListing(const std::vector<tListed>& entries, bool withDetails,
                         const std::vector<std::string>& dangling) {
  std::string out;
  std::uintmax_t total = 0;
  for (const tListed& e : entries) {
    if (withDetails) {
      const char* mark = e.Cover ? "cover" : e.SourceCover ? "src-cover" : !e.Referenced ? "unused" : "";
      out += PadLeft(std::to_string(e.Size), 12) + "  " + PadRight(e.Type, 8) + PadRight(mark, 10);
      total += e.Size;
    }
    out += e.Shown + "\n";
  }
  if (withDetails) {
    out += PadLeft(std::to_string(total), 12) + "  " + std::to_string(entries.size()) +
           (entries.size() == 1 ? " entry\n" : " entries\n");
    for (const std::string& d : dangling) out += "no image for #" + d + "\n";
  }
  return out;
}

std::string JsonListing(const std::vector<tListed>& entries, bool withDetails) {
  std::string out = "[";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out += i ? ",\n " : "\n ";
    out += JsonEntry(entries[i], withDetails);
  }
  return out + (entries.empty() ? "]\n" : "\n]\n");
}

std::string JsonBooks(const std::vector<tBookListing>& books) {
  std::string out = "[";
  for (std::size_t i = 0; i < books.size(); ++i) {
    bool valid = true;
    std::string entries = books[i].Listed ? books[i].Json : "null";
    while (!entries.empty() && entries.back() == '\n') entries.pop_back();
    out += (i ? ",\n" : "\n") + std::string("{\"book\": ") + JsonString(books[i].Book, valid) +
           ", \"entries\": " + entries + "}";
  }
  return out + (books.empty() ? "]\n" : "\n]\n");
}

tProgress::tProgress() : enabled_(isatty(fileno(stderr)) != 0), start_(std::chrono::steady_clock::now()) {}

tProgress::~tProgress() {
  if (shown_) std::fprintf(stderr, "\r%60s\r", "");
}

void tProgress::Step(const char* verb, long done, const std::string& name) {
  if (!enabled_) return;
  if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
  shown_ = true;
  std::fprintf(stderr, "\r%s %ld: %.40s%10s", verb, done, name.c_str(), "");
  std::fflush(stderr);
}

bool WriteOut(const std::string& text) { return WriteText(stdout, text); }

std::string JsonText(const std::string& s) {
  bool valid = true;
  return JsonString(s, valid);
}
