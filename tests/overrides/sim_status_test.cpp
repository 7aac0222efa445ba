// The SIM-status text and the radio module's state.
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "settings/settings.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

const char *const aggregator = "SBStatusBarStateAggregator";
const char *const displayString = "_displayStringForSIMStatus:";

TEST(SimStatusText, TheVeryStoredTextForEveryStatusWithoutEnteringTheHost) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(
            device, {.preferences = {{"k2Enabled", yes()}, {"customtext2Enabled", text("No SIM here")}}});
        model::AutoreleasePool pool;
        HostStrongRef status = HostStrongRef::adopt(model::makeToken("absent"));
        // Each call reloads, so each answers the object its own load stored: that very reference.
        for (HostId given : {status.get(), static_cast<HostId>(nullptr)}) {
            HostId answer = hostCall<HostId>(aggregator, displayString, given);
            EXPECT_EQ(answer, settingsRecord().customtext2Enabled);
            EXPECT_EQ(model::stringValue(answer), "No SIM here");
        }
        EXPECT_EQ(model::telephony::timesEntered(aggregator, displayString), 0);
    });
}

TEST(SimStatusText, TheHostsStringWhileOffOrWithoutText) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k2Enabled", yes()}}});
        model::AutoreleasePool pool;
        HostStrongRef status = HostStrongRef::adopt(model::makeToken("ready"));
        EXPECT_EQ(model::stringValue(hostCall<HostId>(aggregator, displayString, status.get())),
                  "SIM @ready");
        EXPECT_EQ(hostReceived(aggregator, displayString), status.get());

        device.writePreferences({{"k2Enabled", no()}, {"customtext2Enabled", text("Ignored")}});
        EXPECT_EQ(model::stringValue(hostCall<HostId>(aggregator, displayString, status.get())),
                  "SIM @ready");

        device.writePreferences({{"k2Enabled", yes()}}); // the text stays once loaded
        EXPECT_EQ(model::stringValue(hostCall<HostId>(aggregator, displayString, status.get())), "Ignored");

        device.writePreferences({{"k2Enabled", yes()}, {"customtext2Enabled", plist_new_real(1.5)}});
        EXPECT_EQ(model::stringValue(hostCall<HostId>(aggregator, displayString, status.get())),
                  "SIM @ready");
    });
}

TEST(SimStatusText, TheStatusIsReleasedWhenTheHostRaises) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k2Enabled", yes()}}});
        HostStrongRef status = HostStrongRef::adopt(model::makeToken("raising"));
        model::telephony::setRaising(aggregator, displayString, true);
        {
            model::AutoreleasePool pool;
            EXPECT_THROW(hostCall<HostId>(aggregator, displayString, status.get()), model::HostException);
        }
        model::telephony::clearLog();
        EXPECT_EQ(model::object(status.get())->retainCount(), 1);
    });
}

TEST(SimStatusText, AnEmptyTextEmptiesTheString) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k2Enabled", yes()}, {"customtext2Enabled", text("")}}});
        model::AutoreleasePool pool;
        EXPECT_EQ(
            model::stringValue(hostCall<HostId>(aggregator, displayString, static_cast<HostId>(nullptr))),
            "");
    });
}

TEST(RadioModule, DeadWhileTheFlagIsOnElseTheHostsOwnAnswer) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k3Enabled", yes()}}});
        for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
            EXPECT_EQ(hostCall<HostBool>(cls, "isRadioModuleDead"), 1) << cls;
            EXPECT_EQ(model::telephony::timesEntered(cls, "isRadioModuleDead"), 0) << cls;
        }
        device.writePreferences({{"k3Enabled", no()}});
        model::telephony::setRadioModuleDead("STTelephonyStateProvider", true);
        EXPECT_EQ(hostCall<HostBool>("SBTelephonyManager", "isRadioModuleDead"), 0);
        EXPECT_EQ(hostCall<HostBool>("STTelephonyStateProvider", "isRadioModuleDead"), 1);
        EXPECT_EQ(model::telephony::timesEntered("STTelephonyStateProvider", "isRadioModuleDead"), 1);
    });
}

TEST(RadioModule, OffAtStartUpKeepsTheHostsAnswerForGood) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"kEnabled", yes()}}});
        device.writePreferences({{"k3Enabled", yes()}});
        model::postDarwinNotification("com.moxfathom.brindlewick.prefschanged");
        EXPECT_EQ(hostCall<HostBool>("SBTelephonyManager", "isRadioModuleDead"), 0);
    });
}

} // namespace
