// The device's preferences service as far as the programs around the library need it: a preference
// file's bytes, in either encoding, written with libplist, for the tests and the benchmarks.
#pragma once

#include <plist/plist.h>

#include <string>
#include <utility>
#include <vector>

enum class Encoding { xml, binary };

using PrefEntries = std::vector<std::pair<std::string, plist_t>>;

// The bytes of a dictionary property list; takes over the plist values.
std::string encodePreferences(PrefEntries entries, Encoding encoding);
