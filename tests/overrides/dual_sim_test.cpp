// Dual SIM forced on for the life of the process, whatever the file says later.
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

const char *const statusData = "STTelephonyStatusDomainData";
const char *const mutableData = "STMutableTelephonyStatusDomainData";
const char *const provider = "STTelephonyStateProvider";

HostBool lastTruth(const char *cls, const char *selector) {
    auto arguments = model::telephony::lastArguments(cls, selector);
    return arguments.empty() ? -1 : arguments[0].truth;
}

TEST(DualSim, ForcedOnAndNeverReloading) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k5Enabled", yes()}}});
        device.writePreferences({{"k5Enabled", no()}});
        model::postDarwinNotification("com.moxfathom.brindlewick.prefschanged");
        long reads = model::dictionaryFileReads();

        EXPECT_EQ(hostCall<HostBool>(statusData, "isDualSIMEnabled"), 1);
        EXPECT_EQ(hostCall<HostBool>(mutableData, "isDualSIMEnabled"), 1); // inherited
        for (HostBool given : {HostBool(0), HostBool(1), HostBool(0x7f)}) {
            hostCall(provider, "setCachedDualSIMEnabled:", given);
            EXPECT_EQ(lastTruth(provider, "setCachedDualSIMEnabled:"), 1);
            hostCall(mutableData, "setDualSIMEnabled:", given);
            EXPECT_EQ(lastTruth(mutableData, "setDualSIMEnabled:"), 1);
        }
        EXPECT_EQ(model::telephony::timesEntered(provider, "setCachedDualSIMEnabled:"), 3);
        EXPECT_EQ(model::telephony::timesEntered(statusData, "isDualSIMEnabled"), 0);
        EXPECT_EQ(model::dictionaryFileReads(), reads);
    });
}

TEST(DualSim, OtherSimInfoIsTheVeryObjectGiven) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k5Enabled", yes()}}});
        model::AutoreleasePool pool;
        HostStrongRef info = HostStrongRef::adopt(model::makeToken("mine"));
        EXPECT_EQ(hostCall<HostId>(statusData, "_otherSIMInfoIfSIMPresent:", info.get()), info.get());
        EXPECT_EQ(hostCall<HostId>(statusData, "_otherSIMInfoIfSIMPresent:", static_cast<HostId>(nullptr)),
                  nullptr);
        EXPECT_EQ(model::telephony::timesEntered(statusData, "_otherSIMInfoIfSIMPresent:"), 0);
    });
}

TEST(DualSim, OffAtStartUpKeepsTheHostsBehaviour) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"kEnabled", yes()}}});
        device.writePreferences({{"k5Enabled", yes()}});
        model::postDarwinNotification("com.moxfathom.brindlewick.prefschanged");
        model::AutoreleasePool pool;
        hostCall(provider, "setCachedDualSIMEnabled:", HostBool(0));
        EXPECT_EQ(lastTruth(provider, "setCachedDualSIMEnabled:"), 0);
        EXPECT_EQ(hostCall<HostBool>(statusData, "isDualSIMEnabled"), 0);
        HostStrongRef info = HostStrongRef::adopt(model::makeToken("mine"));
        EXPECT_EQ(
            model::object(hostCall<HostId>(statusData, "_otherSIMInfoIfSIMPresent:", info.get()))->describe(),
            "@host-sim-info");
    });
}

TEST(DualSim, WithoutTheMutableClassTheOtherSitesStillAct) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k5Enabled", yes()}}, .withoutClasses = {mutableData}});
        hostCall(provider, "setCachedDualSIMEnabled:", HostBool(0));
        EXPECT_EQ(lastTruth(provider, "setCachedDualSIMEnabled:"), 1);
        EXPECT_EQ(hostCall<HostBool>(statusData, "isDualSIMEnabled"), 1);
    });
}

} // namespace
