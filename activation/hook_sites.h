// The hook sites, one row a site in install order: group, host class, selector, replacement, the
// layer it runs and what the host method takes. The library makes its site table, the slots and
// the replacements from these rows; the simulator names each interception from them. Each
// replacement is named after its group, class and selector (colons become underscores, a leading
// underscore is dropped), so a stack trace from a device says exactly which layer ran, and its
// slot is previous_ and that name. Where several groups replace one method, a later row wraps
// every earlier one: the facility hands each replacement the implementation it displaced.
#pragma once

// clang-format off
#define BRINDLEWICK_HOOK_SITES(SITE) \
/*  1 */ SITE(KENABLE,  SBTelephonyManager,                 "setOperatorName:",                              KENABLE_SBTelephonyManager_setOperatorName_,                                      customOperatorName,  NAME) \
/*  2 */ SITE(KENABLE,  SBTelephonyManager,                 "_reallySetOperatorName:",                       KENABLE_SBTelephonyManager_reallySetOperatorName_,                                customOperatorName,  NAME) \
/*  3 */ SITE(KENABLE,  SBTelephonyManager,                 "_reallySetOperatorName:inSubscriptionContext:", KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_,          customOperatorName,  NAME_IN_CONTEXT) \
/*  4 */ SITE(KENABLE,  STTelephonyStateProvider,           "_reallySetOperatorName:inSubscriptionContext:", KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_,    customOperatorName,  NAME_IN_CONTEXT) \
/*  5 */ SITE(KENABLE,  STTelephonyStateProvider,           "_setOperatorName:inSubscriptionContext:",       KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_,          customOperatorName,  NAME_IN_CONTEXT) \
/*  6 */ SITE(K1ENABLE, SBTelephonyManager,                 "setOperatorName:",                              K1ENABLE_SBTelephonyManager_setOperatorName_,                                     hiddenOperatorName,  NAME) \
/*  7 */ SITE(K1ENABLE, SBTelephonyManager,                 "_reallySetOperatorName:",                       K1ENABLE_SBTelephonyManager_reallySetOperatorName_,                               hiddenOperatorName,  NAME) \
/*  8 */ SITE(K1ENABLE, SBTelephonyManager,                 "_reallySetOperatorName:inSubscriptionContext:", K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_,         hiddenOperatorName,  NAME_IN_CONTEXT) \
/*  9 */ SITE(K1ENABLE, STTelephonyStateProvider,           "_reallySetOperatorName:inSubscriptionContext:", K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_,   hiddenOperatorName,  NAME_IN_CONTEXT) \
/* 10 */ SITE(K1ENABLE, STTelephonyStateProvider,           "_setOperatorName:inSubscriptionContext:",       K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_,         hiddenOperatorName,  NAME_IN_CONTEXT) \
/* 11 */ SITE(K2ENABLE, SBStatusBarStateAggregator,         "_displayStringForSIMStatus:",                   K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_,                   customSIMStatusText, OBJECT) \
/* 12 */ SITE(K3ENABLE, STTelephonyStateProvider,           "isRadioModuleDead",                             K3ENABLE_STTelephonyStateProvider_isRadioModuleDead,                              radioModuleDead,     ANSWER) \
/* 13 */ SITE(K3ENABLE, SBTelephonyManager,                 "isRadioModuleDead",                             K3ENABLE_SBTelephonyManager_isRadioModuleDead,                                    radioModuleDead,     ANSWER) \
/* 14 */ SITE(K4ENABLE, STTelephonyStateProvider,           "_reallySetOperatorName:inSubscriptionContext:", K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_,   wifiOperatorName,    NAME_IN_CONTEXT) \
/* 15 */ SITE(K4ENABLE, SBTelephonyManager,                 "_reallySetOperatorName:inSubscriptionContext:", K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_,         wifiOperatorName,    NAME_IN_CONTEXT) \
/* 16 */ SITE(K5ENABLE, STTelephonyStatusDomainData,        "_otherSIMInfoIfSIMPresent:",                    K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_,                   sameOtherSIMInfo,    OBJECT) \
/* 17 */ SITE(K5ENABLE, STTelephonyStatusDomainData,        "isDualSIMEnabled",                              K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled,                            dualSIMReported,     ANSWER) \
/* 18 */ SITE(K5ENABLE, STTelephonyStateProvider,           "setCachedDualSIMEnabled:",                      K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_,                       dualSIMStored,       TRUTH) \
/* 19 */ SITE(K5ENABLE, STMutableTelephonyStatusDomainData, "setDualSIMEnabled:",                            K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_,                   dualSIMStored,       TRUTH)
// clang-format on
