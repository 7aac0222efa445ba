// The nineteen replacement methods, one per hook site, each named after its group, class and
// selector (colons become underscores, a leading underscore is dropped), and each with the slot
// that holds the implementation it displaced, one line a site. A slot is filled once, at install
// time, and only read afterwards; a replacement calls no slot but its own.
#pragma once

#include "platform/objects.h"

// clang-format off
// KENABLE: the custom operator name.
void KENABLE_SBTelephonyManager_setOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name);
void KENABLE_SBTelephonyManager_reallySetOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name);
void KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
void KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
void KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
extern PlatformImp previous_KENABLE_SBTelephonyManager_setOperatorName_;
extern PlatformImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_;
extern PlatformImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
extern PlatformImp previous_KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
extern PlatformImp previous_KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;

// K1ENABLE: no operator name.
void K1ENABLE_SBTelephonyManager_setOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name);
void K1ENABLE_SBTelephonyManager_reallySetOperatorName_(PlatformId self, PlatformSel cmd, PlatformId name);
void K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
void K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
void K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
extern PlatformImp previous_K1ENABLE_SBTelephonyManager_setOperatorName_;
extern PlatformImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_;
extern PlatformImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
extern PlatformImp previous_K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
extern PlatformImp previous_K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;

// K2ENABLE: the custom SIM-status text.
PlatformId K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_(PlatformId self, PlatformSel cmd, PlatformId status);
extern PlatformImp previous_K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_;

// K3ENABLE: the radio module reported dead.
PlatformBool K3ENABLE_STTelephonyStateProvider_isRadioModuleDead(PlatformId self, PlatformSel cmd);
PlatformBool K3ENABLE_SBTelephonyManager_isRadioModuleDead(PlatformId self, PlatformSel cmd);
extern PlatformImp previous_K3ENABLE_STTelephonyStateProvider_isRadioModuleDead;
extern PlatformImp previous_K3ENABLE_SBTelephonyManager_isRadioModuleDead;

// K4ENABLE: the Wi-Fi address as operator name.
void K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
void K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context);
extern PlatformImp previous_K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
extern PlatformImp previous_K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;

// K5ENABLE: dual SIM forced on. These never reload the settings.
PlatformId K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_(PlatformId self, PlatformSel cmd, PlatformId info);
PlatformBool K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled(PlatformId self, PlatformSel cmd);
void K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_(PlatformId self, PlatformSel cmd, PlatformBool enabled);
void K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_(PlatformId self, PlatformSel cmd, PlatformBool enabled);
extern PlatformImp previous_K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_;
extern PlatformImp previous_K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled;
extern PlatformImp previous_K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_;
extern PlatformImp previous_K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_;

// The address of en0 as dotted-decimal text, or "error" when there is none; never null.
PlatformId wifiAddressText();
// clang-format on
