// Deleting and adding over any book and any names: only the allowed result
// codes; a failure leaves the book byte for byte; a success changes exactly
// the named entries, as the listing sees them.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "format/EntryName.h"
#include "plugin/NameList.h"
#include "plugin/iwcxhead.h"

namespace {

std::vector<char> C(const std::string& s) {
  std::vector<char> v(s.begin(), s.end());
  v.push_back('\0');
  return v;
}

std::vector<std::string> Names(const std::string& book) {
  std::vector<std::string> names;
  auto path = C(book);
  tOpenArchiveData open{};
  open.ArcName = path.data();
  ArchiveHandle h = OpenArchive(&open);
  if (!h) return names;
  tHeaderData header;
  while (ReadHeader(h, &header) == 0) names.emplace_back(header.FileName);
  CloseArchive(h);
  return names;
}

std::vector<std::string> Without(std::vector<std::string> names, const std::vector<std::string>& gone) {
  names.erase(
      std::remove_if(names.begin(), names.end(),
                     [&](const std::string& n) { return std::find(gone.begin(), gone.end(), n) != gone.end(); }),
      names.end());
  return names;
}

// A name for a list: no NUL (it would end the name), never empty.
std::string ListName(FuzzedDataProvider& in) {
  std::string s = in.ConsumeRandomLengthString(24);
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
  return s.empty() ? "x" : s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  FuzzedDataProvider in(data, size);
  const fs::path& dir = fuzz::Scratch();
  fuzz::Empty(dir);
  bool pack = in.ConsumeBool();
  int flags = in.ConsumeIntegralInRange(0, 3);
  std::vector<std::string> names;
  std::vector<std::string> contents;
  int count = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < count; ++i) {
    std::string name = ListName(in);
    if (pack) {
      // A plain file name in the source folder.
      std::replace(name.begin(), name.end(), '/', '_');
      if (name == "." || name == "..") name = "_";
      contents.push_back(in.ConsumeRandomLengthString(300));
    }
    names.push_back(name);
  }
  std::string text = in.ConsumeRemainingBytesAsString();
  std::string book = (dir / "book.fb2").string();
  fuzz::Spit(book, text);
  fs::path src = dir / "src";
  fs::create_directory(src);
  for (std::size_t i = 0; pack && i < names.size(); ++i) fuzz::Spit(src / names[i], contents[i]);

  std::vector<std::string> before = Names(book);
  auto bookPath = C(book);
  auto list = MakeNameList(names);
  int rc;
  std::vector<std::string> added;  // the names the listing will show for added files
  if (pack) {
    auto srcPath = C(src.string() + "/");
    rc = PackFiles(bookPath.data(), nullptr, srcPath.data(), list.data(), flags);
    for (const auto& n : names) {
      std::size_t cut = n.find_last_of('/');
      std::string id = cut == std::string::npos ? n : n.substr(cut + 1);
      if (id.empty()) continue;  // a folder: skipped
      std::string head = "<binary id=\"" + WrittenId(id) + "\"";
      added.push_back(ReportedNameOf(head.data(), head.size()));
    }
    FUZZ_CHECK(rc == 0 || rc == E_BAD_ARCHIVE || rc == E_UNKNOWN_FORMAT || rc == E_NOT_SUPPORTED);
    // No name has a folder part, so keeping paths asks for nothing more.
    FUZZ_CHECK(rc != E_NOT_SUPPORTED);
  } else {
    rc = DeleteFiles(bookPath.data(), list.data());
    FUZZ_CHECK(rc == 0 || rc == E_BAD_ARCHIVE || rc == E_UNKNOWN_FORMAT);
  }
  std::string after = fuzz::Slurp(book);
  std::size_t files = 0;
  for (auto& e : fs::directory_iterator(dir)) {
    ++files;
    (void)e;
  }
  FUZZ_CHECK(files == 2);  // the book and the source folder: nothing left beside
  if (rc != 0) {
    FUZZ_CHECK(after == text);
    return 0;
  }
  std::vector<std::string> now = Names(book);
  if (!pack) {
    FUZZ_CHECK(now == Without(before, names));
    FUZZ_CHECK(after.size() <= text.size());
    std::size_t first = text.find("<binary");
    FUZZ_CHECK(after.compare(0, first == std::string::npos ? after.size() : first, text, 0,
                             first == std::string::npos ? text.size() : first) == 0);
  } else {
    FUZZ_CHECK(Without(now, added) == Without(before, added));
    for (const auto& a : added) {
      if (!a.empty()) FUZZ_CHECK(std::find(now.begin(), now.end(), a) != now.end());
    }
  }
  return 0;
}
