// Arbitrary bytes as a device library, loaded and run as the simulator runs one: its initializer,
// the host's boot, a status bar, every kind of call and a notification. Each input runs in a
// child process, since a loaded library stays in its process for good; the child must end with
// one of the simulator's own statuses (0, 2, 3 or 4), never a signal, a sanitizer's report or a
// run without end. Coverage guides the reading of the file, which the parent does first.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "emulator/macho/image.h"
#include "library/settings/preferences.h"
#include "platform/model/model.h"
#include "sim/outcome.h"
#include "sim/simulated_host.h"
#include "sim/statuses.h"

namespace {

const char *const arches[] = {"armv7", "armv7s", "arm64", "arm64e"};
const char *const commands[] = {"status",
                                "call SBTelephonyManager setOperatorName: \"a\"",
                                "call STTelephonyStatusDomainData _otherSIMInfoIfSIMPresent: @x",
                                "call SBStatusBarStateAggregator _displayStringForSIMStatus: @ready",
                                "call STMutableTelephonyStatusDomainData setDualSIMEnabled: NO",
                                ("post " BRINDLEWICK_CHANGE_NOTIFICATION),
                                "status"};

[[noreturn]] void runInChild(const std::string &library, const char *arch) {
    int status = sim::everyCommandRan;
    try {
        std::filesystem::path root = library + ".root";
        std::filesystem::create_directories(root / "var/mobile/Library/Preferences");
        std::filesystem::create_directory_symlink("var/mobile", root / "User");
        std::ofstream(root / "var/mobile/Library/Preferences/com.moxfathom.brindlewick.plist")
            << "<plist><dict><key>kEnabled</key><true/><key>k1Enabled</key><true/><key>k2Enabled</key><true/>"
               "<key>k3Enabled</key><true/><key>k4Enabled</key><true/><key>k5Enabled</key><true/>"
               "<key>customtextEnabled</key><string>T</string></dict></plist>";
        sim::Options options;
        options.root = root;
        options.library = library;
        options.arch = arch;
        options.useInterfaces = true;
        options.interfaces = {sim::parseInterface("en0=192.0.2.1")};
        sim::SimulatedHost host(options, "", BRINDLEWICK_PANE_FILE);
        for (const char *command : commands) {
            try {
                host.run(command);
            } catch (...) {
                sim::Outcome outcome = sim::outcomeOf(std::current_exception(), false);
                if (outcome.ends) {
                    std::_Exit(outcome.status);
                }
                status = outcome.status;
            }
        }
    } catch (...) {
        status = sim::outcomeOf(std::current_exception(), true).status;
    }
    std::_Exit(status);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view file(reinterpret_cast<const char *>(data), size);
    const char *arch = size ? arches[data[size - 1] % 4] : arches[0];
    try {
        emulator::macho::readImage(file, emulator::macho::archNamed(arch));
    } catch (const emulator::macho::LoadError &) {
        return 0; // refused before anything runs
    }
    char directory[] = "/tmp/brindlewick-run-fuzz-XXXXXX";
    if (!mkdtemp(directory)) {
        return 0;
    }
    std::string library = std::string(directory) + "/library.dylib";
    std::ofstream(library, std::ios::binary).write(file.data(), static_cast<std::streamsize>(size));
    pid_t child = fork();
    if (child == 0) {
        runInChild(library, arch);
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            std::fprintf(stderr, "the library ran on past 60 s\n");
            __builtin_trap();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::filesystem::remove_all(directory);
    int ended = WEXITSTATUS(status);
    bool own = WIFEXITED(status) &&
               (ended == sim::everyCommandRan || (ended >= sim::badInput && ended <= sim::emulatorLimit));
    if (!own) {
        std::fprintf(stderr, "the run ended with %s %d\n", WIFSIGNALED(status) ? "signal" : "status",
                     WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
        __builtin_trap();
    }
    return 0;
}
