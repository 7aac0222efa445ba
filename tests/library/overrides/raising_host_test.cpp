// A host implementation that raises, which only the native library meets: the exception reaches
// the host's caller unchanged, and every reference a layer took on the way in is let go (the
// 32-bit slices, built without exceptions, skip these releases; emulation does not follow them).
#include <gtest/gtest.h>

#include "platform/model/model.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

TEST(RaisingHost, TheExceptionPassesThroughAndTheLayersLetGoOfWhatTheyHeld) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"kEnabled", yes()},
                                                  {"customtextEnabled", text("Held")},
                                                  {"k2Enabled", yes()}}});
        long live = model::liveObjects();
        {
            model::AutoreleasePool pool;
            model::Ref name = model::Ref::adopt(model::makeString("Carrier"));
            model::Ref status = model::Ref::adopt(model::makeToken("status"));
            springboard::setRaising("SBTelephonyManager", "setOperatorName:", true);
            springboard::setRaising("SBStatusBarStateAggregator", "_displayStringForSIMStatus:", true);
            EXPECT_THROW(hostCall("SBTelephonyManager", "setOperatorName:", name.get()),
                         model::HostException);
            EXPECT_EQ(model::stringValue(hostReceived("SBTelephonyManager", "setOperatorName:")), "Held");
            // No SIM text is set, so that layer forwards the status it holds to the raising host.
            EXPECT_THROW(hostCall<PlatformId>("SBStatusBarStateAggregator",
                                              "_displayStringForSIMStatus:", status.get()),
                         model::HostException);
            springboard::clearLog();
        }
        // What the record still holds was taken on a load, not on the way in.
        EXPECT_EQ(model::liveObjects(), live);
    });
}

} // namespace
