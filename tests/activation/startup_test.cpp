// The start-up sequence: registration, first load, eligibility, then the enabled groups in order.
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "settings/settings.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

std::vector<std::string> installed() {
    std::vector<std::string> rows;
    for (const model::HookRecord &record : model::hookRecords()) {
        const char *outcome = model::outcomeName(record.outcome);
        rows.push_back(record.className + " " + record.selector + " " + outcome);
    }
    return rows;
}

TEST(StartUp, RegistersForTheChangeNotificationWithTheCoalescingObserver) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.writePreferences = false});
        auto registrations = model::observerRegistrations();
        ASSERT_EQ(registrations.size(), 1u);
        const model::ObserverRegistration &r = registrations[0];
        EXPECT_EQ(r.center, CFNotificationCenterGetDarwinNotifyCenter());
        EXPECT_EQ(r.observer, nullptr);
        EXPECT_EQ(r.callback, &receivedNotification);
        EXPECT_EQ(r.name, "com.moxfathom.brindlewick.prefschanged");
        EXPECT_EQ(r.object, nullptr);
        EXPECT_EQ(r.suspensionBehavior, 2);
    });
}

TEST(StartUp, NoFileInstallsNothingAndALaterFileChangesNothing) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.writePreferences = false});
        EXPECT_TRUE(installed().empty());
        EXPECT_EQ(settingsRecord().kEnabled, 0);
        device.writePreferences(allFlags(true));
        model::postDarwinNotification(BRINDLEWICK_CHANGE_NOTIFICATION);
        EXPECT_EQ(settingsRecord().kEnabled, 1); // reloaded, yet still nothing installed
        EXPECT_TRUE(installed().empty());
        HostStrongRef name = HostStrongRef::adopt(model::makeString("Carrier"));
        hostCall("SBTelephonyManager", "setOperatorName:", name.get());
        EXPECT_EQ(hostReceived("SBTelephonyManager", "setOperatorName:"), name.get());
    });
}

TEST(StartUp, EveryFlagOnInstallsAllNineteenSitesInTableOrder) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = allFlags(true)});
        std::vector<std::string> expected = {
            "SBTelephonyManager setOperatorName: installed",
            "SBTelephonyManager _reallySetOperatorName: installed",
            "SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: installed",
            "STTelephonyStateProvider _reallySetOperatorName:inSubscriptionContext: installed",
            "STTelephonyStateProvider _setOperatorName:inSubscriptionContext: installed",
            "SBTelephonyManager setOperatorName: installed",
            "SBTelephonyManager _reallySetOperatorName: installed",
            "SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: installed",
            "STTelephonyStateProvider _reallySetOperatorName:inSubscriptionContext: installed",
            "STTelephonyStateProvider _setOperatorName:inSubscriptionContext: installed",
            "SBStatusBarStateAggregator _displayStringForSIMStatus: installed",
            "STTelephonyStateProvider isRadioModuleDead installed",
            "SBTelephonyManager isRadioModuleDead installed",
            "STTelephonyStateProvider _reallySetOperatorName:inSubscriptionContext: installed",
            "SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: installed",
            "STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: installed",
            "STTelephonyStatusDomainData isDualSIMEnabled installed",
            "STTelephonyStateProvider setCachedDualSIMEnabled: installed",
            "STMutableTelephonyStatusDomainData setDualSIMEnabled: installed",
        };
        EXPECT_EQ(installed(), expected);
        std::vector<std::string> lookups = {
            "SBTelephonyManager",          "STTelephonyStateProvider",   "SBTelephonyManager",
            "STTelephonyStateProvider",    "SBStatusBarStateAggregator", "STTelephonyStateProvider",
            "SBTelephonyManager",          "STTelephonyStateProvider",   "SBTelephonyManager",
            "STTelephonyStatusDomainData", "STTelephonyStateProvider",   "STMutableTelephonyStatusDomainData",
        };
        std::vector<std::string> hostLookups; // the platform's own Foundation classes aside
        for (const std::string &name : model::classLookups()) {
            if (name.rfind("NS", 0) != 0) {
                hostLookups.push_back(name);
            }
        }
        EXPECT_EQ(hostLookups, lookups);
    });
}

TEST(StartUp, OnlyTheWifiGroupWrapsTheHostDirectly) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k4Enabled", yes()}}});
        EXPECT_EQ(installed(),
                  (std::vector<std::string>{
                      "STTelephonyStateProvider _reallySetOperatorName:inSubscriptionContext: installed",
                      "SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: installed"}));
    });
}

TEST(StartUp, AProcessNotServedLoadsAndListensButInstallsNothing) {
    inFreshProcess([] {
        TestDevice device;
        long reads = model::dictionaryFileReads();
        startLibraryHost(device, {.preferences = allFlags(true),
                                  .processName = "nsurlsessiond",
                                  .executable = "/usr/libexec/nsurlsessiond"});
        EXPECT_EQ(model::dictionaryFileReads(), reads + 1);
        EXPECT_EQ(model::observerRegistrations().size(), 1u);
        EXPECT_EQ(settingsRecord().k5Enabled, 1);
        EXPECT_TRUE(installed().empty());
    });
}

TEST(StartUp, AnAbsentClassLeavesItsSitesOutAndTheRestWorking) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k1Enabled", yes()}, {"k3Enabled", yes()}},
                                  .withoutClasses = {"STTelephonyStateProvider"}});
        EXPECT_EQ(installed(),
                  (std::vector<std::string>{
                      "SBTelephonyManager setOperatorName: installed",
                      "SBTelephonyManager _reallySetOperatorName: installed",
                      "SBTelephonyManager _reallySetOperatorName:inSubscriptionContext: installed",
                      "STTelephonyStateProvider _reallySetOperatorName:inSubscriptionContext: no-class",
                      "STTelephonyStateProvider _setOperatorName:inSubscriptionContext: no-class",
                      "STTelephonyStateProvider isRadioModuleDead no-class",
                      "SBTelephonyManager isRadioModuleDead installed"}));
        HostStrongRef name = HostStrongRef::adopt(model::makeString("Carrier"));
        hostCall("SBTelephonyManager", "setOperatorName:", name.get());
        EXPECT_EQ(hostReceived("SBTelephonyManager", "setOperatorName:"), nullptr);
        EXPECT_EQ(hostCall<HostBool>("SBTelephonyManager", "isRadioModuleDead"), 1);
    });
}

} // namespace
