// The hook sites, one row a site in install order: group, host class, selector, replacement, the
// layer it runs and what the host method takes (and, for a release site, a class the process must
// have). The library makes its site table, the slots and the replacements from these rows; the
// simulator names each interception from them. Each replacement is named after its group, class and
// selector (colons become underscores, a leading underscore is dropped), so a stack trace from a
// device says exactly which layer ran, and its slot is previous_ and that name. Where several groups
// replace one method, a later row wraps every earlier one: the facility hands each replacement the
// implementation it displaced.
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

// Where a release has none of a group's methods above, the ordinary methods that carry the same
// thing there, from the public class dumps: the operator name from iOS 16 (the provider's own
// setters became direct methods, which send the name on to the subscription information by
// message), the Wi-Fi address up to 11 (beside the other two layers), the SIM-status text on 6 (the
// aggregator's forerunner), on 13 to 15 (its successor in SystemStatusServer) and from 16 (the
// localized-text lookup it travels through alone), dual SIM on 12. Each mirrors the site of its
// group on the same kind of method. They install after every site above, only for a group on at
// start-up none of whose sites above found its method. The last column names a class the process
// must have; a row that names one is its group's last resort, tried only where no site of the group,
// above or here, has found its method so far.
#define BRINDLEWICK_RELEASE_SITES(SITE) \
/* 20 */ SITE(KENABLE,  STMutableTelephonySubscriptionInfo,  "setOperatorName:",                   KENABLE_STMutableTelephonySubscriptionInfo_setOperatorName_,              customOperatorName,     NAME,   nullptr) \
/* 21 */ SITE(K1ENABLE, STMutableTelephonySubscriptionInfo,  "setOperatorName:",                   K1ENABLE_STMutableTelephonySubscriptionInfo_setOperatorName_,             hiddenOperatorName,     NAME,   nullptr) \
/* 22 */ SITE(K2ENABLE, SBStatusBarDataManager,              "_displayStringForSIMStatus:",        K2ENABLE_SBStatusBarDataManager_displayStringForSIMStatus_,               customSIMStatusText,    OBJECT, nullptr) \
/* 23 */ SITE(K2ENABLE, STTelephonyStatusDomainDataProvider, "_displayStringForSIMStatus:",        K2ENABLE_STTelephonyStatusDomainDataProvider_displayStringForSIMStatus_,  customSIMStatusText,    OBJECT, nullptr) \
/*    Every localized text of every framework passes through the next method, so its site alone  */ \
/*    looks at its arguments before it reloads: the table, then the key, passing every other call */ \
/*    on at once, with nothing read; and it goes only into a process that has SpringBoard's status */ \
/*    bar data provider, whose texts it changes, never into an app.                               */ \
/* 24 */ SITE(K2ENABLE, NSBundle,                            "localizedStringForKey:value:table:", K2ENABLE_NSBundle_localizedStringForKey_value_table_,                     localizedSIMStatusText, LOOKUP, "STTelephonyStatusDomainDataProvider") \
/* 25 */ SITE(K4ENABLE, STMutableTelephonySubscriptionInfo,  "setOperatorName:",                   K4ENABLE_STMutableTelephonySubscriptionInfo_setOperatorName_,             wifiOperatorName,       NAME,   nullptr) \
/* 26 */ SITE(K4ENABLE, SBTelephonyManager,                  "_reallySetOperatorName:",            K4ENABLE_SBTelephonyManager_reallySetOperatorName_,                       wifiOperatorName,       NAME,   nullptr) \
/* 27 */ SITE(K5ENABLE, SBTelephonyManager,                  "isDualSIMEnabled",                   K5ENABLE_SBTelephonyManager_isDualSIMEnabled,                             dualSIMReported,        ANSWER, nullptr) \
/* 28 */ SITE(K5ENABLE, SBTelephonyManager,                  "setDualSIMEnabled:",                 K5ENABLE_SBTelephonyManager_setDualSIMEnabled_,                           dualSIMStored,          TRUTH,  nullptr)
// clang-format on
