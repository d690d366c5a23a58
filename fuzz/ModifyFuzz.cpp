// Deleting and adding over any book and any names: only the allowed result
// codes; a failure leaves the book byte for byte; the names listed are
// distinct, and deleting one listed name cuts out exactly one element (with
// its line, when it stands alone on one) and changes no other byte; deleting
// what was added gives the book back byte for byte; a book added to is one
// that test does not call cut short; adding a file under a listed name changes that
// element alone, in its place, and every reference that resolved before
// resolves after; making a listed entry the cover makes it the cover and
// changes no listing.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "format/BookMap.h"
#include "format/EntryName.h"
#include "format/References.h"
#include "plugin/public/BookApi.h"
#include "plugin/public/NameList.h"
#include "plugin/public/iwcxhead.h"

namespace {

std::vector<std::string> Names(const std::string& book) {
  std::vector<std::string> names;
  auto path = CString(book);
  tOpenArchiveData open{};
  open.ArcName = path.data();
  ArchiveHandle h = OpenArchive(&open);
  if (!h) return names;
  tHeaderData header;
  while (ReadHeader(h, &header) == 0) names.emplace_back(header.FileName);
  CloseArchive(h);
  return names;
}

bool Distinct(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) == names.end();
}

// True when after is before with one run of bytes cut out, a run that starts
// an element.
bool OneElementCut(const std::string& before, const std::string& after) {
  if (after.size() >= before.size()) return false;
  const std::size_t cut = before.size() - after.size();
  std::size_t prefix = 0;
  while (prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < after.size() && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) ++suffix;
  // The cut may start anywhere from after.size() - suffix to prefix, at the
  // element, or at the start of its line when it goes with its line.
  const std::size_t first = after.size() > suffix ? after.size() - suffix : 0;
  for (std::size_t at = first; at <= prefix && at + cut <= before.size(); ++at) {
    std::size_t element = at;
    if (at > 0 && before[at - 1] == '\n') {
      while (element < before.size() && (before[element] == ' ' || before[element] == '\t')) ++element;
    }
    if (before.compare(element, 7, "<binary") == 0) return true;
  }
  return false;
}

// True when after is before with one run of bytes, which starts an element,
// put in the place of another.
bool OneElementReplaced(const std::string& before, const std::string& after) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  std::size_t at = before.rfind("<binary", prefix);
  if (at == std::string::npos) return false;
  // A start tag may hold "<binary" itself: the element starts at the first of
  // a run of them that no ">" parts.
  for (std::size_t p;
       at > 0 && (p = before.rfind("<binary", at - 1)) != std::string::npos && before.find('>', p) >= at;) {
    at = p;
  }
  return after.compare(at, 7, "<binary") == 0;
}

// The references of the book that name an element it has, and those that
// name none.
std::pair<std::set<std::string>, std::set<std::string>> Resolved(const std::string& book) {
  tBookReferences refs;
  ReadBookReferences(book, refs);
  std::set<std::string> resolved, dangling;
  for (const auto& target : refs.Targets) {
    const bool found = std::any_of(refs.Elements.begin(), refs.Elements.end(),
                                   [&](const tBookReferences::tElement& e) { return e.Id == target; });
    (found ? resolved : dangling).insert(target);
  }
  return {resolved, dangling};
}

// No reference that resolved before now names nothing. (A replaced entry's
// own bytes may have made references, or hidden some behind broken markup:
// those may come and go.)
bool NoneDisconnected(const std::set<std::string>& before, const std::set<std::string>& danglingNow) {
  return std::none_of(before.begin(), before.end(), [&](const std::string& t) { return danglingNow.count(t) != 0; });
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
  // Deleting one listed name, or adding a file under one, now and then, so
  // that removals and replacements are exercised.
  const bool oneListed = in.ConsumeBool();
  std::string text = in.ConsumeRemainingBytesAsString();
  std::string book = (dir / "book.fb2").string();
  fuzz::Spit(book, text);
  fs::path src = dir / "src";
  fs::create_directory(src);
  for (std::size_t i = 0; pack && i < names.size(); ++i) fuzz::Spit(src / names[i], contents[i]);

  std::vector<std::string> before = Names(book);
  FUZZ_CHECK(Distinct(before));
  const bool replacing = pack && oneListed && !before.empty();
  if (oneListed && !before.empty()) names = {before[static_cast<std::size_t>(count) % before.size()]};
  if (replacing) {
    fuzz::Spit(src / names[0], "replaced");
    // A listed name may be longer than this file system allows (259 bytes
    // against 255): no file of it can be added.
    std::error_code ec;
    if (!fs::exists(src / names[0], ec)) return 0;
  }
  const std::set<std::string> resolvedBefore = Resolved(book).first;
  tBookReferences read;
  const bool ends = ReadBookReferences(book, read) && read.Ends;  // what test calls not cut short
  auto bookPath = CString(book);
  auto list = MakeNameList(names);
  int rc;
  std::vector<std::string> added;  // the names the listing will show for added files
  if (pack) {
    auto srcPath = CString(src.string() + "/");
    rc = PackFiles(bookPath.data(), nullptr, srcPath.data(), list.data(), flags);
    bool faithful = true;
    for (const auto& n : names) {
      std::size_t cut = n.find_last_of('/');
      std::string id = cut == std::string::npos ? n : n.substr(cut + 1), written;
      if (id.empty()) continue;  // a folder: skipped
      faithful = WrittenId(id, written) && faithful;
      std::string head = "<binary id=\"" + written + "\"";
      added.push_back(ReportedNameOf(head, tCharset::Utf8));
    }
    FUZZ_CHECK(rc == 0 || rc == E_BAD_ARCHIVE || rc == E_UNKNOWN_FORMAT || rc == E_NOT_SUPPORTED || rc == E_EREAD);
    // A name the book cannot hold faithfully is refused, and only that.
    if (rc == E_EREAD) FUZZ_CHECK(!faithful);
    if (!faithful) FUZZ_CHECK(rc != 0);
    // No name has a folder part, so keeping paths asks for nothing more.
    FUZZ_CHECK(rc != E_NOT_SUPPORTED);
    // A book that test calls cut short is one that adding refuses.
    if (rc == 0) FUZZ_CHECK(ends);
  } else if (flags == 3 && oneListed && !before.empty()) {
    // Making a listed entry the cover: it is then the cover, the listing is
    // as it was, and nothing that resolved is disconnected; or the book is
    // left as it was.
    // Through the further export, as the command-line host makes it.
    const tFb2Api* api = FB2PackBookApi(FB2API_VERSION);
    tFb2Book* held = nullptr;
    tFb2CoverOutcome out{};
    out.Result = FB2API_COVER_FAILED;
    if (api->OpenBook(bookPath.data(), FB2API_FOR_CHANGE, nullptr, nullptr, &held) == 0) {
      api->SetCover(held, "", names[0].c_str(), &out);
    }
    api->CloseBook(held);
    FUZZ_CHECK(out.Result != FB2API_COVER_NO_ENTRY);
    if (out.Result != FB2API_COVER_DONE) {
      FUZZ_CHECK(fuzz::Slurp(book) == text);
      return 0;
    }
    FUZZ_CHECK(Names(book) == before);
    tBookReferences refs;
    FUZZ_CHECK(ReadBookReferences(book, refs));
    const auto it = std::find_if(refs.Elements.begin(), refs.Elements.end(),
                                 [&](const tBookReferences::tElement& e) { return e.Name == names[0]; });
    FUZZ_CHECK(it != refs.Elements.end() && refs.HasCover && refs.Cover == it->Id);
    FUZZ_CHECK(NoneDisconnected(resolvedBefore, Resolved(book).second));
    return 0;
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
  FUZZ_CHECK(Distinct(now));
  if (!pack) {
    FUZZ_CHECK(after.size() <= text.size());
    // Up to the line the first element stands on (it may go with its line).
    std::size_t first = text.find("<binary");
    if (first != std::string::npos)
      first = text.rfind('\n', first) == std::string::npos ? 0 : text.rfind('\n', first) + 1;
    FUZZ_CHECK(after.compare(0, first == std::string::npos ? after.size() : first, text, 0,
                             first == std::string::npos ? text.size() : first) == 0);
    const bool listed = names.size() == 1 && std::find(before.begin(), before.end(), names[0]) != before.end();
    if (listed) FUZZ_CHECK(OneElementCut(text, after));
    if (names.size() == 1 && !listed) FUZZ_CHECK(after == text);
  } else if (replacing) {
    FUZZ_CHECK(now == before);
    FUZZ_CHECK(OneElementReplaced(text, after));
    FUZZ_CHECK(NoneDisconnected(resolvedBefore, Resolved(book).second));
  } else if (Distinct(added) && Without(before, added) == before) {
    // No name shared with the book or between the files: the book's entries
    // stay as they were, and each file is listed under its own name.
    FUZZ_CHECK(Without(now, added) == before);
    for (const auto& a : added) FUZZ_CHECK(std::find(now.begin(), now.end(), a) != now.end());
    // Deleting what was added gives the book back byte for byte.
    if (now.size() == before.size() + added.size() && !added.empty()) {
      auto gone = MakeNameList(added);
      // (Unless the added bytes pushed the root tag out of the head, where
      // a rewrite looks for it: a book whose root's end came first.)
      const int deleted = DeleteFiles(bookPath.data(), gone.data());
      FUZZ_CHECK(deleted == 0 || deleted == E_UNKNOWN_FORMAT);
      if (deleted == 0) FUZZ_CHECK(fuzz::Slurp(book) == text);
    }
  }
  return 0;
}
