// A method's or callback's signature, read from its type encoding, with what libffi needs to
// call a native function of that signature or to make one that native code can call.
#pragma once

#include <ffi.h>

#include <string>
#include <vector>

namespace emulator {

// Each value's kind, in the platform's encoding reduced to the letters of the kinds table
// (kinds.h), the one the bridge converts by.
struct Signature {
    char result;
    std::vector<char> arguments;
    std::string encoding;
    ffi_cif cif;
    std::vector<ffi_type *> types;

    // Fails as a Limit (the emulator cannot do it) on a kind the bridge cannot pass, and as a Fault
    // (the library's own) on an encoding that ends early.
    explicit Signature(const std::string &encoding);
    Signature(const Signature &) = delete;
    Signature &operator=(const Signature &) = delete;
};

} // namespace emulator
