// The binary property-list reader behind readPropertyListDictionary.
#pragma once

#include <string_view>

#include "platform/interfaces.h"

namespace model {

// The root object of a "bplist00" file as a reference the caller owns, or null when the file is
// malformed, refers to an object inside itself, nests deeper than `maximumDepth`, or holds a
// dictionary key that is not text without a NUL character or text that is not Unicode.
PlatformId readBinaryPropertyList(std::string_view bytes, int maximumDepth);

} // namespace model
