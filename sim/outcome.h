// What a failure means for the simulator, decided in one place for the session, its set-up and
// the programs that run it in their own process: the status it ends with, the message that says
// why, and whether the run must end at once.
#pragma once

#include <exception>
#include <string>

#include "sim/statuses.h"

namespace sim {

struct Outcome {
    Status status;
    std::string message;
    // A crash, the emulator's limit or a fault of the simulator's own ends the process at once, as
    // a crashed SpringBoard ends; bad input and an exception the host raised let the rest run.
    bool ends;
};

// `loading`: the exception came while the library loaded and the host booted, before any command.
Outcome outcomeOf(const std::exception_ptr &error, bool loading);

} // namespace sim
