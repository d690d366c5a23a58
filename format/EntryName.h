// How an entry is named: the one reading of a start tag that the listing
// reports, and that deletion and replacement compare against.
#pragma once

#include <cstddef>
#include <string>

#include "CharHandlers/CharHandlers.h"
#include "textutil/Charset.h"

inline constexpr std::size_t kMaxReportedName = 259;

// The name a host is shown for a scanned "<binary" start tag: the unquoted id
// in the file-name encoding of the system (UTF-8, or the ANSI code page on
// Windows), its bytes read in the book's encoding and its XML references,
// numeric ones too, decoded; a character the system cannot write becomes "_",
// and so does every byte that could lead a host's write out of its
// destination folder; cut to 259 bytes. Bytes that mean no character in the
// book's encoding stay as they are. Empty when the tag has no usable id.
std::string ReportedName(const tGetTag& tag, tCharset charset = tCharset::Utf8);

// The same for the bytes of a start tag from "<binary" up to (not including)
// its closing ">".
std::string ReportedNameOf(const char* tagText, std::size_t length, tCharset charset = tCharset::Utf8);

// The id an added file's name is written as: ASCII as it is, with & < > "
// escaped, every other character as a numeric reference, so that it reads
// right in whatever encoding the book declares. A name that is not valid in
// the system's file-name encoding is written as its bytes.
std::string WrittenId(const std::string& fileName);

// The content type of an added file: from its first bytes, else from the
// name's extension, else application/octet-stream.
std::string ContentTypeOf(const std::string& content, const std::string& name);

// Writes & < > " as references, so a name cannot end the attribute or tag.
std::string EscapeId(const std::string& id);
