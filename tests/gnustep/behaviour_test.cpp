// The library on GCC's Objective-C runtime with GNUstep base behind the Darwin backend: real
// message sends, real NSDictionary, NSString and NSProcessInfo, where everything else runs on the
// model. GNUstep reads XML property lists only, so every file here is XML.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/activation/startup.h"
#include "library/settings/settings.h"
#include "platform/objects.h"
#include "springboard/classes.h"
#include "springboard/springboard.h"
#include "tests/gnustep/springboard_runtime.h"
#include "tests/gnustep/test_platform.h"
#include "tests/support/fresh_process.h"

namespace {

const char *const twoArgument = springboard::sel::reallySetOperatorNameInContext;

void writePreferences(const std::string &entries) {
    std::filesystem::path path = BRINDLEWICK_PREFERENCE_PATH;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::trunc)
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" << entries << "</dict></plist>";
}

std::string flag(const char *key, bool on) {
    return std::string("<key>") + key + "</key>" + (on ? "<true/>" : "<false/>");
}

class Gnustep : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(BRINDLEWICK_PREFERENCE_PATH); }
};

// Starts the library as the home screen, in this fresh process, inside a pool of the test's that
// the process ends with.
void startAsSpringBoard(std::vector<std::string> without = {}, const springboard::Host &host = {}) {
    platformAutoreleasePoolPush();
    installSpringBoardOnGnustep(without, host);
    gnustepSetProcessName("SpringBoard");
    startUp();
}

TEST_F(Gnustep, StartUpInstallsEveryGroupThroughTheRealRuntime) {
    writePreferences(flag("kEnabled", true) + flag("k1Enabled", true) + flag("k2Enabled", true) +
                     flag("k3Enabled", true) + flag("k4Enabled", true) + flag("k5Enabled", true));
    inFreshProcess([] {
        startAsSpringBoard({"STMutableTelephonyStatusDomainData"});
        auto hooks = gnustepHookRecords();
        ASSERT_EQ(hooks.size(), 19u); // every group finds its own methods: no release site is tried
        for (const auto &hook : hooks) {
            // Only the site of the class left out finds nothing; every other is installed.
            EXPECT_EQ(hook.outcome, hook.selector == springboard::sel::setDualSIMEnabled ? 1 : 0)
                << hook.className << " " << hook.selector;
        }
        // The three groups on the two-argument setter, each on both classes, in table order.
        std::vector<std::string> twoArgumentClasses;
        for (const auto &hook : hooks) {
            if (hook.selector == twoArgument) {
                twoArgumentClasses.push_back(hook.className);
            }
        }
        EXPECT_EQ(twoArgumentClasses,
                  (std::vector<std::string>{"SBTelephonyManager", "STTelephonyStateProvider",
                                            "SBTelephonyManager", "STTelephonyStateProvider",
                                            "STTelephonyStateProvider", "SBTelephonyManager"}));
        EXPECT_EQ(gnustepObserverCount(), 1u);
    });
}

TEST_F(Gnustep, TheNamesTheHostReceivesFollowAFileReadByGnustep) {
    writePreferences(flag("kEnabled", true) + flag("k1Enabled", true) +
                     "<key>customtextEnabled</key><string>Custom \u2713</string>");
    inFreshProcess([] {
        startAsSpringBoard();
        PlatformId name = gnustepString("Carrier");
        PlatformId context = gnustepString("context");
        auto received = [&](const char *cls) {
            hostSend(cls, twoArgument, name, context);
            auto arguments = springboard::lastArguments(cls, twoArgument);
            EXPECT_EQ(arguments[1].object, context);
            return gnustepText(arguments[0].object);
        };
        EXPECT_EQ(received("SBTelephonyManager"), "Custom \u2713");
        writePreferences(flag("kEnabled", false) + flag("k1Enabled", true));
        EXPECT_EQ(received("STTelephonyStateProvider"), std::nullopt); // no name
        // A date under a flag reads false, and a number under the text key is never shown.
        writePreferences("<key>kEnabled</key><date>2001-01-01T00:00:00Z</date><key>k1Enabled</key><false/>"
                         "<key>customtextEnabled</key><integer>7</integer>");
        EXPECT_EQ(received("SBTelephonyManager"), "Carrier");
    });
}

TEST_F(Gnustep, SimTextRadioAndDualSimTillANotificationTurnsThemOff) {
    writePreferences(flag("k2Enabled", true) + flag("k3Enabled", true) + flag("k5Enabled", true) +
                     "<key>customtext2Enabled</key><string>Mine</string>");
    inFreshProcess([] {
        startAsSpringBoard();
        PlatformId status = gnustepString("ready");
        auto display = [&] {
            return gnustepText(hostSend<PlatformId>("SBStatusBarStateAggregator",
                                                    springboard::sel::displayStringForSIMStatus, status));
        };
        EXPECT_EQ(display(), "Mine");
        EXPECT_EQ(hostSend<PlatformBool>("STTelephonyStateProvider", springboard::sel::isRadioModuleDead), 1);
        EXPECT_EQ(
            hostSend<PlatformBool>("STMutableTelephonyStatusDomainData", springboard::sel::isDualSIMEnabled),
            1);

        writePreferences("");
        gnustepPostDarwinNotification(BRINDLEWICK_CHANGE_NOTIFICATION);
        EXPECT_EQ(settingsFlag(&Settings::k3Enabled), 0);
        EXPECT_EQ(display(), "SIM ready");
        EXPECT_EQ(hostSend<PlatformBool>("SBTelephonyManager", springboard::sel::isRadioModuleDead), 0);
        EXPECT_EQ(hostSend<PlatformBool>("STTelephonyStatusDomainData", springboard::sel::isDualSIMEnabled),
                  1); // for good
    });
}

// From iOS 16 the SIM text is answered in the localized-text lookup of GNUstep's own NSBundle, for
// its keys alone: any other text is GNUstep's answer.
TEST_F(Gnustep, FromIOS16TheSimTextIsAnsweredInGnustepsOwnLocalizedLookup) {
    writePreferences(flag("k2Enabled", true) + "<key>customtext2Enabled</key><string>Mine</string>");
    inFreshProcess([] {
        startAsSpringBoard({}, springboard::hostOf(springboard::Version{16, 6, 0}, true));
        ASSERT_FALSE(gnustepHookRecords().empty());
        EXPECT_EQ(gnustepHookRecords().back().className, "NSBundle");
        EXPECT_EQ(gnustepHookRecords().back().outcome, 0);
        auto lookUp = [](const char *key, const char *table) {
            return gnustepText(hostSend<PlatformId>(springboard::bundle, springboard::sel::lookUpText,
                                                    gnustepString(key), gnustepString(""),
                                                    gnustepString(table)));
        };
        EXPECT_EQ(lookUp("NO_SIM", springboard::telephonyTable), "Mine");
        EXPECT_EQ(lookUp("LOCKED_SIM", springboard::telephonyTable), "Mine");
        EXPECT_EQ(lookUp("NO_SERVICE", springboard::telephonyTable), "NO_SERVICE");
        EXPECT_EQ(lookUp("NO_SIM", "Localizable"), "NO_SIM");
    });
}

} // namespace
