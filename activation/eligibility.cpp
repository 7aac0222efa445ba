#include "activation/eligibility.h"

#include "host/foundation.h"

namespace {

bool contains(HostId text, const char *literal) {
    return hostRangeOfString(text, literal).location != hostNotFound;
}

// Exact names of system services that link UIKit but draw no status bar of their own.
const char *const excludedExecutables[] = {
    "AdSheet",
    "CoreAuthUI",
    "InCallService",
    "MessagesNotificationViewService",
};

bool isExcludedExecutable(HostId executablePath, HostId executableName) {
    for (const char *name : excludedExecutables) {
        if (hostStringEquals(executableName, name)) {
            return true;
        }
    }
    return contains(executablePath, ".appex/");
}

} // namespace

ProcessIdentity readProcessIdentity() {
    ProcessIdentity identity = {0, nullptr, nullptr};
    HostId info = hostProcessInfo();
    if (!info) {
        return identity;
    }
    identity.hasProcessInfo = 1;
    identity.processName = hostProcessName(info);
    // The arguments come through the class found by name; without it the list is absent.
    identity.arguments = hostProcessArguments(hostProcessInfoOfClass(hostClassFromString("NSProcessInfo")));
    return identity;
}

bool processIsEligible(const ProcessIdentity &identity) {
    if (!identity.hasProcessInfo) {
        return false;
    }
    // A null name answers false: the home-screen test never fails on an absent name.
    bool isSpringBoard = hostStringEquals(identity.processName, "SpringBoard");

    // Even SpringBoard is not served without a path to look at.
    if (hostCount(identity.arguments) == 0) {
        return false;
    }
    HostId executablePath = hostObjectAtIndexedSubscript(identity.arguments, 0);
    if (!executablePath) {
        return false;
    }
    HostId executableName = hostLastPathComponent(executablePath);

    bool isApplication =
        contains(executablePath, "/Application/") || contains(executablePath, "/Applications/");
    bool isFileProvider = contains(hostLowercaseString(executableName), "fileprovider");
    bool isExcluded = isExcludedExecutable(executablePath, executableName);

    return (!isFileProvider && isApplication && !isExcluded) || isSpringBoard;
}
