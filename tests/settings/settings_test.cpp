// Loading the settings: which values each key gives, what survives a missing key or file, and
// that every reference the record drops is released.
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "settings/settings.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

const Settings &s() {
    return settingsRecord();
}

std::optional<std::string> textOf(HostId Settings::*member) {
    return model::stringValue(s().*member);
}

std::vector<HostBool> flags() {
    return {s().kEnabled, s().k1Enabled, s().k2Enabled, s().k3Enabled, s().k4Enabled, s().k5Enabled};
}

TEST(LoadPrefs, NoFileTurnsEveryFlagOffAndLeavesNoText) {
    inFreshProcess([] {
        TestDevice device;
        loadPrefs();
        EXPECT_EQ(flags(), std::vector<HostBool>(6, 0));
        EXPECT_EQ(s().prefs, nullptr);
        EXPECT_EQ(s().customtextEnabled, nullptr);
        EXPECT_EQ(s().customtext2Enabled, nullptr);
    });
}

TEST(LoadPrefs, AbsentFlagKeysReadFalseAndAbsentTextsStayNone) {
    inFreshProcess([] {
        TestDevice device;
        device.writePreferences({{"kEnabled", yes()}, {"customtextEnabled", text("Hi")}}, Encoding::xml);
        loadPrefs();
        EXPECT_EQ(flags(), (std::vector<HostBool>{1, 0, 0, 0, 0, 0}));
        EXPECT_EQ(textOf(&Settings::customtextEnabled), "Hi");
        EXPECT_EQ(s().customtext2Enabled, nullptr);
    });
}

TEST(LoadPrefs, PythonWrittenFilesInBothEncodings) {
    inFreshProcess([] {
        TestDevice device;
        for (const char *name : {"typical.binary.plist", "typical.xml.plist"}) {
            device.writeBytes(fixtureBytes(name));
            loadPrefs();
            EXPECT_EQ(flags(), (std::vector<HostBool>{1, 0, 1, 0, 1, 0})) << name;
            EXPECT_EQ(textOf(&Settings::customtextEnabled), "Brindle \u2713") << name;
            EXPECT_EQ(textOf(&Settings::customtext2Enabled), "") << name; // empty is a text
        }
    });
}

TEST(LoadPrefs, TextsOutliveTheirKeysAndTheFileWhileFlagsFollowIt) {
    inFreshProcess([] {
        TestDevice device;
        device.writePreferences(
            {{"kEnabled", yes()}, {"customtextEnabled", text("Kept")}, {"customtext2Enabled", text("SIM")}});
        loadPrefs();
        device.writePreferences({{"k1Enabled", yes()}});
        loadPrefs();
        EXPECT_EQ(flags(), (std::vector<HostBool>{0, 1, 0, 0, 0, 0}));
        EXPECT_EQ(textOf(&Settings::customtextEnabled), "Kept");
        device.removePreferences();
        loadPrefs();
        EXPECT_EQ(flags(), std::vector<HostBool>(6, 0));
        EXPECT_EQ(s().prefs, nullptr);
        EXPECT_EQ(textOf(&Settings::customtextEnabled), "Kept");
        EXPECT_EQ(textOf(&Settings::customtext2Enabled), "SIM");
    });
}

TEST(LoadPrefs, AHalfWrittenFileTurnsFlagsOffUntilItIsWholeAgain) {
    inFreshProcess([] {
        TestDevice device;
        std::string whole = encodePreferences(allFlags(true), Encoding::binary);
        device.writeBytes(whole.substr(0, whole.size() / 2));
        loadPrefs();
        EXPECT_EQ(flags(), std::vector<HostBool>(6, 0));
        device.writeBytes(whole);
        loadPrefs();
        EXPECT_EQ(flags(), std::vector<HostBool>(6, 1));
    });
}

TEST(LoadPrefs, ValuesOfUnexpectedKindsNeitherRaiseNorReachTheHostAsText) {
    inFreshProcess([] {
        TestDevice device;
        for (const char *name : {"odd-kinds.binary.plist", "odd-kinds.xml.plist"}) {
            device.writeBytes(fixtureBytes(name));
            loadPrefs();
            // 2 and "yes" have truth values; 0.0 is false; a date, data and an array have none.
            EXPECT_EQ(flags(), (std::vector<HostBool>{1, 1, 0, 0, 0, 0})) << name;
            // Stored as found, but no reader takes a number or a dictionary for a text.
            EXPECT_NE(s().customtextEnabled, nullptr);
            EXPECT_EQ(copySettingsText(&Settings::customtextEnabled), nullptr);
            EXPECT_EQ(copySettingsText(&Settings::customtext2Enabled), nullptr);
        }
    });
}

TEST(LoadPrefs, ReplacedReferencesAreReleased) {
    inFreshProcess([] {
        TestDevice device;
        device.writePreferences({{"customtextEnabled", text("First")}});
        loadPrefs();
        HostId first = s().customtextEnabled;
        long live = model::liveObjects(); // the dictionary and the text
        {
            HostStrongRef watch(first);
            EXPECT_EQ(model::object(first)->retainCount(), 3); // the dictionary, the record, this test
            device.writePreferences({{"customtextEnabled", text("Second")}});
            loadPrefs();
            EXPECT_EQ(model::object(first)->retainCount(), 1); // only this test holds it now
            EXPECT_EQ(textOf(&Settings::customtextEnabled), "Second");
        }
        EXPECT_EQ(model::liveObjects(), live); // one dictionary and one text, each replaced
        HostId copy = copySettingsText(&Settings::customtextEnabled);
        EXPECT_EQ(copy, s().customtextEnabled);
        hostRelease(copy);
    });
}

TEST(ReceivedNotification, EachDeliveryLoadsOnceWhateverItCarries) {
    inFreshProcess([] {
        TestDevice device;
        CFNotificationCenterAddObserver(
            CFNotificationCenterGetDarwinNotifyCenter(), nullptr, receivedNotification,
            hostConstantString(BRINDLEWICK_CHANGE_NOTIFICATION), nullptr, hostSuspensionBehaviorCoalesce);
        device.writePreferences({{"k3Enabled", yes()}});
        long reads = model::dictionaryFileReads();
        HostStrongRef info = HostStrongRef::adopt(model::makeDictionary({}));
        model::postDarwinNotification(BRINDLEWICK_CHANGE_NOTIFICATION, &device, info.get());
        EXPECT_EQ(model::dictionaryFileReads(), reads + 1);
        EXPECT_EQ(s().k3Enabled, 1);
        model::postDarwinNotification("com.example.other");
        EXPECT_EQ(model::dictionaryFileReads(), reads + 1);
    });
}

} // namespace
