// Deleting entries: the book copied without their elements (each with its
// line, where it stands alone on one).
#pragma once

#include "plugin/Rewrite.h"

namespace fb2pack {

// Deletes the elements listed under names from the book held and mapped.
int DeleteFrom(tHeldBook& book, const tNameSet& names);

}  // namespace fb2pack
