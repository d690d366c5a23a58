#include "format/StartTag.h"

#include <algorithm>
#include <vector>

#include "CharHandlers/CharHandlers.h"
#include "textutil/Ascii.h"
#include "textutil/StrUtil.h"

tStartTag ReadStartTag(std::string_view tagText) {
  tGetTag tag;
  tag.PutString(tagText);
  tag.Put('>');
  return {Unquote(tag.GetAttribute("id")), !tagText.empty() && tagText.back() == '/',
          Unquote(tag.GetAttribute("content-type"))};
}

bool WithContentType(std::string_view tagText, std::string_view type, std::string& tag) {
  static constexpr std::string_view kKey = "content-type=";
  tag.assign(tagText);
  // The attributes as the start-tag reader splits them: at blanks, except
  // inside a value quoted right after its "=", which ends at its quote.
  struct tItem {
    std::size_t From, To;
    bool Open;  // a quoted value that the tag's end cut off
  };
  std::vector<tItem> items;
  std::size_t i = 0;
  while (i < tag.size() && !IsBlank(static_cast<unsigned char>(tag[i]))) ++i;  // the tag's name
  while (i < tag.size()) {
    while (i < tag.size() && IsBlank(static_cast<unsigned char>(tag[i]))) ++i;
    if (i == tag.size()) break;
    const std::size_t from = i;
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
      } else if ((c == '"' || c == '\'') && i > from && tag[i - 1] == '=') {
        quote = c;
      }
    }
    items.push_back({from, i, quote != 0});
  }
  // A "/" that is an item of its own closes the tag; one inside a value
  // (id=a/) is that value's.
  if (!items.empty() && items.back().To - items.back().From == 1 && tag[items.back().From] == '/') {
    tag.erase(items.back().From);
    while (!tag.empty() && IsBlank(static_cast<unsigned char>(tag.back()))) tag.pop_back();
    items.pop_back();
  }
  const std::string attribute = std::string(kKey) + '"' + std::string(type) + '"';
  const auto key = std::find_if(items.begin(), items.end(), [&](const tItem& item) {
    bool is = item.To - item.From > kKey.size();  // the reader takes the first with a value
    for (std::size_t k = 0; is && k < kKey.size(); ++k) is = AsciiLower(tag[item.From + k]) == kKey[k];
    return is;
  });
  if (key != items.end()) {
    tag.replace(key->From, key->To - key->From, attribute);
  } else {
    // Whatever follows a value the tag's end cut off would be read into it.
    if (!items.empty() && items.back().Open) return false;
    tag += ' ';
    tag += attribute;
  }
  if (tag.ends_with('/')) tag += ' ';
  return true;
}
