// K5ENABLE: dual SIM forced on. Unlike every other group these neither reload nor look at any
// setting: once installed they act until the host process ends.
#include "overrides/replacements.h"

// Filled at install time like every slot; the two getters answer by themselves and never read them.
PlatformImp previous_K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_;
PlatformImp previous_K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled;
PlatformImp previous_K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_;
PlatformImp previous_K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_;

namespace {
typedef void FlagSetter(PlatformId, PlatformSel, PlatformBool);
}

PlatformId K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_(PlatformId, PlatformSel,
                                                                          PlatformId info) {
    // The same object that came in, under the getter convention (+0, autoreleased).
    return platformAutorelease(platformRetain(info));
}

PlatformBool K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled(PlatformId, PlatformSel) {
    return 1;
}

void K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_(PlatformId self, PlatformSel cmd,
                                                                PlatformBool) {
    platformTypedImp<FlagSetter>(previous_K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_)(self,
                                                                                                      cmd, 1);
}

void K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_(PlatformId self, PlatformSel cmd,
                                                                    PlatformBool) {
    platformTypedImp<FlagSetter>(previous_K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_)(
        self, cmd, 1);
}
