// How emulated code fails, in two kinds the simulator keeps apart: the library's own crash, and
// what this emulator cannot do for it.
#pragma once

#include <stdexcept>

namespace emulator {

// The emulated code crashed, as it would have crashed its process on a device, or ran on past
// any call's budget, as a hung process a device's watchdog ends.
class Fault : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the library asked is sound, but this emulator cannot do it: a kind of value the bridge
// cannot pass, an exception to unwind through emulated frames, an engine it cannot open.
class Limit : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace emulator
