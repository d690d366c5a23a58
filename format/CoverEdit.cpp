#include "format/CoverEdit.h"

#include <algorithm>

#include "format/EntryName.h"
#include "textutil/Ascii.h"

namespace {

constexpr std::string_view kXlink = "http://www.w3.org/1999/xlink";

// The blanks from after to start, when that is all they are: the indentation
// an element written there takes from its neighbour.
std::string Indentation(const tCoverPlace::tChild& child,
                        const std::function<std::string(std::uint64_t, std::uint64_t)>& bytesAt) {
  if (child.Start - child.After > 256) return {};
  std::string blanks = bytesAt(child.After, child.Start);
  for (char c : blanks) {
    if (!IsBlank(static_cast<unsigned char>(c))) return {};
  }
  return blanks;
}

// A prefix for XLink that the root does not bind to anything else.
std::string FreePrefix(const std::vector<std::string>& bound) {
  for (std::string p : {"l", "xlink"}) {
    if (std::find(bound.begin(), bound.end(), p) == bound.end()) return p;
  }
  for (int n = 1;; ++n) {
    std::string p = "l" + std::to_string(n);
    if (std::find(bound.begin(), bound.end(), p) == bound.end()) return p;
  }
}

}  // namespace

tCoverEdit CoverEdits(const tCoverPlace& place, const std::string& writtenId,
                      const std::function<std::string(std::uint64_t, std::uint64_t)>& bytesAt,
                      std::vector<tByteEdit>& edits) {
  edits.clear();
  if (place.TitleInfos == 0) return tCoverEdit::NoTitleInfo;
  if (place.TitleInfos > 1 || !place.TitleInfoEnds || place.CoverPages > 1) return tCoverEdit::Unclear;
  // The id as the book writes it, made to stand in a value.
  const std::string value = "\"#" + DoubleQuotedId(writtenId) + "\"";
  if (place.CoverPage.Found && place.HasImage && place.HrefFrom != tCoverPlace::npos) {
    edits.push_back({place.HrefFrom, place.HrefTo, value});
    return tCoverEdit::Done;
  }
  // A new href: XLink's prefix, bound on the root when nothing binds it.
  const std::string prefix = place.HasXlink ? place.Xlink : FreePrefix(place.RootNames);
  if (!place.HasXlink) {
    if (place.RootName == tCoverPlace::npos) return tCoverEdit::Unclear;
    edits.push_back({place.RootName, place.RootName, " xmlns:" + prefix + "=\"" + std::string(kXlink) + "\""});
  }
  const std::string href = prefix + ":href=" + value;
  const std::string image = "<" + place.Prefix + "image " + href + "/>";
  const std::string coverPage = "<" + place.Prefix + "coverpage>" + image + "</" + place.Prefix + "coverpage>";
  if (place.CoverPage.Found && place.HasImage) {
    edits.push_back({place.ImageName, place.ImageName, " " + href});
  } else if (place.CoverPage.Found && place.CoverPageClose != tCoverPlace::npos) {
    edits.push_back({place.CoverPageClose, place.CoverPageClose, image});
  } else if (place.CoverPage.Found) {  // <coverpage/>
    edits.push_back({place.CoverPage.Start, place.CoverPage.End, coverPage});
  } else if (place.LastBefore.Found) {
    const std::uint64_t at = place.LastBefore.End;
    edits.push_back({at, at, Indentation(place.LastBefore, bytesAt) + coverPage});
  } else if (place.First.Found) {
    const std::uint64_t at = place.First.Start;
    edits.push_back({at, at, coverPage + Indentation(place.First, bytesAt)});
  } else {
    edits.push_back({place.TitleInfoClose, place.TitleInfoClose, coverPage});
  }
  return tCoverEdit::Done;
}
