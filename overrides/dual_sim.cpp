// K5ENABLE: dual SIM forced on. Unlike every other group these neither reload nor look at any
// setting: once installed they act until the host process ends.
#include "overrides/replacements.h"

// Filled at install time like every slot; the two getters answer by themselves and never read them.
HostImp previous_K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_;
HostImp previous_K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled;
HostImp previous_K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_;
HostImp previous_K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_;

namespace {
typedef void FlagSetter(HostId, HostSel, HostBool);
}

HostId K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_(HostId, HostSel, HostId info) {
    // The same object that came in, under the getter convention (+0, autoreleased).
    return hostAutorelease(hostRetain(info));
}

HostBool K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled(HostId, HostSel) {
    return 1;
}

void K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_(HostId self, HostSel cmd, HostBool) {
    hostTypedImp<FlagSetter>(previous_K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_)(self, cmd,
                                                                                                  1);
}

void K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_(HostId self, HostSel cmd, HostBool) {
    hostTypedImp<FlagSetter>(previous_K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_)(self,
                                                                                                      cmd, 1);
}
