// The host's services, from the core's own rules: each is the rule the
// plug-in applies, handed over in the interface's plain terms.
#include "plugin/public/HostServices.h"

#include "format/BookFormat.h"
#include "format/ContentType.h"
#include "format/EntryFacts.h"
#include "format/References.h"
#include "textutil/Base64.h"
#include "textutil/PathRules.h"
#include "textutil/StrUtil.h"

namespace fb2pack {

std::size_t RootTagWithin() { return kHeadSize; }

std::uint64_t MaxBookSize() { return kMaxBookSize; }

bool IsZipArchive(std::string_view head) { return head.starts_with(kZipStart); }

bool IsBookHead(std::string_view head) { return HeadIsBook(head); }

std::uint64_t AddedElementSize(std::size_t idLength, std::uint64_t fileSize) {
  return ElementLength(idLength, Base64Length(fileSize));
}

bool WindowsFileNames() { return platform::kWindowsFileNames; }

char PathSeparator() { return SystemPathRules().Separator; }

bool IsPathSeparator(char c) { return IsSeparator(c); }

std::size_t FileNameStart(const std::string& path) { return ::NameStart(path, SystemPathRules().Separators); }

tImageKind SniffImage(std::string_view head) {
  const ::tImageKind kind = ::SniffImage(head);
  return {kind.Label, kind.ContentType};
}

namespace {

void Give(::tBookReferences& refs, tBookReferences& out) {
  out = {};
  for (auto& e : refs.Elements) out.Elements.push_back({std::move(e.Name), std::move(e.Id)});
  out.Targets = std::move(refs.Targets);
  out.HasCover = refs.HasCover;
  out.HasSourceCover = refs.HasSourceCover;
  out.Cover = std::move(refs.Cover);
  out.SourceCover = std::move(refs.SourceCover);
  out.Ends = refs.Ends;
}

}  // namespace

bool ReadBookReferences(const std::string& path, tBookReferences& out) {
  ::tBookReferences refs;
  const bool read = ::ReadBookReferences(path, refs);
  Give(refs, out);
  return read;
}

bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out, tBookReferences& refs) {
  std::vector<::tEntryFacts> entries;
  ::tBookReferences read;
  const bool whole = ::InspectBook(path, entries, read);
  Give(read, refs);
  out.clear();
  for (auto& e : entries) {
    out.push_back({std::move(e.Name), std::move(e.ContentType), std::move(e.Head), e.End.Cut, e.End.Stray,
                   e.End.Foreign, e.End.AfterEnd, e.End.Lone, std::move(e.ImageDamage)});
  }
  return whole;
}

}  // namespace fb2pack
