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

// The count once deliveries have stopped arriving: the same over two readings 200 ms apart,
// for a bounded number of tries. Posts that coalesce may still be arriving when the count first
// moves.
inline long settledReads(RunningProgram &running) {
    long reads = preferenceReads(running);
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        long again = preferenceReads(running);
        if (again == reads) {
            break;
        }
        reads = again;
    }
    return reads;
}
