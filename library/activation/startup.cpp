#include "library/activation/startup.h"

#include "library/activation/eligibility.h"
#include "library/activation/hook_table.h"
#include "library/settings/settings.h"
#include "platform/foundation.h"
#include "platform/notify.h"

namespace {

// Whether the facility filled a slot of the group's in `table`: the release had that method.
bool foundIn(int group, const HookSite *table, int count) {
    for (int index = 0; index < count; ++index) {
        if (table[index].group == group && *table[index].slot) {
            return true;
        }
    }
    return false;
}

// Whether the group's own sites found their methods, as the release's runtime has them.
bool foundItsMethods(int group) {
    return foundIn(group, hookSites, hookSiteCount);
}

// A release site that names a class the process must have is its group's last resort: tried, as
// every release site, only where the group's own sites found nothing, and then only where none of
// its release sites before it found its method either and the process has that class.
bool lastResortWanted(const HookSite &site) {
    return !foundIn(site.group, releaseSites, releaseSiteCount) && objc_getClass(site.onlyWith);
}

// Installs the sites of `group` in `table` in order, `first` being the index of the table's first
// site. The class is looked up once per group, just before its first site; an absent class still
// goes to the facility, which then replaces nothing and leaves the slot empty.
void installGroup(int group, const HookSite *table, int count, int first) {
    const char *lookedUp = nullptr;
    PlatformClass cls = nullptr;
    for (int index = 0; index < count; ++index) {
        const HookSite &site = table[index];
        if (site.group != group || (site.onlyWith && !lastResortWanted(site))) {
            continue;
        }
        if (!lookedUp || !platformSameText(lookedUp, site.hostClass)) {
            lookedUp = site.hostClass;
            cls = objc_getClass(site.hostClass);
        }
        MSHookMessageEx(cls, sel_registerName(site.selector), siteReplacement(first + index), site.slot);
    }
}

// Installs the sites of every group whose flag the first load turned on, in table order; then,
// for each of those groups whose release has none of its methods, its release sites. The flags
// are read once, so a reload on the notification's thread meanwhile cannot split a group.
void installEnabledGroups() {
    bool enabled[hookGroupCount];
    for (int group = 0; group < hookGroupCount; ++group) {
        enabled[group] = settingsFlag(hookGroups[group].flag);
    }
    for (int group = 0; group < hookGroupCount; ++group) {
        if (enabled[group]) {
            installGroup(group, hookSites, hookSiteCount, 0);
        }
    }
    for (int group = 0; group < hookGroupCount; ++group) {
        if (enabled[group] && !foundItsMethods(group)) {
            installGroup(group, releaseSites, releaseSiteCount, hookSiteCount);
        }
    }
}

} // namespace

void startUp() {
    // A module initializer runs before the host has a pool in place.
    void *pool = platformAutoreleasePoolPush();

    // The observer is never removed and the registration's outcome is not needed: every reloading
    // replacement reads the file again anyway. The centre is asked for first, as the registration's
    // first argument, whatever order a compiler evaluates arguments in.
    PlatformNotifyCenter center = CFNotificationCenterGetDarwinNotifyCenter();
    PlatformId name = platformConstantString(BRINDLEWICK_CHANGE_NOTIFICATION);
    CFNotificationCenterAddObserver(center, nullptr, receivedNotification, name, nullptr,
                                    platformSuspensionBehaviorCoalesce);
    loadPrefs();
    if (processIsEligible()) {
        installEnabledGroups();
    }

    platformAutoreleasePoolPop(pool);
}
