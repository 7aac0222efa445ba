// K2ENABLE and K3ENABLE: the SIM-status text and the radio module's state. Each answers by
// itself while its setting is on, and otherwise hands back the host's own answer.
#include "overrides/replacements.h"
#include "settings/settings.h"

PlatformImp previous_K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_;
PlatformImp previous_K3ENABLE_STTelephonyStateProvider_isRadioModuleDead;
PlatformImp previous_K3ENABLE_SBTelephonyManager_isRadioModuleDead;

namespace {

typedef PlatformBool FlagGetter(PlatformId, PlatformSel);

bool radioReportedDead() {
    loadPrefs();
    return settingsFlag(&Settings::k3Enabled);
}

} // namespace

PlatformId K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_(PlatformId self, PlatformSel cmd,
                                                                          PlatformId status) {
    PlatformStrongRef heldStatus(status);
    loadPrefs();
    if (settingsFlag(&Settings::k2Enabled)) {
        PlatformId text = copySettingsText(&Settings::customtext2Enabled);
        if (text) {
            // The very object the settings hold, returned as a getter returns: autoreleased.
            return platformAutorelease(text);
        }
    }
    typedef PlatformId StatusString(PlatformId, PlatformSel, PlatformId);
    return platformTypedImp<StatusString>(
        previous_K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_)(self, cmd, heldStatus.get());
}

PlatformBool K3ENABLE_STTelephonyStateProvider_isRadioModuleDead(PlatformId self, PlatformSel cmd) {
    if (radioReportedDead()) {
        return 1;
    }
    return platformTypedImp<FlagGetter>(previous_K3ENABLE_STTelephonyStateProvider_isRadioModuleDead)(self,
                                                                                                      cmd);
}

PlatformBool K3ENABLE_SBTelephonyManager_isRadioModuleDead(PlatformId self, PlatformSel cmd) {
    if (radioReportedDead()) {
        return 1;
    }
    return platformTypedImp<FlagGetter>(previous_K3ENABLE_SBTelephonyManager_isRadioModuleDead)(self, cmd);
}
