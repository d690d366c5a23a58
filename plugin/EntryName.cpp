#include "plugin/EntryName.h"

#include "textutil/StrUtil.h"

std::string DecodeXmlReferences(const std::string& s) {
  static const struct {
    const char* ref;
    std::size_t length;
    char byte;
  } kRefs[] = {{"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};
  if (s.find('&') == std::string::npos) return s;
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    bool replaced = false;
    if (s[i] == '&') {
      for (const auto& r : kRefs) {
        if (s.compare(i, r.length, r.ref) == 0) {
          out += r.byte;
          i += r.length;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += s[i++];
  }
  return out;
}

std::string EscapeId(const std::string& id) {
  std::string out;
  out.reserve(id.size());
  for (char c : id) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ReportedName(const tGetTag& tag) {
  std::string name = DecodeXmlReferences(Unquote(tag.GetAttribute("id")));
  if (name.size() > kMaxReportedName) name.resize(kMaxReportedName);
  bool dotsOnly = true;
  for (char& c : name) {
    auto b = static_cast<unsigned char>(c);
    if (b < 32 || c == '\\' || c == '/' || c == ':') c = '_';
    if (c != '.') dotsOnly = false;
  }
  // "." and ".." would name the destination folder or its parent.
  if (dotsOnly) {
    for (char& c : name) c = '_';
  }
  return name;
}

std::string ReportedNameOf(const char* tagText, std::size_t length) {
  tGetTag tag;
  for (std::size_t i = 0; i < length; ++i) tag.Put(static_cast<std::uint8_t>(tagText[i]));
  tag.Put('>');
  return ReportedName(tag);
}
