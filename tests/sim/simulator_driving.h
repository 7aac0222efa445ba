// Driving the built simulator from tests.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/preferences.h"
#include "tests/support/process.h"

inline const std::string simulator = BRINDLEWICK_SIMULATOR;

// The simulator's arguments for a run on `device`.
inline std::vector<std::string> on(const TestDevice &device, std::vector<std::string> rest) {
    rest.insert(rest.begin(), {"--root", device.root().string()});
    return rest;
}

inline long preferenceReads(RunningProgram &running) {
    std::string answer = running.ask("reads");
    return std::stol(answer.substr(answer.find(' ') + 1));
}

// Asks `reads` until the count passes `above`, for a bounded number of tries; a notification
// from another process arrives on the observer's own thread, a little later.
inline long readsAbove(RunningProgram &running, long above) {
    long reads = preferenceReads(running);
    for (int attempt = 0; attempt < 200 && reads <= above; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        reads = preferenceReads(running);
    }
    return reads;
}
