#include "format/StartTag.h"

#include "CharHandlers/CharHandlers.h"
#include "textutil/StrUtil.h"

tStartTag ReadStartTag(std::string_view tagText) {
  tGetTag tag;
  for (char c : tagText) tag.Put(static_cast<std::uint8_t>(c));
  tag.Put('>');
  return {Unquote(tag.GetAttribute("id")), !tagText.empty() && tagText.back() == '/',
          Unquote(tag.GetAttribute("content-type"))};
}
