// K4ENABLE: the IPv4 address of the Wi-Fi interface as operator name. It is the outermost layer
// on its two methods, so the hidden name and the custom text inside it still win.
#include "host/foundation.h"
#include "host/interfaces.h"
#include "overrides/replacements.h"
#include "settings/settings.h"

HostImp previous_K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
HostImp previous_K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;

HostId wifiAddressText() {
    HostId result = hostStringWithUTF8String("error");
    HostInterface list = nullptr;
    if (hostGetInterfaces(&list) == 0) {
        for (HostInterface entry = list; entry; entry = hostInterfaceNext(entry)) {
            if (hostInterfaceFamily(entry) != hostAddressFamilyIPv4) {
                continue;
            }
            // A name that is not valid UTF-8 makes no string, and a null string equals nothing.
            if (!hostStringEquals(hostStringWithUTF8String(hostInterfaceName(entry)), "en0")) {
                continue;
            }
            // inet_ntoa's buffer is shared by the whole process: copy it before anything else runs.
            // The walk goes on, so the last address of en0 in list order is the one shown.
            result = hostStringWithUTF8String(hostInetNtoa(hostInterfaceIPv4Address(entry)));
        }
    }
    // Also after a failed query, with the list still null.
    hostFreeInterfaces(list);
    return result;
}

namespace {

typedef void NameInContextSetter(HostId, HostSel, HostId, HostId);

HostId wifiOperatorName(HostId incoming) {
    loadPrefs();
    return settingsFlag(&Settings::k4Enabled) ? wifiAddressText() : incoming;
}

} // namespace

void K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                                    HostId name,
                                                                                    HostId context) {
    hostTypedImp<NameInContextSetter>(
        previous_K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, wifiOperatorName(name), context);
}

void K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                              HostId name, HostId context) {
    hostTypedImp<NameInContextSetter>(
        previous_K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, wifiOperatorName(name), context);
}
