// The simulator driven as a user drives it: commands as arguments and on standard input, JSON,
// bad input, and two processes on one device root.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/sim/simulator_driving.h"
#include "tests/support/library_host.h"
#include "tests/support/preferences.h"
#include "tests/support/process.h"

namespace {

const char *const notification = "com.moxfathom.brindlewick.prefschanged";

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

TEST(Simulator, TheBundledDeviceShowsTheLibrarysStatusBarAndTheHostsWithout) {
    Finished with = sim({"status"});
    Finished without = sim({"--no-library", "status", "hooks"});
    ASSERT_EQ(with.status, 0) << with.err;
    ASSERT_EQ(without.status, 0) << without.err;
    EXPECT_EQ(with.out,
              "carrier \"Brindlewick\" | provider carrier \"Brindlewick\" | SIM \"No SIM? No problem\" | "
              "radio on | dual SIM on\n");
    EXPECT_EQ(without.out, "carrier \"Carrier\" | provider carrier \"Carrier\" | SIM \"SIM Ready\" | radio "
                           "on | dual SIM off\nnone\n");
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

TEST(Simulator, AReplacementThatAnswersByItselfLeavesTheHostNotEntered) {
    TestDevice device;
    device.writePreferences({{"k5Enabled", yes()}});
    Finished run =
        sim(on(device, {"call STMutableTelephonyStatusDomainData setDualSIMEnabled: NO",
                        "call STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: @mine", "hooks"}));
    EXPECT_EQ(run.status, 0) << run.err;
    auto out = lines(run.out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "received YES");
    EXPECT_EQ(out[1], "returned @mine");
    EXPECT_EQ(out[2],
              "STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: installed; STTelephonyStatusDomainData "
              "isDualSIMEnabled installed; STTelephonyStateProvider setCachedDualSIMEnabled: installed; "
              "STMutableTelephonyStatusDomainData setDualSIMEnabled: installed");
    Finished without = sim(
        on(device, {"--no-library", "call STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: @mine"}));
    EXPECT_EQ(without.out, "returned @host-sim-info\n");
}

TEST(Simulator, JsonLinesParse) {
    TestDevice device;
    device.writePreferences({{"kEnabled", yes()}, {"customtextEnabled", text("Say \"hi\"\n")}});
    Finished run = sim(on(device, {"--json", "status", "call SBTelephonyManager setOperatorName: nil",
                                   "reads", "hooks", std::string("post ") + notification}));
    ASSERT_EQ(run.status, 0) << run.err;
    auto out = lines(run.out);
    ASSERT_EQ(out.size(), 5u);
    auto status = nlohmann::json::parse(out[0]);
    EXPECT_EQ(status["operator"]["SBTelephonyManager"], "Say \"hi\"\n");
    EXPECT_EQ(status["dualSIM"], "off");
    auto call = nlohmann::json::parse(out[1]);
    EXPECT_EQ(call["entered"], true);
    EXPECT_EQ(call["received"][0], "Say \"hi\"\n");
    EXPECT_GT(nlohmann::json::parse(out[2])["preferenceReads"].get<int>(), 0);
    EXPECT_EQ(nlohmann::json::parse(out[3])["hooks"].size(), 5u);
    EXPECT_EQ(nlohmann::json::parse(out[4])["posted"], notification);
}

TEST(Simulator, EligibilityAndMissingClassesAsTheOptionsSay) {
    TestDevice device;
    device.writePreferences(allFlags(true));
    for (std::vector<std::string> options :
         {std::vector<std::string>{"--process-name", "x", "--executable", "/usr/bin/x"},
          std::vector<std::string>{"--no-arguments"}, std::vector<std::string>{"--no-process-info"}}) {
        options.push_back("hooks");
        EXPECT_EQ(sim(on(device, options)).out, "none\n") << options[0];
    }
    Finished app = sim(on(device, {"--process-name", "Maps", "--executable", "/Applications/Maps.app/Maps",
                                   "--without-class", "STTelephonyStateProvider", "--json", "hooks"}));
    auto hooks = nlohmann::json::parse(app.out)["hooks"];
    ASSERT_EQ(hooks.size(), 19u);
    EXPECT_EQ(hooks[3]["outcome"], "no-class");
    EXPECT_EQ(hooks[3]["class"], "STTelephonyStateProvider");
    EXPECT_EQ(hooks[0]["outcome"], "installed");
    Finished call = sim(on(device, {"--without-class", "STTelephonyStateProvider",
                                    "call STTelephonyStateProvider isRadioModuleDead"}));
    EXPECT_EQ(call.status, 2);
    EXPECT_NE(call.err.find("has no class STTelephonyStateProvider"), std::string::npos) << call.err;
}

TEST(Simulator, BadInputIsNamedExitsTwoAndChangesNothing) {
    TestDevice device;
    device.writePreferences({{"kEnabled", yes()}});
    struct stat original {};
    ASSERT_EQ(stat(device.preferenceFile().c_str(), &original), 0);

    Finished run =
        sim(on(device, {}), "reads\nfrob\ncall SBTelephonyManager nope:\ncall SBTelephonyManager "
                            "setOperatorName: YES\ncall SBTelephonyManager setOperatorName: \"x\nreads\n");
    EXPECT_EQ(run.status, 2);
    auto err = lines(run.err);
    ASSERT_EQ(err.size(), 4u) << run.err;
    EXPECT_EQ(err[0], "brindlewick-sim: line 2: unknown command frob");
    EXPECT_EQ(err[1], "brindlewick-sim: line 3: unknown selector nope: for SBTelephonyManager");
    EXPECT_NE(err[2].find("line 4: expected"), std::string::npos) << err[2];
    EXPECT_EQ(err[3], "brindlewick-sim: line 5: unterminated text");
    EXPECT_EQ(lines(run.out).size(), 2u); // the good commands still ran

    struct stat after {};
    ASSERT_EQ(stat(device.preferenceFile().c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, original.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_size, original.st_size);

    Finished option = sim({"--bogus"});
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.err.find("unknown option --bogus"), std::string::npos);
    Finished root = sim({"--root", (device.root() / "missing").string(), "status"});
    EXPECT_EQ(root.status, 2);
    EXPECT_NE(root.err.find("cannot read the device root"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(device.root() / "missing"));
}

TEST(Simulator, AnEditBetweenCommandsShowsAtTheNextCall) {
    TestDevice device;
    device.writePreferences({{"kEnabled", yes()}, {"customtextEnabled", text("One")}});
    RunningProgram running(simulator, on(device, {}));
    EXPECT_EQ(running.ask("call SBTelephonyManager setOperatorName: \"Net\""), "received \"One\"");
    device.writePreferences({{"kEnabled", yes()}, {"customtextEnabled", text("Two")}});
    EXPECT_EQ(running.ask("call SBTelephonyManager setOperatorName: \"Net\""), "received \"Two\"");
    device.writePreferences({{"kEnabled", no()}});
    EXPECT_EQ(running.ask("call SBTelephonyManager setOperatorName: \"Net\""), "received \"Net\"");
    EXPECT_EQ(running.finish(), 0);
}

TEST(Simulator, APostFromAnotherProcessReachesTheObserver) {
    TestDevice device;
    device.writePreferences({{"k3Enabled", yes()}});
    // Not served, so nothing but a notification can make it read the file again.
    RunningProgram observer(simulator, on(device, {"--process-name", "x", "--executable", "/usr/bin/x"}));
    EXPECT_EQ(observer.ask("reads"), "preference-reads 1");

    Finished poster = sim(on(device, {"--no-library", std::string("post ") + notification}));
    EXPECT_EQ(poster.out, std::string("posted ") + notification + "\n");
    EXPECT_EQ(readsAbove(observer, 1), 2);

    // Many posts may coalesce, but the last is never lost.
    std::string posts;
    for (int i = 0; i < 50; ++i) {
        posts += std::string("post ") + notification + "\n";
    }
    EXPECT_EQ(sim(on(device, {"--no-library"}), posts).status, 0);
    EXPECT_GT(readsAbove(observer, 2), 2);
    long reads = settledReads(observer);
    EXPECT_GT(reads, 2);
    EXPECT_LE(reads, 52);
    // A post of another name is no change notification.
    sim(on(device, {"--no-library", "post com.example.other"}));
    EXPECT_EQ(readsAbove(observer, reads), reads);
    EXPECT_EQ(observer.finish(), 0);
}

TEST(Simulator, AGoneOrStuckObserverNeverBlocksAPoster) {
    TestDevice device;
    std::filesystem::path sockets = device.root() / "var/run/brindlewick-notify";
    std::filesystem::create_directories(sockets);
    auto bound = [&](const std::string &name) {
        int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::string path = (sockets / name).string();
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        return fd;
    };
    close(bound("999999.sock"));      // its process crashed: the socket file stays behind
    int stuck = bound("999998.sock"); // alive but never reading
    std::string posts;
    for (int i = 0; i < 2000; ++i) {
        posts += std::string("post ") + notification + "\n";
    }
    Finished poster = sim(on(device, {"--no-library"}), posts);
    EXPECT_EQ(poster.status, 0);
    EXPECT_EQ(lines(poster.out).size(), 2000u);
    EXPECT_FALSE(std::filesystem::exists(sockets / "999999.sock"));
    EXPECT_TRUE(std::filesystem::exists(sockets / "999998.sock"));
    close(stuck);
}

} // namespace
