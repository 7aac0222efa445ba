// KENABLE and K1ENABLE: layers on the operator-name setters. Each reloads, chooses the name to
// pass inward, and calls the implementation it displaced, with the context untouched. The
// innermost layer that substitutes a name therefore decides what the host receives.
#include "overrides/replacements.h"
#include "settings/settings.h"

PlatformImp previous_KENABLE_SBTelephonyManager_setOperatorName_;
PlatformImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_;
PlatformImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
PlatformImp previous_KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
PlatformImp previous_KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;
PlatformImp previous_K1ENABLE_SBTelephonyManager_setOperatorName_;
PlatformImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_;
PlatformImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
PlatformImp previous_K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
PlatformImp previous_K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;

namespace {

typedef void NameSetter(PlatformId, PlatformSel, PlatformId);
typedef void NameInContextSetter(PlatformId, PlatformSel, PlatformId, PlatformId);

// The name the custom-text layer passes inward. It holds its own reference to the custom text
// until the inner call has returned, so a reload on another thread cannot free it meanwhile.
class CustomOperatorName {
  public:
    explicit CustomOperatorName(PlatformId incoming)
        : custom_(PlatformStrongRef::adopt(loadCustomText())), incoming_(incoming) {}
    PlatformId name() const { return custom_.get() ? custom_.get() : incoming_; }

  private:
    static PlatformId loadCustomText() {
        loadPrefs();
        return settingsFlag(&Settings::kEnabled) ? copySettingsText(&Settings::customtextEnabled) : nullptr;
    }
    PlatformStrongRef custom_;
    PlatformId incoming_;
};

PlatformId hiddenOperatorName(PlatformId incoming) {
    loadPrefs();
    return settingsFlag(&Settings::k1Enabled) ? nullptr : incoming;
}

} // namespace

void KENABLE_SBTelephonyManager_setOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name) {
    CustomOperatorName chosen(name);
    platformTypedImp<NameSetter>(previous_KENABLE_SBTelephonyManager_setOperatorName_)(self, cmd,
                                                                                       chosen.name());
}

void KENABLE_SBTelephonyManager_reallySetOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name) {
    CustomOperatorName chosen(name);
    platformTypedImp<NameSetter>(previous_KENABLE_SBTelephonyManager_reallySetOperatorName_)(self, cmd,
                                                                                             chosen.name());
}

void KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd,
                                                                             PlatformId name,
                                                                             PlatformId context) {
    CustomOperatorName chosen(name);
    platformTypedImp<NameInContextSetter>(
        previous_KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, chosen.name(), context);
}

void KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(PlatformId self,
                                                                                   PlatformSel cmd,
                                                                                   PlatformId name,
                                                                                   PlatformId context) {
    CustomOperatorName chosen(name);
    platformTypedImp<NameInContextSetter>(
        previous_KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, chosen.name(), context);
}

void KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd,
                                                                             PlatformId name,
                                                                             PlatformId context) {
    CustomOperatorName chosen(name);
    platformTypedImp<NameInContextSetter>(
        previous_KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_)(
        self, cmd, chosen.name(), context);
}

void K1ENABLE_SBTelephonyManager_setOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name) {
    platformTypedImp<NameSetter>(previous_K1ENABLE_SBTelephonyManager_setOperatorName_)(
        self, cmd, hiddenOperatorName(name));
}

void K1ENABLE_SBTelephonyManager_reallySetOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name) {
    platformTypedImp<NameSetter>(previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_)(
        self, cmd, hiddenOperatorName(name));
}

void K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(PlatformId self,
                                                                              PlatformSel cmd,
                                                                              PlatformId name,
                                                                              PlatformId context) {
    platformTypedImp<NameInContextSetter>(
        previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, hiddenOperatorName(name), context);
}

void K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(PlatformId self,
                                                                                    PlatformSel cmd,
                                                                                    PlatformId name,
                                                                                    PlatformId context) {
    platformTypedImp<NameInContextSetter>(
        previous_K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_)(
        self, cmd, hiddenOperatorName(name), context);
}

void K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(PlatformId self,
                                                                              PlatformSel cmd,
                                                                              PlatformId name,
                                                                              PlatformId context) {
    platformTypedImp<NameInContextSetter>(
        previous_K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_)(
        self, cmd, hiddenOperatorName(name), context);
}
