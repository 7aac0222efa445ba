// K4ENABLE: the IPv4 address of the Wi-Fi interface as operator name. It is the outermost layer
// on its two methods, so the hidden name and the custom text inside it still win.
#include "overrides/replacements.h"
#include "platform/foundation.h"
#include "platform/interfaces.h"
#include "settings/settings.h"

PlatformImp previous_K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
PlatformImp previous_K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;

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

namespace {

typedef void NameInContextSetter(PlatformId, PlatformSel, PlatformId, PlatformId);

PlatformId wifiOperatorName(PlatformId incoming) {
    loadPrefs();
    return settingsFlag(&Settings::k4Enabled) ? wifiAddressText() : incoming;
}

} // namespace

void K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(PlatformId self,
                                                                                    PlatformSel cmd,
                                                                                    PlatformId name,
                                                                                    PlatformId context) {
    platformTypedImp<NameInContextSetter>(
        previous_K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, wifiOperatorName(name), context);
}

void K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(PlatformId self,
                                                                              PlatformSel cmd,
                                                                              PlatformId name,
                                                                              PlatformId context) {
    platformTypedImp<NameInContextSetter>(
        previous_K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, wifiOperatorName(name), context);
}
