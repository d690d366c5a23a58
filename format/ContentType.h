// What kind of image a file's bytes hold, and the content type an added
// element is written with. Header-only, so that the command-line host, which
// never links the plug-in's code, tells types by the same rule.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "format/BookFormat.h"

struct tImageKind {
  std::string_view Label;        // "PNG"; empty when the bytes show no known kind
  std::string_view ContentType;  // "image/png"
};

inline constexpr std::string_view kUnknownContentType = "application/octet-stream";
// No type written is longer: what an element may need is known before its
// content is read.
inline constexpr std::size_t kMaxContentTypeLength = kUnknownContentType.size();

// True when the first element of an XML document is <svg>: only white
// space, an XML declaration, processing instructions, comments and a doctype
// may stand before it. An HTML page that shows an <svg> is no SVG file.
inline bool IsSvgDocument(std::string_view text) {
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
      const std::size_t subset = rest.find('['), close = rest.find('>');
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

// The kind of image the first bytes of a file show.
inline tImageKind SniffImage(std::string_view head) {
  auto starts = [&](std::size_t at, std::string_view magic) { return head.substr(at, magic.size()) == magic; };
  if (starts(0, "\xFF\xD8\xFF")) return {"JPEG", "image/jpeg"};
  if (starts(0, "\x89PNG\r\n\x1A\n")) return {"PNG", "image/png"};
  if (starts(0, "GIF87a") || starts(0, "GIF89a")) return {"GIF", "image/gif"};
  if (starts(0, "RIFF") && starts(8, "WEBP")) return {"WebP", "image/webp"};
  if (starts(0, "BM") && head.size() >= 26) return {"BMP", "image/bmp"};
  if (IsSvgDocument(head)) return {"SVG", "image/svg+xml"};
  return {};
}

// From the file's first bytes, else from the name's extension, else
// application/octet-stream.
std::string ContentTypeOf(const std::string& content, const std::string& name);
