#include "library/activation/eligibility.h"

#include "platform/foundation.h"

namespace {

bool contains(PlatformId text, const char *literal) {
    return platformRangeOfString(text, literal).location != platformNotFound;
}

// Exact names of system services that link UIKit but draw no status bar of their own.
const char *const excludedExecutables[] = {
    "AdSheet",
    "CoreAuthUI",
    "InCallService",
    "MessagesNotificationViewService",
};

bool isExcludedExecutable(PlatformId executablePath, PlatformId executableName) {
    for (const char *name : excludedExecutables) {
        if (platformStringEquals(executableName, name)) {
            return true;
        }
    }
    return contains(executablePath, ".appex/");
}

// The launch arguments come through the class found by name; without it the list is absent.
PlatformId processArguments() {
    return platformProcessArguments(platformProcessInfoOfClass(platformClassFromString("NSProcessInfo")));
}

} // namespace

bool processIsEligible() {
    PlatformId info = platformProcessInfo();
    if (!info) {
        return false;
    }
    // The literal is the receiver, so an absent name answers false and never raises.
    bool isSpringBoard = platformLiteralEquals("SpringBoard", platformProcessName(info));

    // Even SpringBoard is not served without a path to look at.
    PlatformId arguments = processArguments();
    if (platformCount(arguments) == 0) {
        return false;
    }
    PlatformId executablePath = platformObjectAtIndexedSubscript(arguments, 0);
    if (!executablePath) {
        return false;
    }
    PlatformId executableName = platformLastPathComponent(executablePath);

    bool isApplication =
        contains(executablePath, "/Application/") || contains(executablePath, "/Applications/");
    bool isFileProvider = contains(platformLowercaseString(executableName), "fileprovider");
    bool isExcluded = isExcludedExecutable(executablePath, executableName);

    return (!isFileProvider && isApplication && !isExcluded) || isSpringBoard;
}
