// How the simulator's own input fails: named here, mapped to a status and a message in outcome.cpp
// with the platform's failures (platform/model/failures.h) and the emulator's (emulator/failures.h).
#pragma once

#include <stdexcept>

namespace sim {

// Bad input, with a message that names what was wrong.
class InputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace sim
