// The hook groups and their sites, in install order.
#pragma once

#include "host/objects.h"
#include "settings/settings.h"

// A set of replacements installed together when its flag is on at start-up.
struct HookGroup {
    const char *name;
    HostBool Settings::*flag;
};

// One replaced method: the host class (looked up by name at install time), the selector, the
// replacement, and the slot that receives the implementation it displaces.
struct HookSite {
    int group; // index into hookGroups
    const char *hostClass;
    const char *selector;
    HostImp replacement;
    HostImp *slot;
};

enum { hookGroupCount = 6, hookSiteCount = 19 };

extern const HookGroup hookGroups[hookGroupCount];
extern const HookSite hookSites[hookSiteCount];
