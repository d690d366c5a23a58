// The listing walk over any book: the streaming walk through the exports
// must report what a plain whole-text reading finds, extract exactly the
// decoded content, end, and write nothing outside its destination folder.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "FuzzCommon.h"
#include "format/EntryName.h"
#include "plugin/public/iwcxhead.h"
#include "textutil/Base64.h"

namespace {

struct Entry {
  std::string name;
  std::string content;
  int result;  // of its extraction: the content cut short, or damaged
};

// A name no earlier entry has, found the plain way: "stem (N).ext" for the
// first N from 2 that is free (the listing remembers where it stopped).
std::string UniqueName(std::unordered_set<std::string>& taken, const std::string& reported) {
  if (taken.insert(reported).second) return reported;
  std::size_t dot = reported.rfind('.');
  if (dot == 0 || dot == std::string::npos || reported.size() - dot > kMaxReportedName / 2) dot = reported.size();
  for (std::uint32_t n = 2;; ++n) {
    const std::string tail = " (" + std::to_string(n) + ")" + reported.substr(dot);
    std::string name = reported.substr(0, FitName(reported.substr(0, dot), kMaxReportedName - tail.size())) + tail;
    if (taken.insert(name).second) return name;
  }
}

// Every "<binary" after the previous start tag's ">", named by its tag (a
// name no earlier entry has), holding the bytes from that ">" to the next "<".
std::vector<Entry> ReferenceWalk(const std::string& text) {
  std::vector<Entry> entries;
  std::unordered_set<std::string> names;
  std::size_t cursor = 0;
  for (;;) {
    std::size_t start = text.find("<binary", cursor);
    if (start == std::string::npos) return entries;
    std::size_t close = text.find('>', start + 7);
    std::size_t tagEnd = close == std::string::npos ? text.size() : close;
    std::string name =
        ReportedNameOf(std::string_view(text).substr(start, tagEnd - start), DeclaredCharset(text.data(), text.size()));
    if (!name.empty()) {
      std::string content;
      bool cut = true, stray = false;
      if (close != std::string::npos) {
        std::size_t end = text.find('<', close + 1);
        cut = end == std::string::npos;
        content = text.substr(close + 1, (end == std::string::npos ? text.size() : end) - close - 1);
        // Content with an end tag stops there; any other '<' cuts it short.
        stray = !cut && text[close - 1] != '/' && text.compare(end, 8, "</binary") != 0;
      }
      tBase64Decoder decoder(tBase64Decoder::Narrow);
      std::string bytes;
      decoder.Feed(content.data(), content.size(), bytes);
      const bool damaged = stray || decoder.Damaged();
      entries.push_back({UniqueName(names, name), content, cut ? E_BAD_ARCHIVE : damaged ? E_BAD_DATA : 0});
    }
    if (close == std::string::npos) return entries;
    cursor = close;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  const fs::path& dir = fuzz::Scratch();
  fuzz::Empty(dir);
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string book = (dir / "book.fb2").string();
  fuzz::Spit(book, text);
  fs::create_directory(dir / "out");
  std::string out = (dir / "out").string() + "/";

  std::vector<Entry> expected = ReferenceWalk(text);
  std::vector<char> path(book.begin(), book.end());
  path.push_back('\0');
  tOpenArchiveData open{};
  open.ArcName = path.data();
  ArchiveHandle h = OpenArchive(&open);
  FUZZ_CHECK((h == nullptr) == text.empty());
  if (h == nullptr) {
    FUZZ_CHECK(open.OpenResult == E_BAD_DATA);
    return 0;
  }
  std::vector<std::string> extracted;  // names written into out/
  std::size_t i = 0;
  for (;; ++i) {
    FUZZ_CHECK(i <= expected.size());
    tHeaderData header;
    std::memset(&header, 0x5A, sizeof header);
    int rc = ReadHeader(h, &header);
    if (rc != 0) {
      FUZZ_CHECK(rc == E_NOT_SUPPORTED && i == expected.size());
      break;
    }
    FUZZ_CHECK(i < expected.size());
    FUZZ_CHECK(std::string(header.FileName) == expected[i].name);
    FUZZ_CHECK(std::string(header.ArcName) == book.substr(0, 259));
    bool extract = ((size + i * 7) >> (i % 5)) & 1;
    std::vector<char> name(expected[i].name.begin(), expected[i].name.end());
    name.push_back('\0');
    std::vector<char> dest(out.begin(), out.end());
    dest.push_back('\0');
    rc = ProcessFile(h, extract ? PK_EXTRACT : PK_SKIP, dest.data(), name.data());
    if (!extract) {
      FUZZ_CHECK(rc == 0);
      continue;
    }
    if (expected[i].name.size() > 255) {  // longer than a file name may be here
      FUZZ_CHECK(rc == E_ECREATE);
      continue;
    }
    FUZZ_CHECK(rc == expected[i].result);
    FUZZ_CHECK(fuzz::Slurp(dir / "out" / expected[i].name) == DecodeBase64(expected[i].content));
    extracted.push_back(expected[i].name);
  }
  CloseArchive(h);
  std::size_t top = 0;
  for (auto& e : fs::directory_iterator(dir)) {
    ++top;
    FUZZ_CHECK(e.path().filename() == "book.fb2" || e.path().filename() == "out");
  }
  FUZZ_CHECK(top == 2);
  for (auto& e : fs::directory_iterator(dir / "out")) {  // nothing but the entries
    FUZZ_CHECK(e.is_regular_file());
    FUZZ_CHECK(std::find(extracted.begin(), extracted.end(), e.path().filename().string()) != extracted.end());
  }
  FUZZ_CHECK(fuzz::Slurp(book) == text);
  return 0;
}
