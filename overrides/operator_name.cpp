// KENABLE and K1ENABLE: layers on the operator-name setters. Each reloads, chooses the name to
// pass inward, and calls the implementation it displaced, with the context untouched. The
// innermost layer that substitutes a name therefore decides what the host receives.
#include "overrides/replacements.h"
#include "settings/settings.h"

HostImp previous_KENABLE_SBTelephonyManager_setOperatorName_;
HostImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_;
HostImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
HostImp previous_KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
HostImp previous_KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;
HostImp previous_K1ENABLE_SBTelephonyManager_setOperatorName_;
HostImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_;
HostImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
HostImp previous_K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
HostImp previous_K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;

namespace {

typedef void NameSetter(HostId, HostSel, HostId);
typedef void NameInContextSetter(HostId, HostSel, HostId, HostId);

// The name the custom-text layer passes inward. It holds its own reference to the custom text
// until the inner call has returned, so a reload on another thread cannot free it meanwhile.
class CustomOperatorName {
  public:
    explicit CustomOperatorName(HostId incoming)
        : custom_(HostStrongRef::adopt(loadCustomText())), incoming_(incoming) {}
    HostId name() const { return custom_.get() ? custom_.get() : incoming_; }

  private:
    static HostId loadCustomText() {
        loadPrefs();
        return settingsFlag(&Settings::kEnabled) ? copySettingsText(&Settings::customtextEnabled) : nullptr;
    }
    HostStrongRef custom_;
    HostId incoming_;
};

HostId hiddenOperatorName(HostId incoming) {
    loadPrefs();
    return settingsFlag(&Settings::k1Enabled) ? nullptr : incoming;
}

} // namespace

void KENABLE_SBTelephonyManager_setOperatorName_(HostId self, HostSel cmd, HostId name) {
    CustomOperatorName chosen(name);
    hostTypedImp<NameSetter>(previous_KENABLE_SBTelephonyManager_setOperatorName_)(self, cmd, chosen.name());
}

void KENABLE_SBTelephonyManager_reallySetOperatorName_(HostId self, HostSel cmd, HostId name) {
    CustomOperatorName chosen(name);
    hostTypedImp<NameSetter>(previous_KENABLE_SBTelephonyManager_reallySetOperatorName_)(self, cmd,
                                                                                         chosen.name());
}

void KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                             HostId name, HostId context) {
    CustomOperatorName chosen(name);
    hostTypedImp<NameInContextSetter>(
        previous_KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, chosen.name(), context);
}

void KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                                   HostId name,
                                                                                   HostId context) {
    CustomOperatorName chosen(name);
    hostTypedImp<NameInContextSetter>(
        previous_KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, chosen.name(), context);
}

void KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                             HostId name, HostId context) {
    CustomOperatorName chosen(name);
    hostTypedImp<NameInContextSetter>(
        previous_KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_)(
        self, cmd, chosen.name(), context);
}

void K1ENABLE_SBTelephonyManager_setOperatorName_(HostId self, HostSel cmd, HostId name) {
    hostTypedImp<NameSetter>(previous_K1ENABLE_SBTelephonyManager_setOperatorName_)(self, cmd,
                                                                                    hiddenOperatorName(name));
}

void K1ENABLE_SBTelephonyManager_reallySetOperatorName_(HostId self, HostSel cmd, HostId name) {
    hostTypedImp<NameSetter>(previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_)(
        self, cmd, hiddenOperatorName(name));
}

void K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                              HostId name, HostId context) {
    hostTypedImp<NameInContextSetter>(
        previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, hiddenOperatorName(name), context);
}

void K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                                    HostId name,
                                                                                    HostId context) {
    hostTypedImp<NameInContextSetter>(
        previous_K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, hiddenOperatorName(name), context);
}

void K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                              HostId name, HostId context) {
    hostTypedImp<NameInContextSetter>(
        previous_K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_)(
        self, cmd, hiddenOperatorName(name), context);
}
