// The content type an added element is written with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view kUnknownContentType = "application/octet-stream";
// No type written is longer: what an element may need is known before its
// content is read.
inline constexpr std::size_t kMaxContentTypeLength = kUnknownContentType.size();

// From the file's first bytes (JPEG, PNG, GIF, WebP, BMP, or SVG when an
// <svg> element is the document's first), else from the name's extension,
// else application/octet-stream.
std::string ContentTypeOf(const std::string& content, const std::string& name);
