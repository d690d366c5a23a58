#include "plugin/Add.h"

#include <algorithm>
#include <string_view>

#include "format/BookFormat.h"
#include "format/ContentType.h"
#include "format/EntryName.h"
#include "platform/Platform.h"
#include "plugin/Operations.h"
#include "plugin/public/NameList.h"
#include "textutil/Base64.h"
#include "textutil/FileText.h"
#include "textutil/PathRules.h"
#include "textutil/StrUtil.h"

namespace fb2pack {
namespace {

// A name is cut only at the separators of the system that gave it.
constexpr std::string_view kNameSeparators = SystemPathRules().Separators;

}  // namespace

int PlanAdd(tHeldBook& book, const char* srcPath, const char* addList, int flags, tAddPlan& plan) {
  // Hosts ask to keep paths on every copy into an archive; with no folder
  // in any name there is none to keep, and nothing asked for is lost.
  if (flags & PK_PACK_SAVE_PATHS) {
    for (const std::string& name : ReadNameList(addList)) {
      if (NameStart(name, kNameSeparators) != 0) return E_NOT_SUPPORTED;
    }
  }
  tDiskRead& r = *book.Reader;
  const std::uint64_t rootEnd = book.Map.RootEnd;
  if (rootEnd == tMapElement::npos) return E_UNKNOWN_FORMAT;

  // Every source is sized before any is read: a book that would grow past
  // what can be opened and rewritten again is refused before the work.
  const std::string folder = srcPath ? srcPath : "";
  std::vector<tSource>& sources = plan.Sources;
  std::uint64_t total = r.Size;
  for (const std::string& name : ReadNameList(addList)) {
    std::size_t idStart = NameStart(name, kNameSeparators);
    if (idStart == name.size()) continue;  // a folder, not a file
    std::uint64_t size = 0;
    if (!platform::RegularFileSize(folder + name, size)) return E_EREAD;
    // Neither the book itself (it would be added into itself), nor a name
    // the book cannot hold faithfully.
    if (platform::IsFileOf(book.File.Held, folder + name)) return E_EREAD;
    // The id comes from the file's own name where a host gave another (a
    // short 8.3 name, for one the code page cannot spell): that name means
    // nothing in a book.
    std::string id;
    std::u32string longName;
    std::string fileName = name.substr(idStart);
    bool byIdOnly = false;
    if (platform::LongFileName(folder + name, longName)) {
      if (!WrittenIdOf(longName, id)) return E_EREAD;
      std::string spelt;  // the long name in the code page, when it can be
      for (char32_t c : longName) {
        const std::string ansi = platform::UnicodeToAnsi(c);
        if (ansi.empty()) {
          byIdOnly = true;
          break;
        }
        spelt += ansi;
      }
      if (!byIdOnly) fileName = spelt;
    } else if (!WrittenId(fileName, id)) {
      return E_EREAD;
    }
    total += ElementLength(id.size(), Base64Length(size));
    if (total > kMaxBookSize) return E_NO_MEMORY;
    sources.push_back({folder + name, fileName, std::move(id), byIdOnly});
  }

  // A source replaces the element listed under its file name (as the file
  // system compares names), and no other: in its place, under its id as the
  // book wrote it, so that every reference to it still holds. A source listed
  // nowhere is added before the root's end tag.
  tReplacing replacing;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (!sources[i].ByIdOnly) replacing.ByName.emplace(platform::FileNameKey(sources[i].FileName), i);
    replacing.ById.emplace(IdInUtf8(sources[i].Id, tCharset::Utf8), i);
  }
  std::vector<tRange>& kept = plan.Kept;
  plan.Replaced.assign(sources.size(), {});
  if (int rc = KeptRanges(book, {}, kept, &replacing, &plan.Replaced); rc != E_SUCCESS) return rc;
  // How the new elements are laid out, from the line the root's end tag is on.
  const tAddedPlace place = AddedPlace(r.BytesAt(rootEnd < kLineLook ? 0 : rootEnd - kLineLook, rootEnd));
  if (r.ShortRead) return E_EREAD;

  // Every source is read before the book is touched: one that cannot be read
  // fails the whole call.
  std::vector<tInsert>& inserts = plan.Inserts;
  std::string added;  // the new elements, for the root's end tag
  std::uint64_t size = r.Size;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string content;
    if (LoadFile(sources[i].Path, kMaxBookSize, content) != tLoad::Ok) return E_EREAD;
    const std::string type = ContentTypeOf(content, sources[i].FileName);
    if (plan.Replaced[i].Found) {
      std::string element;
      AppendInPlaceOf(element, plan.Replaced[i].Tag, plan.Replaced[i].Id, type, EncodeBase64(content));
      size += element.size();
      inserts.push_back({plan.Replaced[i].At, std::move(element)});
    } else {
      const std::size_t before = added.size();
      AppendElement(added, sources[i].Id, type, EncodeBase64(content), place.LineEnds);
      size += added.size() - before;
    }
    if (size > kMaxBookSize) return E_NO_MEMORY;  // a source grew since it was sized
  }
  // Where the new elements go in what stays: the root's end tag, unless the
  // removals left it inside an open tag.
  std::uint64_t at = RootEndAfter(book, kept);
  if (r.ShortRead) return E_EREAD;
  if (at == tMapElement::npos) return E_UNKNOWN_FORMAT;
  at -= std::min<std::uint64_t>(at, place.Back);
  if (!added.empty()) inserts.push_back({at, std::move(added)});
  return E_SUCCESS;
}

int SavePlan(tHeldBook& book, tAddPlan& plan) {
  std::stable_sort(plan.Inserts.begin(), plan.Inserts.end(),
                   [](const tInsert& a, const tInsert& b) { return a.At < b.At; });
  return SaveBook(book, plan.Kept, plan.Inserts);
}

int PackEntries(const char* packedFile, const char* srcPath, const char* addList, int flags) {
  if (packedFile == nullptr) return E_UNKNOWN_FORMAT;
  tHeldBook book(packedFile);
  if (int rc = HoldBook(book); rc != E_SUCCESS) return rc;
  tAddPlan plan;
  if (int rc = PlanAdd(book, srcPath, addList, flags, plan); rc != E_SUCCESS) return rc;
  return SavePlan(book, plan);
}

}  // namespace fb2pack
