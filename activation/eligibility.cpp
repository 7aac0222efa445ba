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

// The launch arguments come through the class found by name; without it the list is absent.
HostId processArguments() {
    return hostProcessArguments(hostProcessInfoOfClass(hostClassFromString("NSProcessInfo")));
}

} // namespace

bool processIsEligible() {
    HostId info = hostProcessInfo();
    if (!info) {
        return false;
    }
    // The literal is the receiver, so an absent name answers false and never raises.
    bool isSpringBoard = hostLiteralEquals("SpringBoard", hostProcessName(info));

    // Even SpringBoard is not served without a path to look at.
    HostId arguments = processArguments();
    if (hostCount(arguments) == 0) {
        return false;
    }
    HostId executablePath = hostObjectAtIndexedSubscript(arguments, 0);
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
