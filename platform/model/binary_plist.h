// The binary property-list reader behind readPropertyListDictionary.
#pragma once

#include <string_view>

#include "platform/interfaces.h"

namespace model {

// The root object of a "bplist00" file as a reference the caller owns, or null when the file is
// malformed, refers to an object inside itself, nests deeper than `maximumDepth`, or holds a
// dictionary key that is not text without a NUL character or text that is not Unicode. Where
// `textWithNul` is given, it tells whether a text read, a key or a value, held a NUL character.
PlatformId readBinaryPropertyList(std::string_view bytes, int maximumDepth, bool *textWithNul = nullptr);

} // namespace model
