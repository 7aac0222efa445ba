// Loads and readers on many threads at once, with the file being rewritten underneath them:
// no object is released twice or while in use, and every text a reader takes is one whole text
// that some load stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "library/settings/settings.h"
#include "platform/model/model.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

TEST(SettingsConcurrency, LoadsAndReadersRaceWithoutLosingOrTearingATextOrLeaking) {
    inFreshProcess([] {
        TestDevice device;
        const std::vector<std::string> texts = {"alpha", "beta", "gamma-gamma", ""};
        std::vector<std::string> files;
        for (const std::string &t : texts) {
            files.push_back(encodePreferences({{"kEnabled", yes()},
                                               {"customtextEnabled", text(t.c_str())},
                                               {"customtext2Enabled", text(t.c_str())}},
                                              Encoding::binary));
        }
        device.writeBytes(files[0]);
        loadPrefs();
        long live = model::liveObjects();

        std::atomic<bool> stop{false};
        std::atomic<long> badTexts{0};
        std::atomic<long> badFlags{0};
        std::vector<std::thread> threads;
        threads.emplace_back([&] {
            for (int round = 0; !stop; ++round) {
                const std::string &bytes = files[round % files.size()];
                if (round % 3 == 2) {
                    device.writeBytes(bytes.substr(0, bytes.size() / 2)); // caught half-written
                } else {
                    device.writeBytes(bytes);
                }
            }
        });
        for (int i = 0; i < 2; ++i) {
            threads.emplace_back([&] {
                for (int n = 0; n < 400; ++n) {
                    loadPrefs();
                }
            });
        }
        for (int i = 0; i < 2; ++i) {
            threads.emplace_back([&] {
                for (int n = 0; n < 4000; ++n) {
                    for (PlatformId Settings::*member :
                         {&Settings::customtextEnabled, &Settings::customtext2Enabled}) {
                        PlatformId copy = copySettingsText(member);
                        std::optional<std::string> value = model::stringValue(copy);
                        if (!value || std::find(texts.begin(), texts.end(), *value) == texts.end()) {
                            ++badTexts;
                        }
                        platformRelease(copy);
                    }
                    // Whole files say YES, half-written ones count as none: a flag is 1 or 0, never torn.
                    PlatformBool flag = settingsFlag(&Settings::kEnabled);
                    badFlags += flag != 0 && flag != 1;
                }
            });
        }
        for (size_t i = 1; i < threads.size(); ++i) {
            threads[i].join();
        }
        stop = true;
        threads[0].join();

        EXPECT_EQ(badTexts, 0);
        EXPECT_EQ(badFlags, 0);
        device.writeBytes(files[1]);
        loadPrefs();
        PlatformStrongRef kept = PlatformStrongRef::adopt(copySettingsText(&Settings::customtextEnabled));
        EXPECT_EQ(model::stringValue(kept.get()), "beta");
        EXPECT_EQ(settingsFlag(&Settings::kEnabled), 1);
        EXPECT_EQ(model::liveObjects(), live);
    });
}

} // namespace
