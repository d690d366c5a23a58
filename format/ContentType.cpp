#include "format/ContentType.h"

#include "textutil/Ascii.h"

std::string ContentTypeOf(const std::string& content, const std::string& name) {
  if (tImageKind kind = SniffImage(content); !kind.Label.empty()) return std::string(kind.ContentType);
  static const struct {
    const char* extension;
    const char* type;
  } kTypes[] = {{"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"jpe", "image/jpeg"},  {"png", "image/png"},
                {"gif", "image/gif"},  {"bmp", "image/bmp"},   {"webp", "image/webp"}, {"svg", "image/svg+xml"}};
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = AsciiLower(c);
    for (const auto& known : kTypes) {
      if (extension == known.extension) return known.type;
    }
  }
  return std::string(kUnknownContentType);
}
