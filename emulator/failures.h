// How a device library fails under emulation, in the kinds the simulator keeps apart: a file its
// loader refuses, the library's own crash, and what this emulator cannot do for it.
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

namespace macho {

// A file the loader refuses, with a message that says why.
class LoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file of several slices, read without saying which to run.
class NoSliceChosen : public LoadError {
  public:
    using LoadError::LoadError;
};

// A slice the running system's loader would not run; says which system and why.
class NotForThisSystem : public LoadError {
  public:
    using LoadError::LoadError;
};

} // namespace macho
} // namespace emulator
