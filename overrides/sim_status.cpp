// K2ENABLE and K3ENABLE: the SIM-status text and the radio module's state. Each answers by
// itself while its setting is on, and otherwise hands back the host's own answer.
#include "overrides/replacements.h"
#include "settings/settings.h"

HostImp previous_K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_;
HostImp previous_K3ENABLE_STTelephonyStateProvider_isRadioModuleDead;
HostImp previous_K3ENABLE_SBTelephonyManager_isRadioModuleDead;

namespace {

typedef HostBool FlagGetter(HostId, HostSel);

bool radioReportedDead() {
    loadPrefs();
    return settingsFlag(&Settings::k3Enabled);
}

} // namespace

HostId K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_(HostId self, HostSel cmd,
                                                                      HostId status) {
    HostStrongRef heldStatus(status);
    loadPrefs();
    if (settingsFlag(&Settings::k2Enabled)) {
        HostId text = copySettingsText(&Settings::customtext2Enabled);
        if (text) {
            // The very object the settings hold, returned as a getter returns: autoreleased.
            return hostAutorelease(text);
        }
    }
    typedef HostId StatusString(HostId, HostSel, HostId);
    return hostTypedImp<StatusString>(
        previous_K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_)(self, cmd, heldStatus.get());
}

HostBool K3ENABLE_STTelephonyStateProvider_isRadioModuleDead(HostId self, HostSel cmd) {
    if (radioReportedDead()) {
        return 1;
    }
    return hostTypedImp<FlagGetter>(previous_K3ENABLE_STTelephonyStateProvider_isRadioModuleDead)(self, cmd);
}

HostBool K3ENABLE_SBTelephonyManager_isRadioModuleDead(HostId self, HostSel cmd) {
    if (radioReportedDead()) {
        return 1;
    }
    return hostTypedImp<FlagGetter>(previous_K3ENABLE_SBTelephonyManager_isRadioModuleDead)(self, cmd);
}
