// The host's telephony and status-bar classes by name, and which is a subclass of which: the
// simulated SpringBoard defines them, the release table says which a release has, and the
// simulator's commands and options name them.
#pragma once

#include <string_view>

namespace springboard {

inline constexpr char manager[] = "SBTelephonyManager";
inline constexpr char provider[] = "STTelephonyStateProvider";
inline constexpr char aggregator[] = "SBStatusBarStateAggregator";
inline constexpr char statusData[] = "STTelephonyStatusDomainData";
inline constexpr char mutableStatusData[] = "STMutableTelephonyStatusDomainData";
// iOS 6's forerunner of the aggregator.
inline constexpr char dataManager[] = "SBStatusBarDataManager";
// The aggregator's successor in SystemStatusServer, from iOS 13.
inline constexpr char domainDataProvider[] = "STTelephonyStatusDomainDataProvider";
// What the status bar shows of a SIM from iOS 16, which the provider hands the operator name.
inline constexpr char subscriptionInfo[] = "STTelephonySubscriptionInfo";
inline constexpr char mutableSubscriptionInfo[] = "STMutableTelephonySubscriptionInfo";

// Foundation's class the host's own code looks its texts up through: every host has it, as the
// platform's (see springboard::serviceDescription).
inline constexpr char bundle[] = "NSBundle";

// The selectors of the host's classes, and those its own code sends to Foundation's objects.
namespace sel {
inline constexpr char setOperatorName[] = "setOperatorName:";
inline constexpr char reallySetOperatorName[] = "_reallySetOperatorName:";
inline constexpr char reallySetOperatorNameInContext[] = "_reallySetOperatorName:inSubscriptionContext:";
inline constexpr char setOperatorNameInContext[] = "_setOperatorName:inSubscriptionContext:";
inline constexpr char operatorName[] = "operatorName";
inline constexpr char simStatus[] = "SIMStatus";
inline constexpr char displayStringForSIMStatus[] = "_displayStringForSIMStatus:";
inline constexpr char isRadioModuleDead[] = "isRadioModuleDead";
inline constexpr char needsUserIdentificationModule[] = "needsUserIdentificationModule";
inline constexpr char isDualSIMEnabled[] = "isDualSIMEnabled";
inline constexpr char setDualSIMEnabled[] = "setDualSIMEnabled:";
inline constexpr char setCachedDualSIMEnabled[] = "setCachedDualSIMEnabled:";
inline constexpr char otherSIMInfoIfSIMPresent[] = "_otherSIMInfoIfSIMPresent:";
inline constexpr char bundleForClass[] = "bundleForClass:";
inline constexpr char lookUpText[] = "localizedStringForKey:value:table:";
inline constexpr char isEqualToString[] = "isEqualToString:";
} // namespace sel

// Every class, in the order the host defines them: a superclass before its subclass.
inline constexpr const char *allClasses[] = {manager,
                                             provider,
                                             aggregator,
                                             statusData,
                                             mutableStatusData,
                                             dataManager,
                                             domainDataProvider,
                                             subscriptionInfo,
                                             mutableSubscriptionInfo};

// The superclass that is one of these classes, or null (the class is then NSObject's).
inline const char *superclassOf(std::string_view cls) {
    if (cls == mutableStatusData) {
        return statusData;
    }
    return cls == mutableSubscriptionInfo ? subscriptionInfo : nullptr;
}

// The classes only SpringBoard has: an ordinary app has none of these (see releases.cpp).
inline bool onlyInSpringBoard(std::string_view cls) {
    return cls != statusData && cls != mutableStatusData;
}

} // namespace springboard
