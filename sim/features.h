// The library's features as the simulator names them, from the one table of them
// (library/settings/preferences.h): each one's flag, its hook group, the text it shows where it has one of
// its own, and its name, as Settings and the release table give it.
#pragma once

#include <string_view>
#include <vector>

namespace sim {

struct Feature {
    const char *flag;
    const char *group;
    const char *text; // null where the feature has no text of its own
    const char *name;
};

const std::vector<Feature> &features();
// The feature a preference key belongs to, as its flag or its text; null for no key of them.
const Feature *featureOfKey(std::string_view key);

} // namespace sim
