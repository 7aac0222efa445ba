// Foundation's property-list kinds as the programs around the library make and read them, the
// property-list reader, and the localized texts of a bundle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/objects.h"

namespace model {

// Foundation's property-list kinds. Each make* returns a reference the caller owns.
PlatformId makeString(std::string_view utf8); // throws PlatformRefusal for text that is not UTF-8
PlatformId makeInteger(int64_t value);
PlatformId makeReal(double value);
PlatformId makeBoolean(bool value);
PlatformId makeDate(double secondsSinceReferenceDate);
PlatformId makeData(std::string bytes);
PlatformId makeArray(const std::vector<PlatformId> &elements);
PlatformId makeDictionary(const std::vector<std::pair<std::string, PlatformId>> &entries);
// An object with no behaviour of its own, printed as "@name".
PlatformId makeToken(std::string name);
std::optional<std::string> stringValue(PlatformId object); // the text of a string, else nothing
// What an object is, told by its kind and never by how it prints, with its value where the kind
// has one: a string's text or a token's name in `text`, a boolean's or an integer's value in
// `integer`. Anything else is `other`, with `text` as it prints.
struct KindOf {
    enum class Kind { nil, string, boolean, integer, token, other } kind;
    std::string text;
    int64_t integer = 0;
};
KindOf kindOf(PlatformId object);
bool isValidUTF8(std::string_view bytes);

// The property-list reader behind initWithContentsOfFile:. Null for anything but a whole,
// well-formed property list with a dictionary root.
PlatformId readPropertyListDictionary(std::string_view bytes);
// The same reading, and whether the file holds a text, a key or a value, with a NUL character:
// only the binary format can hold one, which an XML rewrite would cut short.
struct PropertyListReading {
    PlatformId dictionary = nullptr; // a reference the caller owns, or null
    bool textWithNul = false;
};
PropertyListReading readPropertyList(std::string_view bytes);

// Foundation's bundles, for a host's localized texts: puts `table`, its texts by key, into the
// bundle that bundleForClass: answers for each of `classes` (one bundle for them all, the one any of
// them already has). Any other class has the main bundle, which holds no table.
void addLocalizedTable(const std::vector<std::string> &classes, const std::string &table,
                       const std::vector<std::pair<std::string, std::string>> &texts);

} // namespace model
