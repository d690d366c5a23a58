#include "format/BookFormat.h"

#include "format/ContentType.h"
#include "format/EntryName.h"
#include "format/StartTag.h"

bool HeadIsBook(std::string_view head) {
  if (head.starts_with(kZipStart)) return false;
  head = head.substr(0, kHeadSize);
  for (std::size_t at = head.find(kRootStart); at != std::string_view::npos; at = head.find(kRootStart, at + 1)) {
    const std::size_t after = at + kRootStart.size();
    if (after < head.size() && (head[after] == kTagEnd || IsBlank(static_cast<unsigned char>(head[after])))) {
      return true;
    }
  }
  return false;
}

bool HeadAllowsRewrite(std::string_view text) {
  return !text.starts_with(kZipStart) && text.substr(0, kHeadSize).find(kRootStart) != std::string_view::npos;
}

std::uint64_t ElementEnd(bool closesItself, std::uint64_t close, std::uint64_t endTag, std::uint64_t nextStart) {
  constexpr std::uint64_t npos = ~std::uint64_t{0};
  if (closesItself) return close + 1;
  if (endTag == npos || (nextStart != npos && nextStart < endTag)) return npos;
  return endTag + kBinaryEnd.size();
}

namespace {
constexpr std::string_view kIdStart = " id=\"", kTypeStart = "\" content-type=\"", kContentStart = "\">",
                           kLineEnd = "\r\n";
}  // namespace

std::uint64_t ElementLength(std::uint64_t idLength, std::uint64_t base64Length) {
  return kBinaryStart.size() + kIdStart.size() + idLength + kTypeStart.size() + kMaxContentTypeLength +
         kContentStart.size() + base64Length + kBinaryEnd.size() + kLineEnd.size();
}

std::size_t AppendElement(std::string& out, const std::string& writtenId, const std::string& contentType,
                          const std::string& base64, bool lineEnd) {
  out.append(kBinaryStart).append(kIdStart).append(writtenId).append(kTypeStart).append(contentType);
  const std::size_t close = out.size() + 1;
  out.append(kContentStart).append(base64).append(kBinaryEnd);
  if (lineEnd) out.append(kLineEnd);
  return close;
}

void AppendInPlaceOf(std::string& out, std::string_view tagText, const std::string& id, const std::string& contentType,
                     const std::string& base64) {
  std::string tag;
  if (!WithContentType(tagText, contentType, tag)) {
    AppendElement(out, DoubleQuotedId(id), contentType, base64, false);
    return;
  }
  out.append(tag).append(1, kTagEnd).append(base64).append(kBinaryEnd);
}

namespace {
constexpr bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The spaces and tabs at the end of before, and whether a line break stands
// before them.
std::size_t IndentBefore(std::string_view before, bool& atLineStart) {
  std::size_t n = 0;
  while (n < before.size() && IsSpace(before[before.size() - 1 - n])) ++n;
  atLineStart = n < before.size() && before[before.size() - 1 - n] == '\n';
  return n;
}
}  // namespace

tLineReach RemovalReach(std::string_view before, std::string_view after) {
  bool atLineStart = false;
  const std::size_t back = IndentBefore(before, atLineStart);
  if (!atLineStart) return {};
  std::size_t forward = 0;
  while (forward < after.size() && IsSpace(after[forward])) ++forward;
  if (after.substr(forward).starts_with("\r\n")) return {back, forward + 2};
  if (after.substr(forward).starts_with("\n")) return {back, forward + 1};
  return {};
}

tAddedPlace AddedPlace(std::string_view before) {
  bool atLineStart = false;
  const std::size_t back = IndentBefore(before, atLineStart);
  return atLineStart ? tAddedPlace{back, true} : tAddedPlace{0, false};
}
