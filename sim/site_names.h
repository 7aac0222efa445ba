// Which of the library's hook sites an interception was for, from the name of the slot it was
// handed: its number, its group and whether it is one of the library's own sites or a release
// site (see library/overrides/hook_sites.h).
#pragma once

#include <optional>
#include <string>

namespace sim {

struct SiteName {
    int number;        // 1 to 19 the library's own sites, from 20 the release sites
    const char *group; // KENABLE ... K5ENABLE
    const char *layer; // "design" or "release"
};

std::optional<SiteName> siteOfSlot(const std::string &slot);

} // namespace sim
