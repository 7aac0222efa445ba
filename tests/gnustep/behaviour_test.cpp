// The library's behaviour a second time, on GCC's Objective-C runtime with GNUstep base behind
// the Darwin backend: real message sends, real NSDictionary and NSProcessInfo. GNUstep reads XML
// property lists only, so every file here is XML.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <plist/plist.h>

#include "activation/startup.h"
#include "host/gnustep/test_platform.h"
#include "overrides/replacements.h"
#include "settings/settings.h"
#include "tests/gnustep/telephony_host.h"
#include "tests/support/fresh_process.h"
#include "tests/support/network_namespace.h"

namespace {

const char *const twoArgument = "_reallySetOperatorName:inSubscriptionContext:";

void writePreferences(std::vector<std::pair<const char *, plist_t>> entries) {
    plist_t dictionary = plist_new_dict();
    for (auto [key, value] : entries) {
        plist_dict_set_item(dictionary, key, value);
    }
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(dictionary, &xml, &length);
    std::filesystem::path path = BRINDLEWICK_PREFERENCE_PATH;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::trunc).write(xml, length);
    free(xml);
    plist_free(dictionary);
}

void copyFixture(const char *name) {
    std::filesystem::create_directories(std::filesystem::path(BRINDLEWICK_PREFERENCE_PATH).parent_path());
    std::filesystem::copy_file(std::filesystem::path(BRINDLEWICK_FIXTURES) / name,
                               BRINDLEWICK_PREFERENCE_PATH,
                               std::filesystem::copy_options::overwrite_existing);
}

// Starts the library as the home screen, in this fresh process.
void startAsSpringBoard(std::vector<std::string> without = {}) {
    gsInstallHost(without);
    gsSetProcessName("SpringBoard");
    startUp();
}

std::vector<std::pair<const char *, plist_t>> flags(bool k, bool k1, bool k2, bool k3, bool k4, bool k5) {
    return {{"kEnabled", plist_new_bool(k)},   {"k1Enabled", plist_new_bool(k1)},
            {"k2Enabled", plist_new_bool(k2)}, {"k3Enabled", plist_new_bool(k3)},
            {"k4Enabled", plist_new_bool(k4)}, {"k5Enabled", plist_new_bool(k5)}};
}

class Gnustep : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(BRINDLEWICK_PREFERENCE_PATH); }
};

TEST_F(Gnustep, StartUpInstallsEveryGroupInOrderThroughTheRealRuntime) {
    writePreferences(flags(true, true, true, true, true, true));
    inFreshProcess([] {
        void *pool = gsPoolPush();
        startAsSpringBoard({"STMutableTelephonyStatusDomainData"});
        auto hooks = gnustepHookRecords();
        ASSERT_EQ(hooks.size(), 19u);
        EXPECT_EQ(hooks[0].className, "SBTelephonyManager");
        EXPECT_EQ(hooks[13].selector, twoArgument);
        EXPECT_EQ(hooks[13].className, "STTelephonyStateProvider");
        int installed = 0;
        for (const GnustepHookRecord &hook : hooks) {
            installed += hook.outcome == 0;
        }
        EXPECT_EQ(installed, 18);
        EXPECT_EQ(hooks[18].outcome, 1); // the class is absent
        EXPECT_EQ(gnustepObserverCount(), 1u);
        gsPoolPop(pool);
    });
}

TEST_F(Gnustep, AProcessThatIsNoApplicationInstallsNothing) {
    writePreferences(flags(true, true, true, true, true, true));
    inFreshProcess([] {
        gsInstallHost();
        startUp(); // the test program's own name and path
        EXPECT_TRUE(gnustepHookRecords().empty());
        EXPECT_EQ(settingsRecord().k5Enabled, 1);
    });
}

TEST_F(Gnustep, PrecedenceOfTheOperatorNameLayersOnBothClasses) {
    std::vector<std::pair<const char *, plist_t>> start = flags(true, true, false, false, true, false);
    start.emplace_back("customtextEnabled", plist_new_string("Custom"));
    writePreferences(start);
    inFreshProcess([] {
        void *pool = gsPoolPush();
        startAsSpringBoard();
        void *name = gsString("Carrier");
        void *context = gsObject();
        std::string wifi = *gsText(wifiAddressText());
        struct Row {
            bool custom, hidden, wifi;
            std::optional<std::string> expected;
        };
        for (const Row &row : {Row{true, true, true, "Custom"}, Row{false, true, true, std::nullopt},
                               Row{false, false, true, wifi}, Row{false, false, false, "Carrier"}}) {
            writePreferences({{"kEnabled", plist_new_bool(row.custom)},
                              {"k1Enabled", plist_new_bool(row.hidden)},
                              {"k4Enabled", plist_new_bool(row.wifi)}});
            for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
                gsSetNameInContext(cls, twoArgument, name, context);
                GsReceived received = gsReceived(cls, twoArgument);
                ASSERT_EQ(received.objects.size(), 2u);
                EXPECT_EQ(gsText(received.objects[0]), row.expected) << cls << " custom=" << row.custom;
                EXPECT_EQ(received.objects[1], context);
            }
        }
        EXPECT_EQ(gsReceived("SBTelephonyManager", twoArgument).objects[0], name);
        gsSetName("SBTelephonyManager", "setOperatorName:", name);
        EXPECT_EQ(gsReceived("SBTelephonyManager", "setOperatorName:").objects[0], name);
        gsPoolPop(pool);
    });
}

TEST_F(Gnustep, SettingsFromAPythonWrittenXmlFile) {
    copyFixture("typical.xml.plist");
    inFreshProcess([] {
        void *pool = gsPoolPush();
        loadPrefs();
        const Settings &s = settingsRecord();
        EXPECT_EQ(
            std::vector<int>({s.kEnabled, s.k1Enabled, s.k2Enabled, s.k3Enabled, s.k4Enabled, s.k5Enabled}),
            std::vector<int>({1, 0, 1, 0, 1, 0}));
        EXPECT_EQ(gsText(s.customtextEnabled), "Brindle \u2713");
        EXPECT_EQ(gsText(s.customtext2Enabled), "");
        std::filesystem::remove(BRINDLEWICK_PREFERENCE_PATH);
        loadPrefs();
        EXPECT_EQ(s.kEnabled, 0);
        EXPECT_EQ(s.prefs, nullptr);
        EXPECT_EQ(gsText(s.customtextEnabled), "Brindle \u2713");
        gsPoolPop(pool);
    });
}

TEST_F(Gnustep, ValuesOfUnexpectedKindsReadAsOnTheModel) {
    copyFixture("odd-kinds.xml.plist");
    inFreshProcess([] {
        void *pool = gsPoolPush();
        loadPrefs();
        const Settings &s = settingsRecord();
        EXPECT_EQ(
            std::vector<int>({s.kEnabled, s.k1Enabled, s.k2Enabled, s.k3Enabled, s.k4Enabled, s.k5Enabled}),
            std::vector<int>({1, 1, 0, 0, 0, 0}));
        EXPECT_NE(s.customtextEnabled, nullptr);
        EXPECT_EQ(copySettingsText(&Settings::customtextEnabled), nullptr);
        gsPoolPop(pool);
    });
}

TEST_F(Gnustep, SimTextRadioAndDualSim) {
    std::vector<std::pair<const char *, plist_t>> start = flags(false, false, true, true, false, true);
    start.emplace_back("customtext2Enabled", plist_new_string("Mine"));
    writePreferences(start);
    inFreshProcess([] {
        void *pool = gsPoolPush();
        startAsSpringBoard();
        EXPECT_EQ(gsText(gsDisplayString(gsObject())), "Mine");
        EXPECT_EQ(gsReceived("SBStatusBarStateAggregator", "_displayStringForSIMStatus:").entered, 0);
        EXPECT_TRUE(gsIsRadioModuleDead("SBTelephonyManager"));
        EXPECT_TRUE(gsIsRadioModuleDead("STTelephonyStateProvider"));
        EXPECT_TRUE(gsIsDualSIMEnabled("STMutableTelephonyStatusDomainData"));
        gsSetTruth("STMutableTelephonyStatusDomainData", "setDualSIMEnabled:", 0);
        EXPECT_EQ(gsReceived("STMutableTelephonyStatusDomainData", "setDualSIMEnabled:").truths,
                  std::vector<int>{1});
        void *info = gsObject();
        EXPECT_EQ(gsOtherSIMInfo(info), info);

        writePreferences(flags(false, false, false, false, false, false));
        gnustepPostDarwinNotification("com.moxfathom.brindlewick.prefschanged");
        EXPECT_EQ(settingsRecord().k3Enabled, 0);
        EXPECT_EQ(gsText(gsDisplayString(gsObject())), "SIM host");
        EXPECT_FALSE(gsIsRadioModuleDead("SBTelephonyManager"));
        EXPECT_TRUE(gsIsDualSIMEnabled("STTelephonyStatusDomainData")); // until the process ends
        gsPoolPop(pool);
    });
}

TEST_F(Gnustep, TheWifiRoutineReadsARealEn0) {
    NamespaceRun run = inNetworkNamespace(
        "ip link add en0 type veth peer name en0peer && ip addr add 192.0.2.10/24 dev en0 && "
        "ip link add EN0 type veth peer name en0x && ip addr add 198.51.100.1/24 dev EN0",
        [] {
            gsPoolPush(); // the child ends without popping it
            return gsText(wifiAddressText()) == "192.0.2.10";
        });
    if (run.outcome == NamespaceRun::unavailable) {
        GTEST_SKIP() << run.reason;
    }
    EXPECT_EQ(run.outcome, NamespaceRun::passed);
}

} // namespace
