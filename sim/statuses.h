// The statuses the simulator ends with, named once for it and for the programs that run it.
#pragma once

namespace sim {

enum Status : int {
    everyCommandRan = 0,
    ownFailure = 1,    // a fault of the simulator's own
    badInput = 2,      // the rest still ran
    crashed = 3,       // the library crashed its process, or ran without end
    emulatorLimit = 4, // the emulator cannot run what the library asked of it
};

} // namespace sim
