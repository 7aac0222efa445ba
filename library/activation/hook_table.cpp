#include "library/activation/hook_table.h"

#include "library/overrides/replacements.h"

// The groups, named as the site table names them, in the order start-up considers them, each gated
// by its feature's flag.
namespace {
#define GROUP_NAME(unused, flag, group, text, name) group,
enum { BRINDLEWICK_FEATURES(GROUP_NAME, ) };
#undef GROUP_NAME
} // namespace

#define GROUP_ROW(unused, flag, group, text, name) {&Settings::flag},
const HookGroup hookGroups[hookGroupCount] = {BRINDLEWICK_FEATURES(GROUP_ROW, )};
#undef GROUP_ROW

// A design row has no last column: its condition is null.
#define SITE_CONDITION(...) SITE_CONDITION_OR_NULL(__VA_ARGS__ __VA_OPT__(, ) nullptr)
#define SITE_CONDITION_OR_NULL(condition, ...) condition
#define SITE_ROW(group, cls, selector, replacement, layer, takes, ...)                                       \
    {group, #cls, selector, &previous_##replacement, SITE_CONDITION(__VA_ARGS__)},
const HookSite hookSites[hookSiteCount] = {BRINDLEWICK_HOOK_SITES(SITE_ROW)};
const HookSite releaseSites[releaseSiteCount] = {BRINDLEWICK_RELEASE_SITES(SITE_ROW)};
#undef SITE_ROW
#undef SITE_CONDITION_OR_NULL
#undef SITE_CONDITION

// A table shorter than its count would leave all-zero rows that start-up reads as sites.
#define SITE_COUNT(group, cls, selector, replacement, layer, ...) +1
static_assert(0 BRINDLEWICK_HOOK_SITES(SITE_COUNT) == hookSiteCount, "a site row is missing or extra");
static_assert(0 BRINDLEWICK_RELEASE_SITES(SITE_COUNT) == releaseSiteCount,
              "a release site row is missing or extra");
#undef SITE_COUNT
static_assert(K5ENABLE + 1 == hookGroupCount && int(hookGroupCount) == int(flagKeyCount),
              "a group for each flag");

PlatformImp siteReplacement(int index) {
    int site = 0;
#define SITE_CODE(group, cls, selector, replacement, layer, ...)                                             \
    if (index == site++) {                                                                                   \
        return reinterpret_cast<PlatformImp>(&replacement);                                                  \
    }
    BRINDLEWICK_HOOK_SITES(SITE_CODE)
    BRINDLEWICK_RELEASE_SITES(SITE_CODE)
#undef SITE_CODE
    return nullptr;
}
