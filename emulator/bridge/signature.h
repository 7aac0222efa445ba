// A method's or callback's signature, read from its type encoding, with what libffi needs to
// call a native function of that signature or to make one that native code can call.
#pragma once

#include <ffi.h>

#include <string>
#include <vector>

namespace emulator {

// One value's kind, in the platform's encoding, reduced to what the bridge converts:
// '@' object, '#' class, ':' selector, '*' C string, '^' opaque pointer, 'c' signed char,
// 'B' bool, 'i'/'I' 32-bit integers, 'q'/'Q' native integers (long), 'R' NSRange, 'v' nothing.
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
