#include "format/StartTag.h"

#include "CharHandlers/CharHandlers.h"
#include "textutil/Ascii.h"
#include "textutil/StrUtil.h"

tStartTag ReadStartTag(std::string_view tagText) {
  tGetTag tag;
  for (char c : tagText) tag.Put(static_cast<std::uint8_t>(c));
  tag.Put('>');
  return {Unquote(tag.GetAttribute("id")), !tagText.empty() && tagText.back() == '/',
          Unquote(tag.GetAttribute("content-type"))};
}

bool WithContentType(std::string_view tagText, std::string_view type, std::string& tag) {
  static constexpr std::string_view kKey = "content-type=";
  tag.assign(tagText);
  // A "/" that stands alone at the end closes the tag; one inside an
  // unquoted value (id=a/) is that value's.
  if (tag.size() > 1 && tag.back() == '/') {
    const char before = tag[tag.size() - 2];
    if (IsBlank(static_cast<unsigned char>(before)) || before == '"' || before == '\'') {
      tag.pop_back();
      while (!tag.empty() && IsBlank(static_cast<unsigned char>(tag.back()))) tag.pop_back();
    }
  }
  const std::string attribute = std::string(kKey) + '"' + std::string(type) + '"';
  // The attributes as the start-tag reader splits them: at blanks, except
  // inside a value quoted right after its "=", which ends at its quote.
  std::size_t i = 0;
  while (i < tag.size() && !IsBlank(static_cast<unsigned char>(tag[i]))) ++i;  // the tag's name
  while (i < tag.size()) {
    while (i < tag.size() && IsBlank(static_cast<unsigned char>(tag[i]))) ++i;
    const std::size_t start = i;
    char quote = 0;
    for (; i < tag.size(); ++i) {
      const char c = tag[i];
      if (quote != 0) {
        if (c == quote) {
          quote = 0;
          ++i;
          break;
        }
      } else if (IsBlank(static_cast<unsigned char>(c))) {
        break;
      } else if ((c == '"' || c == '\'') && i > start && tag[i - 1] == '=') {
        quote = c;
      }
    }
    bool isKey = i - start > kKey.size();  // the reader takes the first with a value
    for (std::size_t k = 0; isKey && k < kKey.size(); ++k) isKey = AsciiLower(tag[start + k]) == kKey[k];
    if (isKey) {
      tag.replace(start, i - start, attribute);
      if (tag.ends_with('/')) tag += ' ';
      return true;
    }
    if (quote != 0 && i == tag.size()) return false;
  }
  tag += ' ';
  tag += attribute;
  return true;
}
