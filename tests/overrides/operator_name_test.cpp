// The operator-name layers, stacked as start-up installs them: which name reaches the host.
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "tests/support/fresh_process.h"
#include "tests/support/interfaces.h"
#include "tests/support/library_host.h"

namespace {

const char *const twoArgument = "_reallySetOperatorName:inSubscriptionContext:";

struct Sent {
    HostStrongRef name = HostStrongRef::adopt(model::makeString("Carrier"));
    HostStrongRef context = HostStrongRef::adopt(model::makeToken("subscription"));
};

// What the host's own implementation receives when the host calls `selector` on `cls`.
HostId nameReaching(const char *cls, const char *selector, const Sent &sent) {
    model::AutoreleasePool pool;
    if (std::string_view(selector).find("inSubscriptionContext") != std::string_view::npos) {
        hostCall(cls, selector, sent.name.get(), sent.context.get());
        EXPECT_EQ(hostReceived(cls, selector, 1), sent.context.get()) << cls << " " << selector;
    } else {
        hostCall(cls, selector, sent.name.get());
    }
    HostId received = hostReceived(cls, selector);
    hostRetain(received);
    return hostAutorelease(received); // outlives this pool through the caller's
}

std::string shown(HostId received) {
    return received ? model::stringValue(received).value_or("<not text>") : "nil";
}

TEST(OperatorNameLayers, TheInnermostSubstitutingLayerDecidesOnBothClasses) {
    inFreshProcess([] {
        TestDevice device;
        useFakeInterfaces({{"en0", FakeInterface::ipv4, "192.0.2.5"}});
        PrefEntries start = allFlags(true);
        start.emplace_back("customtextEnabled", text("Custom"));
        startLibraryHost(device, {.preferences = std::move(start)});
        model::AutoreleasePool pool;
        Sent sent;
        struct Row {
            bool custom, hidden, wifi;
            std::string expected;
        };
        for (const Row &row :
             {Row{true, true, true, "Custom"}, Row{true, false, false, "Custom"},
              Row{true, true, false, "Custom"}, Row{false, true, true, "nil"}, Row{false, true, false, "nil"},
              Row{false, false, true, "192.0.2.5"}, Row{false, false, false, "Carrier"}}) {
            // Changed without a notification: every layer reads the file again on each call.
            device.writePreferences({{"kEnabled", plist_new_bool(row.custom)},
                                     {"k1Enabled", plist_new_bool(row.hidden)},
                                     {"k4Enabled", plist_new_bool(row.wifi)}});
            for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
                EXPECT_EQ(shown(nameReaching(cls, twoArgument, sent)), row.expected)
                    << cls << " custom=" << row.custom << " hidden=" << row.hidden << " wifi=" << row.wifi;
            }
        }
        // With every layer off, the very references the caller passed reach the host.
        EXPECT_EQ(nameReaching("SBTelephonyManager", twoArgument, sent), sent.name.get());
    });
}

TEST(OperatorNameLayers, CustomTextBeatsTheHiddenNameOnAllFiveMethods) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(
            device,
            {.preferences = {{"kEnabled", yes()}, {"k1Enabled", yes()}, {"customtextEnabled", text("")}}});
        model::AutoreleasePool pool;
        Sent sent;
        for (auto [cls, selector] :
             {std::pair{"SBTelephonyManager", "setOperatorName:"},
              std::pair{"SBTelephonyManager", "_reallySetOperatorName:"},
              std::pair{"SBTelephonyManager", twoArgument},
              std::pair{"STTelephonyStateProvider", twoArgument},
              std::pair{"STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:"}}) {
            // An empty text is a text: the host is given the empty string, not the incoming name.
            EXPECT_EQ(shown(nameReaching(cls, selector, sent)), "") << cls << " " << selector;
        }
    });
}

TEST(OperatorNameLayers, WithoutACustomTextTheHiddenNameWins) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"kEnabled", yes()}, {"k1Enabled", yes()}}});
        model::AutoreleasePool pool;
        Sent sent;
        EXPECT_EQ(nameReaching("SBTelephonyManager", "setOperatorName:", sent), nullptr);
        device.writePreferences({{"kEnabled", yes()}});
        EXPECT_EQ(nameReaching("SBTelephonyManager", "setOperatorName:", sent), sent.name.get());
    });
}

TEST(OperatorNameLayers, ACustomTextStaysAfterItsKeyIsRemovedAndReplacesANullName) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"kEnabled", yes()}, {"customtextEnabled", text("Mine")}}});
        device.writePreferences({{"kEnabled", yes()}});
        model::AutoreleasePool pool;
        hostCall("SBTelephonyManager", "_reallySetOperatorName:", static_cast<HostId>(nullptr));
        EXPECT_EQ(shown(hostReceived("SBTelephonyManager", "_reallySetOperatorName:")), "Mine");
    });
}

TEST(OperatorNameLayers, ACustomValueThatIsNotTextIsNeverGivenToTheHost) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device,
                         {.preferences = {{"kEnabled", yes()}, {"customtextEnabled", plist_new_uint(7)}}});
        model::AutoreleasePool pool;
        Sent sent;
        EXPECT_EQ(nameReaching("SBTelephonyManager", "setOperatorName:", sent), sent.name.get());
    });
}

TEST(OperatorNameLayers, AGroupOffAtStartUpStaysOutForTheProcessLife) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"k1Enabled", yes()}}});
        device.writePreferences(
            {{"kEnabled", yes()}, {"k1Enabled", no()}, {"customtextEnabled", text("Late")}});
        model::postDarwinNotification("com.moxfathom.brindlewick.prefschanged");
        model::AutoreleasePool pool;
        Sent sent;
        // The hidden-name layer now passes names through; the custom text has no layer to show it.
        EXPECT_EQ(nameReaching("SBTelephonyManager", "setOperatorName:", sent), sent.name.get());
    });
}

TEST(OperatorNameLayers, EachLayerReadsTheFileOncePerCall) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = allFlags(true)});
        model::AutoreleasePool pool;
        Sent sent;
        long reads = model::dictionaryFileReads();
        nameReaching("SBTelephonyManager", twoArgument, sent);
        EXPECT_EQ(model::dictionaryFileReads(), reads + 3);
        nameReaching("STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:", sent);
        EXPECT_EQ(model::dictionaryFileReads(), reads + 5);
        EXPECT_EQ(model::telephony::timesEntered("SBTelephonyManager", twoArgument), 1);
    });
}

TEST(OperatorNameLayers, TheCustomTextIsHeldWhileTheHostUsesIt) {
    inFreshProcess([] {
        TestDevice device;
        startLibraryHost(device, {.preferences = {{"kEnabled", yes()}, {"customtextEnabled", text("Held")}}});
        model::AutoreleasePool pool;
        Sent sent;
        long live = model::liveObjects();
        model::telephony::setRaising("SBTelephonyManager", "setOperatorName:", true);
        EXPECT_THROW(hostCall("SBTelephonyManager", "setOperatorName:", sent.name.get()),
                     model::HostException);
        model::telephony::setRaising("SBTelephonyManager", "setOperatorName:", false);
        HostId received = hostReceived("SBTelephonyManager", "setOperatorName:");
        EXPECT_EQ(shown(received), "Held");
        // The record, the host's log and the loaded dictionary hold it: the layer let go even
        // though the host raised.
        EXPECT_EQ(model::object(received)->retainCount(), 3);
        model::telephony::clearLog();
        EXPECT_EQ(model::liveObjects(), live);
    });
}

} // namespace
