#include "format/ContentType.h"

#include <cstring>

#include "format/BookFormat.h"

namespace {

// True when the first element of an XML document is <svg>: only white
// space, an XML declaration, processing instructions, comments and a doctype
// may stand before it. An HTML page that shows an <svg> is no SVG file.
bool IsSvg(std::string_view text) {
  std::size_t at = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (;;) {
    while (at < text.size() && IsBlank(static_cast<unsigned char>(text[at]))) ++at;
    const std::string_view rest = text.substr(at);
    std::size_t end = std::string_view::npos;
    if (rest.substr(0, 2) == "<?") {
      end = rest.find("?>");
      if (end != std::string_view::npos) end += 2;
    } else if (rest.substr(0, 4) == "<!--") {
      end = rest.find("-->", 4);
      if (end != std::string_view::npos) end += 3;
    } else if (rest.substr(0, 9) == "<!DOCTYPE") {
      // An internal subset may hold '>' of its own.
      const std::size_t subset = rest.find('[');
      const std::size_t close = rest.find('>');
      end = subset < close ? rest.find("]>", subset) : close;
      if (end != std::string_view::npos) end += rest[end] == ']' ? 2 : 1;
    } else {
      return rest.size() > 4 && rest.substr(0, 4) == "<svg" &&
             (rest[4] == '>' || rest[4] == '/' || IsBlank(static_cast<unsigned char>(rest[4])));
    }
    if (end == std::string_view::npos) return false;
    at += end;
  }
}

}  // namespace

std::string ContentTypeOf(const std::string& content, const std::string& name) {
  auto starts = [&](std::size_t at, const char* magic, std::size_t n) {
    return content.size() >= at + n && std::memcmp(content.data() + at, magic, n) == 0;
  };
  if (starts(0, "\xFF\xD8\xFF", 3)) return "image/jpeg";
  if (starts(0, "\x89PNG\r\n\x1A\n", 8)) return "image/png";
  if (starts(0, "GIF87a", 6) || starts(0, "GIF89a", 6)) return "image/gif";
  if (starts(0, "RIFF", 4) && starts(8, "WEBP", 4)) return "image/webp";
  if (starts(0, "BM", 2) && content.size() >= 26) return "image/bmp";
  if (IsSvg(content)) return "image/svg+xml";
  static const struct {
    const char* extension;
    const char* type;
  } kTypes[] = {{"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"jpe", "image/jpeg"},  {"png", "image/png"},
                {"gif", "image/gif"},  {"bmp", "image/bmp"},   {"webp", "image/webp"}, {"svg", "image/svg+xml"}};
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (const auto& known : kTypes) {
      if (extension == known.extension) return known.type;
    }
  }
  return std::string(kUnknownContentType);
}
