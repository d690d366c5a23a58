// How an entry is named: the one reading of a start tag that the listing
// reports, and that deletion and replacement compare against.
#pragma once

#include <cstddef>
#include <string>

#include "CharHandlers/CharHandlers.h"

inline constexpr std::size_t kMaxReportedName = 259;

// The name a host is shown for a scanned "<binary" start tag: the unquoted id,
// its predefined XML references turned back into bytes, with every byte that
// could lead a host's write out of its destination folder replaced by "_",
// cut to 259 bytes. Empty when the tag has no usable id.
std::string ReportedName(const tGetTag& tag);

// The same for the bytes of a start tag from "<binary" up to (not including)
// its closing ">".
std::string ReportedNameOf(const char* tagText, std::size_t length);

// Turns &amp; &lt; &gt; &quot; &apos; into their bytes; no other reference.
std::string DecodeXmlReferences(const std::string& s);

// Writes & < > " as references, so a name cannot end the attribute or tag.
std::string EscapeId(const std::string& id);
