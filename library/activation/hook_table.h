// The hook groups and their sites, in install order, as the site table (overrides/hook_sites.h) lists them.
#pragma once

#include "library/settings/settings.h"
#include "platform/objects.h"

// A set of replacements installed together when its flag is on at start-up.
struct HookGroup {
    PlatformBool Settings::*flag;
};

// One replaced method: the host class (looked up by name at install time), the selector, and the
// slot that receives the implementation its replacement displaces.
struct HookSite {
    int group; // index into hookGroups
    const char *hostClass;
    const char *selector;
    PlatformImp *slot;
    // A class the process must have for a release site to be tried at all, or null (see
    // overrides/hook_sites.h).
    const char *onlyWith;
};

enum { hookGroupCount = 6, hookSiteCount = 19, releaseSiteCount = 9 };

extern const HookGroup hookGroups[hookGroupCount];
extern const HookSite hookSites[hookSiteCount];
// Installed only for a group none of whose sites above found its method (see overrides/hook_sites.h).
extern const HookSite releaseSites[releaseSiteCount];

// The replacement of site `index`, counted through both tables (the release sites from
// hookSiteCount on), its address taken in code. Stored in the table it would
// be a signed pointer on arm64e, which the loader would have to sign and no Debian linker can write.
PlatformImp siteReplacement(int index);
