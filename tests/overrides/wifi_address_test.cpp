// The Wi-Fi address as operator name: which entry of the interface list gives the text.
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "overrides/replacements.h"
#include "tests/support/fresh_process.h"
#include "tests/support/interfaces.h"
#include "tests/support/library_host.h"
#include "tests/support/network_namespace.h"

namespace {

std::string addressText(std::vector<FakeInterface> interfaces) {
    useFakeInterfaces(std::move(interfaces));
    model::AutoreleasePool pool;
    return *model::stringValue(wifiAddressText());
}

TEST(WifiAddressText, TheLastIPv4AddressOfEn0InListOrder) {
    EXPECT_EQ(
        addressText({{"lo", FakeInterface::ipv4, "127.0.0.1"}, {"en0", FakeInterface::ipv4, "192.0.2.1"}}),
        "192.0.2.1");
    EXPECT_EQ(addressText({{"en0", FakeInterface::ipv4, "192.0.2.1"},
                           {"en0", FakeInterface::ipv6, "fe80::1"},
                           {"en0", FakeInterface::ipv4, "10.20.30.40"}}),
              "10.20.30.40");
    EXPECT_EQ(addressText({{"en0", FakeInterface::ipv4, "0.0.0.0"}}), "0.0.0.0");
    EXPECT_EQ(addressText({{"en0", FakeInterface::ipv4, "255.255.255.255"}}), "255.255.255.255");
}

TEST(WifiAddressText, EntriesWithoutAddressAreSkippedAndTheWalkGoesOn) {
    EXPECT_EQ(addressText({{"en0", FakeInterface::none, ""},
                           {"en0", FakeInterface::ipv4, "192.0.2.9"},
                           {"en1", FakeInterface::none, ""}}),
              "192.0.2.9");
}

TEST(WifiAddressText, ErrorWithoutAnIPv4AddressOnExactlyEn0) {
    EXPECT_EQ(addressText({}), "error");
    EXPECT_EQ(addressText({{"en0", FakeInterface::ipv6, "2001:db8::1"}}), "error");
    EXPECT_EQ(addressText({{"en1", FakeInterface::ipv4, "192.0.2.1"},
                           {"en01", FakeInterface::ipv4, "192.0.2.2"},
                           {"EN0", FakeInterface::ipv4, "192.0.2.3"},
                           {"en", FakeInterface::ipv4, "192.0.2.4"},
                           {"\xff\xfe", FakeInterface::ipv4, "192.0.2.5"}}),
              "error");
}

TEST(WifiAddressText, AFailedQueryGivesErrorAndStillFreesTheNullList) {
    int nulls = nullInterfaceListsReleased();
    useFakeInterfaces({{"en0", FakeInterface::ipv4, "192.0.2.1"}}, true);
    model::AutoreleasePool pool;
    EXPECT_EQ(model::stringValue(wifiAddressText()), "error");
    EXPECT_EQ(nullInterfaceListsReleased(), nulls + 1);
}

TEST(WifiAddressText, EveryListIsReleased) {
    int before = interfaceListsReleased();
    addressText({{"en0", FakeInterface::ipv4, "192.0.2.1"}});
    addressText({});
    EXPECT_EQ(interfaceListsReleased(), before + 2);
}

TEST(WifiAddressLayer, PassesTheAddressInwardOnlyWhileItsFlagIsOn) {
    inFreshProcess([] {
        TestDevice device;
        useFakeInterfaces({{"en0", FakeInterface::ipv4, "192.0.2.44"}});
        startLibraryHost(device, {.preferences = {{"k4Enabled", yes()}}});
        model::AutoreleasePool pool;
        HostStrongRef context = HostStrongRef::adopt(model::makeToken("sub"));
        for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
            hostCall(cls, "_reallySetOperatorName:inSubscriptionContext:", static_cast<HostId>(nullptr),
                     context.get());
            EXPECT_EQ(model::stringValue(hostReceived(cls, "_reallySetOperatorName:inSubscriptionContext:")),
                      "192.0.2.44");
            EXPECT_EQ(hostReceived(cls, "_reallySetOperatorName:inSubscriptionContext:", 1), context.get());
        }
        device.writePreferences({{"k4Enabled", no()}});
        HostStrongRef name = HostStrongRef::adopt(model::makeString("Carrier"));
        hostCall("SBTelephonyManager", "_reallySetOperatorName:inSubscriptionContext:", name.get(),
                 context.get());
        EXPECT_EQ(hostReceived("SBTelephonyManager", "_reallySetOperatorName:inSubscriptionContext:"),
                  name.get());
    });
}

// A real en0 in a network namespace of the test's own, read through the system's getifaddrs.
TEST(WifiAddressText, ARealEn0InANetworkNamespace) {
    NamespaceRun run = inNetworkNamespace(
        "ip link add en0 type veth peer name en0peer && ip addr add 192.0.2.10/24 dev en0 && "
        "ip addr add 192.0.2.77/24 dev en0 && ip link add en1 type veth peer name en1peer && "
        "ip addr add 198.51.100.1/24 dev en1",
        [] {
            model::AutoreleasePool pool;
            std::optional<std::string> text = model::stringValue(wifiAddressText());
            std::fprintf(stderr, "wifiAddressText gave %s\n", text ? text->c_str() : "(null)");
            return text == "192.0.2.77"; // the later address of en0; en1's is not looked at
        });
    if (run.outcome == NamespaceRun::unavailable) {
        GTEST_SKIP() << run.reason;
    }
    EXPECT_EQ(run.outcome, NamespaceRun::passed);
}

} // namespace
