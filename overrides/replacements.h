// The nineteen replacement methods, one per hook site, each named after its group, class and
// selector (colons become underscores, a leading underscore is dropped), and each with the slot
// that holds the implementation it displaced. A slot is filled once, at install time, and only
// read afterwards; a replacement calls no slot but its own.
#pragma once

#include "host/objects.h"

// clang-format off: one declaration a line, so the sites read as a list.

// KENABLE: the custom operator name.
void KENABLE_SBTelephonyManager_setOperatorName_(HostId self, HostSel cmd, HostId name);
void KENABLE_SBTelephonyManager_reallySetOperatorName_(HostId self, HostSel cmd, HostId name);
void KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                             HostId name, HostId context);
void KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                                   HostId name,
                                                                                   HostId context);
void KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                             HostId name, HostId context);
extern HostImp previous_KENABLE_SBTelephonyManager_setOperatorName_;
extern HostImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_;
extern HostImp previous_KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
extern HostImp previous_KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
extern HostImp previous_KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;

// K1ENABLE: no operator name.
void K1ENABLE_SBTelephonyManager_setOperatorName_(HostId self, HostSel cmd, HostId name);
void K1ENABLE_SBTelephonyManager_reallySetOperatorName_(HostId self, HostSel cmd, HostId name);
void K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                              HostId name, HostId context);
void K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                                    HostId name,
                                                                                    HostId context);
void K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                              HostId name, HostId context);
extern HostImp previous_K1ENABLE_SBTelephonyManager_setOperatorName_;
extern HostImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_;
extern HostImp previous_K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;
extern HostImp previous_K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
extern HostImp previous_K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_;

// K2ENABLE: the custom SIM-status text.
HostId K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_(HostId self, HostSel cmd,
                                                                      HostId status);
extern HostImp previous_K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_;

// K3ENABLE: the radio module reported dead.
HostBool K3ENABLE_STTelephonyStateProvider_isRadioModuleDead(HostId self, HostSel cmd);
HostBool K3ENABLE_SBTelephonyManager_isRadioModuleDead(HostId self, HostSel cmd);
extern HostImp previous_K3ENABLE_STTelephonyStateProvider_isRadioModuleDead;
extern HostImp previous_K3ENABLE_SBTelephonyManager_isRadioModuleDead;

// K4ENABLE: the Wi-Fi address as operator name.
void K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                                    HostId name,
                                                                                    HostId context);
void K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_(HostId self, HostSel cmd,
                                                                              HostId name, HostId context);
extern HostImp previous_K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_;
extern HostImp previous_K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_;

// K5ENABLE: dual SIM forced on. These never reload the settings.
HostId K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_(HostId self, HostSel cmd, HostId info);
HostBool K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled(HostId self, HostSel cmd);
void K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_(HostId self, HostSel cmd, HostBool enabled);
void K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_(HostId self, HostSel cmd,
                                                                    HostBool enabled);
extern HostImp previous_K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_;
extern HostImp previous_K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled;
extern HostImp previous_K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_;
extern HostImp previous_K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_;

// The address of en0 as dotted-decimal text, or "error" when there is none; never null.
HostId wifiAddressText();
// clang-format on
