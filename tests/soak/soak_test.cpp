// A bounded soak: host threads call every installed site while the preference file is rewritten
// underneath them (atomically, in place, deleted and restored) and another process posts the
// change notification. Every answer must be one some state of the file allows, nothing may leak,
// and once the writers stop, the next calls answer from the file. It runs on the library linked
// in, or, with BRINDLEWICK_SOAK_LIBRARY and BRINDLEWICK_SOAK_ARCH, on a device slice under emulation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

#include "emulator/emulated_library.h"
#include "library/settings/settings.h"
#include "platform/model/model.h"
#include "sim/network.h"
#include "springboard/model_runtime.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"
#include "tests/support/process.h"

namespace {

using Clock = std::chrono::steady_clock;

double soakSeconds() {
    const char *asked = std::getenv("BRINDLEWICK_SOAK_SECONDS");
    return asked ? std::atof(asked) : 3.0;
}

std::string file(bool on, const char *operatorText, const char *simText) {
    PrefEntries entries = allFlags(on);
    if (operatorText) {
        entries.emplace_back("customtextEnabled", text(operatorText));
        entries.emplace_back("customtext2Enabled", text(simText));
    }
    return encodePreferences(std::move(entries), on ? Encoding::binary : Encoding::xml);
}

struct Violations {
    std::atomic<long> count{0};
    std::mutex lock;
    std::string first;
    void report(const std::string &what) {
        if (count++ == 0) {
            std::lock_guard guard(lock);
            first = what;
        }
    }
};

void callSites(std::mt19937 &random, Violations &violations) {
    static const std::set<std::string> names = {"alpha", "beta", "192.0.2.5", "Carrier"};
    static const std::set<std::string> simTexts = {"sim-alpha", "sim-beta", "SIM @status"};
    model::AutoreleasePool pool;
    model::Ref name = model::Ref::adopt(model::makeString("Carrier"));
    model::Ref context = model::Ref::adopt(model::makeToken("context"));
    model::Ref status = model::Ref::adopt(model::makeToken("status"));
    auto checkName = [&](const char *cls, const char *selector) {
        auto received = springboard::lastArguments(cls, selector);
        if (received.empty()) {
            return violations.report(std::string(cls) + " " + selector + " was not entered");
        }
        PlatformId given = received[0].object;
        if (given && !names.count(model::stringValue(given).value_or("<not text>"))) {
            violations.report(std::string(cls) + " " + selector + " received " +
                              model::object(given)->describe());
        }
    };
    switch (random() % 8) {
    case 0:
        hostCall("SBTelephonyManager", "setOperatorName:", name.get());
        return checkName("SBTelephonyManager", "setOperatorName:");
    case 1:
        hostCall("SBTelephonyManager", "_reallySetOperatorName:", name.get());
        return checkName("SBTelephonyManager", "_reallySetOperatorName:");
    case 2:
    case 3: {
        const char *cls = random() % 2 ? "SBTelephonyManager" : "STTelephonyStateProvider";
        hostCall(cls, "_reallySetOperatorName:inSubscriptionContext:", name.get(), context.get());
        return checkName(cls, "_reallySetOperatorName:inSubscriptionContext:");
    }
    case 4:
        hostCall("STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:", name.get(),
                 context.get());
        return checkName("STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:");
    case 5: {
        auto shown = model::stringValue(
            hostCall<PlatformId>("SBStatusBarStateAggregator", "_displayStringForSIMStatus:", status.get()));
        if (!shown || !simTexts.count(*shown)) {
            violations.report("SIM text " + shown.value_or("<not text>"));
        }
        return;
    }
    case 6:
        (void)hostCall<PlatformBool>(random() % 2 ? "SBTelephonyManager" : "STTelephonyStateProvider",
                                     "isRadioModuleDead");
        return;
    default:
        if (!hostCall<PlatformBool>("STTelephonyStatusDomainData", "isDualSIMEnabled")) {
            violations.report("dual SIM off");
        }
        hostCall("STTelephonyStateProvider", "setCachedDualSIMEnabled:", PlatformBool(0));
        auto stored = springboard::lastArguments("STTelephonyStateProvider", "setCachedDualSIMEnabled:");
        if (stored.empty() || stored[0].truth != 1) {
            violations.report("the host stored a dual-SIM value other than true");
        }
    }
}

// Starts the library: linked in, or the device slice the environment names, under emulation.
void startLibrary(const TestDevice &device) {
    const char *slice = std::getenv("BRINDLEWICK_SOAK_LIBRARY");
    if (!slice) {
        return startLibraryHost(device, {.preferences = allFlags(true)});
    }
    springboard::installOnModel();
    model::ProcessSetup process;
    process.processName = "SpringBoard";
    process.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
    model::setProcess(process);
    device.writePreferences(allFlags(true));
    // Loaded for good, as a mapped library is: the platform keeps its functions.
    static auto *library = new emulator::EmulatedLibrary(
        slice, emulator::macho::archNamed(std::getenv("BRINDLEWICK_SOAK_ARCH")), process.arguments[0]);
    (void)library;
}

// One call of every site, and what a state of the file makes each answer.
void expectAnswersOf(const char *operatorText, const char *simText) {
    model::AutoreleasePool pool;
    model::Ref name = model::Ref::adopt(model::makeString("Carrier"));
    model::Ref status = model::Ref::adopt(model::makeToken("status"));
    hostCall("SBTelephonyManager", "setOperatorName:", name.get());
    EXPECT_EQ(model::stringValue(hostReceived("SBTelephonyManager", "setOperatorName:")), operatorText);
    EXPECT_EQ(model::stringValue(hostCall<PlatformId>("SBStatusBarStateAggregator",
                                                      "_displayStringForSIMStatus:", status.get())),
              simText);
    EXPECT_EQ(hostCall<PlatformBool>("STTelephonyStateProvider", "isRadioModuleDead"), 1);
}

// An in-place write, seen half-done by whoever reads meanwhile.
void writeInPlaceInHalves(const std::filesystem::path &file, const std::string &bytes) {
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return; // replaced or removed by the other writer just then
    }
    size_t half = bytes.size() / 2;
    bool whole = write(fd, bytes.data(), half) == static_cast<ssize_t>(half);
    std::this_thread::yield();
    whole = whole && write(fd, bytes.data() + half, bytes.size() - half) > 0;
    close(fd);
    EXPECT_TRUE(whole);
}

TEST(Soak, SitesWritersAndAnotherProcessPostingAtOnce) {
    inFreshProcess([] {
        TestDevice device;
        sim::useInterfaces({{"en0", "192.0.2.5"}}, false);
        const std::vector<std::string> states = {
            file(true, "alpha", "sim-alpha"), file(true, "beta", "sim-beta"), file(false, "beta", "sim-beta"),
            file(false, nullptr, nullptr)};
        startLibrary(device);
        device.writeBytes(states[1]);
        {
            std::mt19937 random(7);
            Violations warmUp;
            for (int i = 0; i < 64; ++i) { // every site once at least, so what is made once is made
                callSites(random, warmUp);
            }
        }
        springboard::clearLog(); // what the host recorded is the host's, not the library's
        long live = model::liveObjects();

        Violations violations;
        std::atomic<bool> stop{false};
        std::atomic<long> calls{0};
        auto deadline = Clock::now() + std::chrono::duration<double>(soakSeconds());
        std::vector<std::thread> threads;
        for (int i = 0; i < 3; ++i) {
            threads.emplace_back([&, i] {
                std::mt19937 random(static_cast<unsigned>(i));
                while (!stop) {
                    callSites(random, violations);
                    ++calls;
                }
            });
        }
        threads.emplace_back([&] { // atomic replacement, deletion and restoration
            for (size_t round = 0; !stop; ++round) {
                if (round % 5 == 4) {
                    device.removePreferences();
                } else {
                    device.writeBytes(states[round % states.size()]);
                }
            }
        });
        threads.emplace_back([&] {
            for (size_t round = 0; !stop; ++round) {
                writeInPlaceInHalves(device.preferenceFile(), states[round % 2]);
            }
        });
        std::string posts;
        for (int i = 0; i < 400; ++i) {
            posts += "post " BRINDLEWICK_CHANGE_NOTIFICATION "\n";
        }
        threads.emplace_back([&] {
            Finished poster =
                runProgram(BRINDLEWICK_SIMULATOR, {"--root", device.root().string(), "--no-library"}, posts);
            EXPECT_EQ(poster.status, 0) << poster.err;
        });
        while (Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop = true;
        for (std::thread &thread : threads) {
            thread.join();
        }

        EXPECT_EQ(violations.count, 0) << violations.first;
        EXPECT_GT(calls, 100);
        device.writeBytes(states[1]);
        expectAnswersOf("beta", "sim-beta");
        springboard::clearLog();
        EXPECT_EQ(model::liveObjects(), live);
    });
}

} // namespace
