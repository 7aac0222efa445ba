// The simulator as a program, whichever library it loads: commands as
// arguments and on standard input, and the notify centre between processes on one device root.
// What the library does in it is the behaviour corpus's (tests/scenarios/).
#include <cstddef>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "library/settings/preferences.h"
#include "tests/sim/simulator_driving.h"
#include "tests/support/library_host.h"
#include "tests/support/preferences.h"
#include "tests/support/process.h"

namespace {

const char *const notification = BRINDLEWICK_CHANGE_NOTIFICATION;

Finished sim(std::vector<std::string> arguments, const std::string &input = "") {
    return runProgram(simulator, arguments, input);
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    return out;
}

TEST(Simulator, ArgumentsAndStandardInputRunTheSameScript) {
    TestDevice device;
    device.writePreferences({{"k1Enabled", yes()}, {"k3Enabled", yes()}});
    std::vector<std::string> script = {
        "call SBTelephonyManager setOperatorName: \"Hi\"",
        "call STTelephonyStateProvider _setOperatorName:inSubscriptionContext: \"Hi\" @ctx",
        "call SBTelephonyManager isRadioModuleDead",
        "call SBStatusBarStateAggregator _displayStringForSIMStatus: @ready",
        "call STTelephonyStateProvider setCachedDualSIMEnabled: 7",
    };
    std::vector<std::string> expected = {"received nil", "received nil @ctx", "returned YES",
                                         "returned \"SIM @ready\"", "received 7"};
    Finished asArguments = sim(on(device, script));
    std::string input;
    for (const std::string &line : script) {
        input += line + "\n\n# a comment\n";
    }
    Finished asInput = sim(on(device, {}), input);
    EXPECT_EQ(asArguments.status, 0) << asArguments.err;
    EXPECT_EQ(lines(asArguments.out), expected);
    EXPECT_EQ(asInput.status, 0) << asInput.err;
    EXPECT_EQ(lines(asInput.out), expected);
}

TEST(Simulator, PostsFromAnotherProcessMayCoalesceButTheLastIsNeverLost) {
    TestDevice device;
    device.writePreferences({{"k3Enabled", yes()}});
    // Not served, so nothing but a notification can make it read the file again.
    RunningProgram observer(simulator, on(device, {"--process-name", "x", "--executable", "/usr/bin/x"}));
    EXPECT_EQ(observer.ask("reads"), "preference-reads 1");

    std::string posts;
    for (int i = 0; i < 50; ++i) {
        posts += std::string("post ") + notification + "\n";
    }
    EXPECT_EQ(sim(on(device, {"--no-library"}), posts).status, 0);
    EXPECT_GT(readsAbove(observer, 1), 1);
    long reads = settledReads(observer);
    EXPECT_GT(reads, 1);
    EXPECT_LE(reads, 51);
    // A post of another name is no change notification.
    sim(on(device, {"--no-library", "post com.example.other"}));
    EXPECT_EQ(readsAbove(observer, reads), reads);
    EXPECT_EQ(observer.finish(), 0);
}

TEST(Simulator, AStuckObserverNeverBlocksAPosterAndNothingIsLeftInTheRoot) {
    TestDevice device;
    // Alive but never reading: a socket of the root's, as the notify centre names one.
    std::string name = model::notifySocketPrefix(device.root()) + "1";
    ASSERT_NE(name, "1");
    int stuck = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path + 1, sizeof address.sun_path - 2);
    ASSERT_EQ(bind(stuck, reinterpret_cast<sockaddr *>(&address),
                   static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
              0);
    std::string posts;
    for (int i = 0; i < 2000; ++i) {
        posts += std::string("post ") + notification + "\n";
    }
    Finished poster = sim(on(device, {}), posts);
    EXPECT_EQ(poster.status, 0);
    EXPECT_EQ(lines(poster.out).size(), 2000u);
    close(stuck);
    EXPECT_FALSE(std::filesystem::exists(device.root() / "var/run"));
}

} // namespace
