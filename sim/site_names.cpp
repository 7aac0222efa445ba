#include "sim/site_names.h"

#include "library/overrides/hook_sites.h"

namespace sim {
namespace {

struct Row {
    const char *group;
    const char *slot;
};

#define SITE_ROW(group, cls, selector, replacement, ...) {#group, "previous_" #replacement},
constexpr Row designRows[] = {BRINDLEWICK_HOOK_SITES(SITE_ROW)};
constexpr Row releaseRows[] = {BRINDLEWICK_RELEASE_SITES(SITE_ROW)};
#undef SITE_ROW

} // namespace

std::optional<SiteName> siteOfSlot(const std::string &slot) {
    int number = 0;
    for (const Row &row : designRows) {
        ++number;
        if (slot == row.slot) {
            return SiteName{number, row.group, "design"};
        }
    }
    for (const Row &row : releaseRows) {
        ++number;
        if (slot == row.slot) {
            return SiteName{number, row.group, "release"};
        }
    }
    return std::nullopt;
}

} // namespace sim
