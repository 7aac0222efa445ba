// Property lists written with libplist, in either encoding: the preference files of tests and
// benchmarks.
#pragma once

#include <plist/plist.h>

#include <string>
#include <utility>
#include <vector>

enum class Encoding { xml, binary };

using PrefEntries = std::vector<std::pair<std::string, plist_t>>;

// The bytes of a dictionary property list; takes over the plist values.
std::string encodePreferences(PrefEntries entries, Encoding encoding);
