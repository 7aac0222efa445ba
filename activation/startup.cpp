#include "activation/startup.h"

#include "activation/eligibility.h"
#include "activation/hook_table.h"
#include "platform/foundation.h"
#include "platform/notify.h"
#include "settings/settings.h"

namespace {

// Installs the sites of every group whose flag the first load turned on, in table order. Each
// class is looked up once per group, just before its first site; an absent class still goes to
// the facility, which then replaces nothing and leaves the slot empty.
void installEnabledGroups() {
    for (int group = 0; group < hookGroupCount; ++group) {
        if (!settingsFlag(hookGroups[group].flag)) {
            continue;
        }
        const char *lookedUp = nullptr;
        PlatformClass cls = nullptr;
        for (int index = 0; index < hookSiteCount; ++index) {
            const HookSite &site = hookSites[index];
            if (site.group != group) {
                continue;
            }
            if (!lookedUp || !platformSameText(lookedUp, site.hostClass)) {
                lookedUp = site.hostClass;
                cls = objc_getClass(site.hostClass);
            }
            MSHookMessageEx(cls, sel_registerName(site.selector), siteReplacement(index), site.slot);
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
