// The IPv4 address of the Wi-Fi interface, as the Wi-Fi layer passes it on as the operator name.
#include "library/overrides/replacements.h"
#include "platform/foundation.h"
#include "platform/interfaces.h"

PlatformId wifiAddressText() {
    PlatformId result = platformStringWithUTF8String("error");
    PlatformInterface list = nullptr;
    if (platformGetInterfaces(&list) == 0) {
        for (PlatformInterface entry = list; entry; entry = platformInterfaceNext(entry)) {
            if (platformInterfaceFamily(entry) != platformAddressFamilyIPv4) {
                continue;
            }
            // A name that is not valid UTF-8 makes no string, and a null string equals nothing.
            if (!platformStringEquals(platformStringWithUTF8String(platformInterfaceName(entry)), "en0")) {
                continue;
            }
            // inet_ntoa's buffer is shared by the whole process: copy it before anything else runs.
            // The walk goes on, so the last address of en0 in list order is the one shown.
            result = platformStringWithUTF8String(platformInetNtoa(platformInterfaceIPv4Address(entry)));
        }
    }
    // Also after a failed query, with the list still null.
    platformFreeInterfaces(list);
    return result;
}
