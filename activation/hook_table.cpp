#include "activation/hook_table.h"

#include "overrides/replacements.h"

namespace {
enum { KENABLE, K1ENABLE, K2ENABLE, K3ENABLE, K4ENABLE, K5ENABLE };
}

const HookGroup hookGroups[hookGroupCount] = {
    {"KENABLE", &Settings::kEnabled},   {"K1ENABLE", &Settings::k1Enabled},
    {"K2ENABLE", &Settings::k2Enabled}, {"K3ENABLE", &Settings::k3Enabled},
    {"K4ENABLE", &Settings::k4Enabled}, {"K5ENABLE", &Settings::k5Enabled},
};

// The sites, one row a site, in install order: group, host class, selector, replacement. Where
// several groups replace one method, a later row wraps every earlier one: the facility hands each
// replacement the implementation it displaced.
// clang-format off
#define HOOK_SITES(SITE) \
/*  1 */ SITE(KENABLE,  SBTelephonyManager,                 "setOperatorName:",                              KENABLE_SBTelephonyManager_setOperatorName_) \
/*  2 */ SITE(KENABLE,  SBTelephonyManager,                 "_reallySetOperatorName:",                       KENABLE_SBTelephonyManager_reallySetOperatorName_) \
/*  3 */ SITE(KENABLE,  SBTelephonyManager,                 "_reallySetOperatorName:inSubscriptionContext:", KENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_) \
/*  4 */ SITE(KENABLE,  STTelephonyStateProvider,           "_reallySetOperatorName:inSubscriptionContext:", KENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_) \
/*  5 */ SITE(KENABLE,  STTelephonyStateProvider,           "_setOperatorName:inSubscriptionContext:",       KENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_) \
/*  6 */ SITE(K1ENABLE, SBTelephonyManager,                 "setOperatorName:",                              K1ENABLE_SBTelephonyManager_setOperatorName_) \
/*  7 */ SITE(K1ENABLE, SBTelephonyManager,                 "_reallySetOperatorName:",                       K1ENABLE_SBTelephonyManager_reallySetOperatorName_) \
/*  8 */ SITE(K1ENABLE, SBTelephonyManager,                 "_reallySetOperatorName:inSubscriptionContext:", K1ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_) \
/*  9 */ SITE(K1ENABLE, STTelephonyStateProvider,           "_reallySetOperatorName:inSubscriptionContext:", K1ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_) \
/* 10 */ SITE(K1ENABLE, STTelephonyStateProvider,           "_setOperatorName:inSubscriptionContext:",       K1ENABLE_STTelephonyStateProvider_setOperatorName_inSubscriptionContext_) \
/* 11 */ SITE(K2ENABLE, SBStatusBarStateAggregator,         "_displayStringForSIMStatus:",                   K2ENABLE_SBStatusBarStateAggregator_displayStringForSIMStatus_) \
/* 12 */ SITE(K3ENABLE, STTelephonyStateProvider,           "isRadioModuleDead",                             K3ENABLE_STTelephonyStateProvider_isRadioModuleDead) \
/* 13 */ SITE(K3ENABLE, SBTelephonyManager,                 "isRadioModuleDead",                             K3ENABLE_SBTelephonyManager_isRadioModuleDead) \
/* 14 */ SITE(K4ENABLE, STTelephonyStateProvider,           "_reallySetOperatorName:inSubscriptionContext:", K4ENABLE_STTelephonyStateProvider_reallySetOperatorName_inSubscriptionContext_) \
/* 15 */ SITE(K4ENABLE, SBTelephonyManager,                 "_reallySetOperatorName:inSubscriptionContext:", K4ENABLE_SBTelephonyManager_reallySetOperatorName_inSubscriptionContext_) \
/* 16 */ SITE(K5ENABLE, STTelephonyStatusDomainData,        "_otherSIMInfoIfSIMPresent:",                    K5ENABLE_STTelephonyStatusDomainData_otherSIMInfoIfSIMPresent_) \
/* 17 */ SITE(K5ENABLE, STTelephonyStatusDomainData,        "isDualSIMEnabled",                              K5ENABLE_STTelephonyStatusDomainData_isDualSIMEnabled) \
/* 18 */ SITE(K5ENABLE, STTelephonyStateProvider,           "setCachedDualSIMEnabled:",                      K5ENABLE_STTelephonyStateProvider_setCachedDualSIMEnabled_) \
/* 19 */ SITE(K5ENABLE, STMutableTelephonyStatusDomainData, "setDualSIMEnabled:",                            K5ENABLE_STMutableTelephonyStatusDomainData_setDualSIMEnabled_)
// clang-format on

#define SITE_DATA(group, cls, selector, replacement) {group, #cls, selector, &previous_##replacement},
const HookSite hookSites[hookSiteCount] = {HOOK_SITES(SITE_DATA)};
#undef SITE_DATA

// A table shorter than its count would leave all-zero rows that start-up reads as sites.
#define SITE_COUNT(group, cls, selector, replacement) +1
static_assert(0 HOOK_SITES(SITE_COUNT) == hookSiteCount, "a site row is missing or extra");
#undef SITE_COUNT
static_assert(K5ENABLE + 1 == hookGroupCount && int(hookGroupCount) == int(flagKeyCount),
              "a group for each flag");

PlatformImp siteReplacement(int index) {
    int site = 0;
#define SITE_CODE(group, cls, selector, replacement)                                                         \
    if (index == site++) {                                                                                   \
        return reinterpret_cast<PlatformImp>(&replacement);                                                  \
    }
    HOOK_SITES(SITE_CODE)
#undef SITE_CODE
    return nullptr;
}
